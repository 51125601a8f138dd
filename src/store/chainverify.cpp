#include "store/chainverify.h"

#include <QCryptographicHash>
#include <QDate>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <memory>

#include "common/failure.h"
#include "store/audittrail.h"
#include "store/hashchain.h"
#include "store/passlog.h"
#include "store/rawquery.h"
#include "store/schema.h"
#include "store/tablestore.h"

namespace ChainVerify {

namespace {

using Kind = Finding::Kind;

QString sqlOf(const QString &table) { return TableStore::sqlName(table); }

// One moment of the database for every statement of the check: a read
// transaction on SQLite; on a server, a second connection (it carries one
// streaming statement at a time) on the same exported snapshot.
class Snapshot
{
public:
    explicit Snapshot(TableStore &store) : m_store(store)
    {
        m_server = store.engine() == TableStore::Engine::Server;
        QSqlQuery q(store.connection());
        store.releaseReaders();
        if (!m_server) {
            TableStore::check(q.exec(QStringLiteral("BEGIN")), q);
            m_open = true;
            TableStore::check(q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")), q);
            return;
        }
        TableStore::check(q.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")), q);
        m_open = true;
        TableStore::check(q.exec(QStringLiteral("SELECT pg_export_snapshot()")), q);
        const QString snapshot = q.next() ? q.value(0).toString() : QString();
        m_walk = std::make_unique<TableStore::WalkConnection>(store);
        if (!m_walk->isOpen())
            throw StoreError(QStringLiteral("Второе соединение с сервером не открылось"));
        QSqlQuery w(m_walk->database());
        if (!w.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))
            || !w.exec(QStringLiteral("SET TRANSACTION SNAPSHOT '%1'").arg(snapshot)))
            TableStore::check(false, w);
    }
    ~Snapshot()
    {
        if (!m_open)
            return;
        QSqlQuery q(m_store.connection());
        q.exec(QStringLiteral("ROLLBACK"));
        if (m_walk) {
            QSqlQuery w(m_walk->database());
            w.exec(QStringLiteral("ROLLBACK"));
        }
    }
    std::unique_ptr<RawQuery> stream(const QString &sql) const
    {
        return std::make_unique<RawQuery>(m_store, sql, QVector<QVariant>{}, RawQuery::Mode::Streaming);
    }
    // A statement that may run while the one of stream() still walks.
    std::unique_ptr<RawQuery> besideStream(const QString &sql) const
    {
        if (!m_server)
            return stream(sql);
        return std::make_unique<RawQuery>(m_walk->database(), sql, QVector<QVariant>{}, RawQuery::Mode::Streaming);
    }

private:
    TableStore &m_store;
    bool m_server = false;
    bool m_open = false;
    std::unique_ptr<TableStore::WalkConnection> m_walk;
};

struct TrailRow
{
    QString at, operatorName, action, table;
    qint64 rowId = 0;
    QString field, before, after;
};

// As ChainEntry::canonical escapes a value, on its UTF-8 bytes.
void appendEscaped(QByteArray &out, QByteArrayView v)
{
    if (!v.contains('\\') && !v.contains('\n') && !v.contains('\r')) {
        out += v;
        return;
    }
    for (const char c : v) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
}

QString factValue(const FieldValues &facts, const QString &key)
{
    for (const auto &[k, v] : facts)
        if (k == key)
            return v;
    return {};
}

class Check
{
public:
    explicit Check(TableStore &store) : store(store) {}

    TableStore &store;
    Report report;

    void run()
    {
        if (!store.tableExists(Tables::Chain))
            throw StoreError(QStringLiteral("В базе данных нет таблицы %1; её добавит krodalin-db init")
                                 .arg(Tables::Chain));
        Snapshot snapshot(store);
        readTrail();
        walkLinks(snapshot);
        findUnlinkedPasses();
        replayRows(snapshot);
    }

private:
    void add(Kind kind, const QString &table, qint64 id, const QString &field, const QString &chain,
             const QString &held)
    {
        report.findings.append({kind, table, id, field, chain, held});
    }

    void readTrail()
    {
        if (!store.tableExists(Tables::Audit))
            return;
        RawQuery q(store, QStringLiteral("SELECT id, \"At\", \"Operator\", \"Action\", \"TableName\", \"RowId\", \"Field\", "
                                  "\"OldText\", \"NewText\" FROM %1 ORDER BY id")
                       .arg(sqlOf(Tables::Audit)),
                   {});
        while (q.next())
            m_trail.insert(q.integer(0), {q.text(1), q.text(2), q.text(3), q.text(4), q.integer(5), q.text(6),
                                          q.text(7), q.text(8)});
    }

    void walkLinks(const Snapshot &snapshot)
    {
        auto q = snapshot.stream(
            QStringLiteral("SELECT c.id, c.\"Action\", c.\"RowId\", c.\"Source\", c.\"SourceFrom\", c.\"SourceTo\", "
                           "c.\"Content\", c.\"Hash\", p.id, p.\"RowId\", p.\"Pass\", p.\"Mode\", p.\"Weight\", "
                           "p.\"Unit\", p.\"At\", p.\"IndicatorDate\", p.\"IndicatorTime\", p.\"Operator\", "
                           "p.\"Station\", p.\"Trace\", %4 FROM %1 c LEFT JOIN %2 p ON c.\"Source\" = '%3' "
                           "AND p.id = c.\"SourceFrom\" ORDER BY c.id")
                .arg(sqlOf(Tables::Chain), sqlOf(Tables::Passes), Tables::Passes, laterColumns()));
        QByteArray previous = HashChain::Origin.toLatin1();
        while (q->next()) {
            const qint64 id = q->integer(0);
            const QByteArrayView content = q->bytes(6);
            const QByteArray hash = q->bytes(7).toByteArray();
            if (report.firstBrokenLink == 0) {
                QCryptographicHash h(QCryptographicHash::Sha256);
                h.addData(previous);
                h.addData(QByteArrayView("\n", 1));
                h.addData(content);
                if (h.result().toHex() != hash)
                    report.firstBrokenLink = id;
            }
            previous = hash;
            ++report.links;
            report.lastLinkId = id;

            const QByteArrayView action = q->bytes(1);
            const QByteArrayView source = q->bytes(3);
            if (action == "start") {
                m_startRow = q->integer(2);
                m_trailBefore = factValue(ChainEntry::parse(QString::fromUtf8(content)).facts,
                                          QStringLiteral("audit-last"))
                                    .toLongLong();
            } else if (source == Tables::Passes.toUtf8()) {
                checkPass(*q, id);
            } else if (source == Tables::Audit.toUtf8()) {
                checkTrail(q->integer(4), q->integer(5), QString::fromUtf8(content));
            }
        }
        report.lastLink = QString::fromLatin1(previous);
    }

    void checkPass(const RawQuery &q, qint64 linkId)
    {
        const qint64 passId = q.integer(4);
        if (q.isNull(8)) {
            add(Kind::SourceMissing, Tables::Passes, passId, {}, QStringLiteral("звено %1").arg(linkId), {});
            return;
        }
        ++m_linkedPasses;
        // The link is the record's head, the fields the pass wrote, then the
        // record's facts: compared as bytes, and looked into only when they differ.
        const QByteArrayView content = q.bytes(6);
        QByteArray head = "action=pass\ntable=" + Tables::Journal.toUtf8() + "\nrow=" + QByteArray::number(q.integer(9));
        head += "\nat=";
        appendEscaped(head, q.bytes(14));
        head += "\noperator=";
        appendEscaped(head, q.bytes(17));
        head += '\n';
        QByteArray tail = "x:pass=" + QByteArray::number(q.integer(10)) + "\nx:mode=";
        appendEscaped(tail, q.bytes(11));
        tail += "\nx:weight=";
        appendEscaped(tail, q.bytes(12));
        tail += "\nx:unit=";
        appendEscaped(tail, q.bytes(13));
        tail += "\nx:indicator-date=";
        appendEscaped(tail, q.bytes(15));
        tail += "\nx:indicator-time=";
        appendEscaped(tail, q.bytes(16));
        tail += "\nx:station=";
        appendEscaped(tail, q.bytes(18));
        tail += "\nx:trace-sha256=";
        tail += QCryptographicHash::hash(q.bytes(19), QCryptographicHash::Sha256).toHex();
        tail += '\n';
        PassRecord p;
        p.tareFrom = q.text(20);
        p.tareDay = q.text(21);
        p.tareRow = q.integer(22);
        p.overload = q.text(23);
        const FieldValues later = p.laterFacts();
        for (const auto &[key, value] : later) {
            tail += "x:" + key.toUtf8() + '=';
            appendEscaped(tail, value.toUtf8());
            tail += '\n';
        }
        if (content.startsWith(head) && content.endsWith(tail))
            return;
        p.rowId = q.integer(9);
        p.pass = int(q.integer(10));
        p.mode = q.text(11);
        p.weight = q.text(12);
        p.unit = q.text(13);
        p.at = q.text(14);
        p.indicatorDate = q.text(15);
        p.indicatorTime = q.text(16);
        p.operatorName = q.text(17);
        p.station = q.text(18);
        p.encodedTrace = q.text(19);
        const ChainEntry e = ChainEntry::parse(QString::fromUtf8(content));
        const auto differs = [&](const QString &field, const QString &chain, const QString &held) {
            if (chain != held)
                add(Kind::SourceChanged, Tables::Passes, passId, field, chain, held);
        };
        differs(QStringLiteral("RowId"), QString::number(e.rowId), QString::number(p.rowId));
        differs(QStringLiteral("At"), e.at, p.at);
        differs(QStringLiteral("Operator"), e.operatorName, p.operatorName);
        static const QStringList columns = {"Pass", "Mode", "Weight", "Unit", "IndicatorDate", "IndicatorTime",
                                            "Station", "Trace"};
        const FieldValues held = p.facts();
        for (int i = 0; i < held.size() && i < columns.size(); ++i)
            differs(columns[i], factValue(e.facts, held[i].first), held[i].second);
        // The stored tare's and the overload's facts, said or not on either side.
        static const QList<std::pair<QString, QString>> laterKeys = {
            {"TareFrom", "tare-from"}, {"TareDay", "tare-day"}, {"TareRow", "tare-row"}, {"Overload", "overload"}};
        for (const auto &[column, key] : laterKeys)
            differs(column, factValue(e.facts, key), factValue(later, key));
    }

    // The columns of a stored tare and an overload, as blanks where BD_pass predates them.
    QString laterColumns() const
    {
        if (store.connection().record(sqlOf(Tables::Passes)).contains(QStringLiteral("TareFrom")))
            return QStringLiteral("p.\"TareFrom\", p.\"TareDay\", p.\"TareRow\", p.\"Overload\"");
        return QStringLiteral("'', '', 0, ''");
    }

    void checkTrail(qint64 from, qint64 to, const QString &content)
    {
        const ChainEntry e = ChainEntry::parse(content);
        QVector<ChainEntry::TrailField> fields;
        QVector<qint64> ids;
        for (qint64 id = from; id <= to; ++id) {
            m_linkedTrail.insert(id);
            const auto it = m_trail.constFind(id);
            if (it == m_trail.constEnd()) {
                add(Kind::SourceMissing, Tables::Audit, id, {}, content.section(QLatin1Char('\n'), 0, 0), {});
                continue;
            }
            fields.append({it->field, it->before, it->after});
            ids.append(id);
        }
        if (fields.isEmpty())
            return;
        const TrailRow &first = m_trail[ids.first()];
        const ChainEntry rebuilt = ChainEntry::ofTrail(first.action, first.table, first.rowId, first.at,
                                                       first.operatorName, fields);
        if (rebuilt.canonical() == content)
            return;
        // Row by row: which trail row says what its link does not.
        for (qint64 id : ids) {
            const TrailRow &t = m_trail[id];
            const auto differs = [&](const QString &column, const QString &chain, const QString &held) {
                if (chain != held)
                    add(Kind::SourceChanged, Tables::Audit, id, column, chain, held);
            };
            differs(QStringLiteral("At"), e.at, t.at);
            differs(QStringLiteral("Operator"), e.operatorName, t.operatorName);
            differs(QStringLiteral("Action"), e.action, t.action);
            differs(QStringLiteral("RowId"), QString::number(e.rowId), QString::number(t.rowId));
            const auto find = [&](const FieldValues &values) {
                for (const auto &[f, v] : values)
                    if (f == t.field)
                        return v;
                return QString();
            };
            if (!t.after.isNull())
                differs(QStringLiteral("NewText (%1)").arg(t.field), find(e.values), t.after);
            if (!t.before.isNull())
                differs(QStringLiteral("OldText (%1)").arg(t.field), find(e.was), t.before);
        }
    }

    void findUnlinkedPasses()
    {
        for (auto it = m_trail.constBegin(); it != m_trail.constEnd(); ++it)
            if (it.key() > m_trailBefore && !m_linkedTrail.contains(it.key()))
                add(Kind::SourceAdded, Tables::Audit, it.key(), it->field, {}, it->after);
        if (!store.tableExists(Tables::Passes))
            return;
        RawQuery count(store, QStringLiteral("SELECT count(*) FROM %1").arg(sqlOf(Tables::Passes)), {});
        if (!count.next() || count.integer(0) == m_linkedPasses)
            return;
        RawQuery q(store, QStringLiteral("SELECT p.id, p.\"RowId\" FROM %1 p WHERE NOT EXISTS (SELECT 1 FROM %2 c "
                                  "WHERE c.\"Source\" = '%3' AND c.\"SourceFrom\" = p.id) ORDER BY p.id")
                       .arg(sqlOf(Tables::Passes), sqlOf(Tables::Chain), Tables::Passes),
                   {});
        while (q.next())
            add(Kind::SourceAdded, Tables::Passes, q.integer(0), QStringLiteral("RowId"), {},
                QString::number(q.integer(1)));
    }

    // The journal in id order beside the links in row order: each row's
    // links replayed give what it must hold.
    void replayRows(const Snapshot &snapshot)
    {
        const QStringList &fields = Schema::journalFields();
        QStringList columns;
        for (const QString &f : fields)
            columns << QStringLiteral("\"%1\"").arg(f);
        const int dateField = WeighingRecord::Dat;
        QVector<QByteArray> names;
        for (const QString &f : fields)
            names.append(f.toUtf8());

        auto journal = snapshot.stream(QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id")
                                           .arg(columns.join(QStringLiteral(", ")), sqlOf(Tables::Journal)));
        auto links = snapshot.besideStream(
            QStringLiteral("SELECT \"RowId\", \"Action\", \"Content\" FROM %1 WHERE \"TableName\" = '%2' "
                           "AND \"Action\" <> 'start' ORDER BY \"RowId\", id")
                .arg(sqlOf(Tables::Chain), Tables::Journal));

        const int n = int(fields.size());
        QVector<QByteArray> expected(n);
        QVector<bool> known(n);
        bool haveRow = journal->next();
        bool haveLink = links->next();
        while (haveRow || haveLink) {
            const qint64 row = !haveLink ? journal->integer(0)
                               : !haveRow ? links->integer(0)
                                          : std::min(journal->integer(0), links->integer(0));
            bool logged = false;
            bool deleted = false;
            known.fill(false);
            while (haveLink && links->integer(0) == row) {
                logged = true;
                if (links->bytes(1) == "delete")
                    deleted = true;
                else
                    takeValues(links->bytes(2), names, expected, known);
                haveLink = links->next();
            }
            const bool present = haveRow && journal->integer(0) == row;
            const auto held = [&](int i) {
                const QString t = journal->text(i + 1);
                return i == dateField ? shownDate(t) : (t.isNull() ? QString(QLatin1String("")) : t);
            };
            if (!logged) {
                if (row <= m_startRow) {
                    ++report.unloggedRows;
                } else {
                    for (int i = 0; i < n; ++i)
                        if (!held(i).isEmpty())
                            add(Kind::Added, Tables::Journal, row, fields[i], {}, held(i));
                }
            } else {
                ++report.loggedRows;
                for (int i = 0; i < n; ++i) {
                    if (!known[i])
                        continue;
                    // As bytes; the date as stored (year first) against the chain's day first.
                    if (!deleted && present
                        && (i == dateField ? isoDate(expected[i]) : expected[i]) == journal->bytes(i + 1))
                        continue;
                    const QString chain = QString::fromUtf8(expected[i]);
                    if (deleted && present)
                        add(Kind::Undeleted, Tables::Journal, row, fields[i], {}, held(i));
                    else if (!deleted && !present)
                        add(Kind::Deleted, Tables::Journal, row, fields[i], chain, {});
                    else if (!deleted && chain != held(i))
                        add(Kind::Changed, Tables::Journal, row, fields[i], chain, held(i));
                }
            }
            if (present)
                haveRow = journal->next();
        }
    }

    // "05.03.2007" as the journal stores it, "2007-03-05"; anything else as it is.
    static QByteArray isoDate(const QByteArray &shown)
    {
        if (shown.size() != 10 || shown[2] != '.' || shown[5] != '.')
            return shown;
        return shown.mid(6, 4) + '-' + shown.mid(3, 2) + '-' + shown.mid(0, 2);
    }

    static QString shownDate(const QString &stored)
    {
        if (stored.isEmpty())
            return QString(QLatin1String(""));
        const QDate d = QDate::fromString(stored.left(10), Qt::ISODate);
        return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : stored;
    }

    // The "f:" lines of a link's content into the row's expected values.
    static void takeValues(QByteArrayView content, const QVector<QByteArray> &names, QVector<QByteArray> &expected,
                           QVector<bool> &known)
    {
        // Fields come in the journal's order: the next one is looked for first.
        int hint = 0;
        qsizetype start = 0;
        while (start < content.size()) {
            qsizetype end = content.indexOf('\n', start);
            if (end < 0)
                end = content.size();
            const QByteArrayView line = content.sliced(start, end - start);
            start = end + 1;
            if (!line.startsWith("f:"))
                continue;
            const qsizetype eq = line.indexOf('=');
            if (eq < 0)
                continue;
            const QByteArrayView name = line.sliced(2, eq - 2);
            int i = -1;
            for (int k = 0; k < names.size() && i < 0; ++k) {
                const int at = (hint + k) % int(names.size());
                if (names[at] == name)
                    i = at;
            }
            if (i < 0)
                continue;
            hint = i + 1;
            const QByteArrayView value = line.sliced(eq + 1);
            expected[i] = value.contains('\\') ? unescaped(value) : value.toByteArray();
            known[i] = true;
        }
    }

    static QByteArray unescaped(QByteArrayView v)
    {
        QByteArray out;
        for (qsizetype i = 0; i < v.size(); ++i) {
            if (v[i] != '\\' || i + 1 == v.size()) {
                out += v[i];
                continue;
            }
            const char c = v[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
        return out;
    }

    QHash<qint64, TrailRow> m_trail;
    QSet<qint64> m_linkedTrail;
    qint64 m_trailBefore = 0;
    qint64 m_startRow = 0;
    qint64 m_linkedPasses = 0;
};

QString quoted(const QString &v) { return v.isNull() ? QStringLiteral("нет") : QStringLiteral("«%1»").arg(v); }

}

Report run(TableStore &store)
{
    Check check(store);
    check.run();
    return check.report;
}

QString describe(const Finding &f)
{
    QString what;
    switch (f.kind) {
    case Kind::Changed: what = QStringLiteral("изменена вне программы"); break;
    case Kind::Added: what = QStringLiteral("добавлена вне программы"); break;
    case Kind::Deleted: what = QStringLiteral("удалена вне программы"); break;
    case Kind::Undeleted: what = QStringLiteral("удалена программой, но есть в таблице"); break;
    case Kind::SourceChanged: what = QStringLiteral("изменена вне программы"); break;
    case Kind::SourceMissing: what = QStringLiteral("удалена вне программы"); break;
    case Kind::SourceAdded: what = QStringLiteral("добавлена вне программы"); break;
    }
    return QStringLiteral("%1 запись %2: %3, поле %4: по цепочке %5, в таблице %6")
        .arg(f.table)
        .arg(f.rowId)
        .arg(what, f.field.isEmpty() ? QStringLiteral("-") : f.field, quoted(f.chainValue), quoted(f.tableValue));
}

}

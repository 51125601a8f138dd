#include "store/hashchain.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>

#include "common/failure.h"
#include "common/oneline.h"
#include "common/session.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

namespace {

void line(QString &out, QLatin1String key, const QString &value)
{
    out += key;
    out += QLatin1Char('=');
    out += escapedLine(value);
    out += QLatin1Char('\n');
}

void lines(QString &out, QLatin1String prefix, const FieldValues &values)
{
    for (const auto &[field, value] : values) {
        out += prefix;
        out += escapedLine(field);
        out += QLatin1Char('=');
        out += escapedLine(value);
        out += QLatin1Char('\n');
    }
}

// One key for every station on the server: the chain has one end.
constexpr qint64 ChainLockKey = 0x4b726f64616c6eLL;

}

QString ChainEntry::canonical() const
{
    QString out;
    out.reserve(512);
    line(out, QLatin1String("action"), action);
    line(out, QLatin1String("table"), table);
    line(out, QLatin1String("row"), QString::number(rowId));
    line(out, QLatin1String("at"), at);
    line(out, QLatin1String("operator"), operatorName);
    lines(out, QLatin1String("f:"), values);
    lines(out, QLatin1String("was:"), was);
    lines(out, QLatin1String("x:"), facts);
    return out;
}

ChainEntry ChainEntry::ofTrail(const QString &action, const QString &table, qint64 rowId, const QString &at,
                               const QString &operatorName, const QVector<TrailField> &fields)
{
    ChainEntry e;
    e.action = action;
    e.table = table;
    e.rowId = rowId;
    e.at = at;
    e.operatorName = operatorName;
    for (const TrailField &f : fields) {
        if (!f.after.isNull())
            e.values.append({f.field, f.after});
        if (!f.before.isNull())
            e.was.append({f.field, f.before});
    }
    return e;
}

ChainEntry ChainEntry::parse(const QString &canonical)
{
    ChainEntry e;
    for (QStringView l : QStringView(canonical).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // A key never holds "=" (field names do not), so the first one ends it.
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QStringView key = l.left(eq);
        const QString value = unescapedLine(l.mid(eq + 1));
        if (key.startsWith(QLatin1String("f:")))
            e.values.append({unescapedLine(key.mid(2)), value});
        else if (key.startsWith(QLatin1String("was:")))
            e.was.append({unescapedLine(key.mid(4)), value});
        else if (key.startsWith(QLatin1String("x:")))
            e.facts.append({unescapedLine(key.mid(2)), value});
        else if (key == QLatin1String("action"))
            e.action = value;
        else if (key == QLatin1String("table"))
            e.table = value;
        else if (key == QLatin1String("row"))
            e.rowId = value.toLongLong();
        else if (key == QLatin1String("at"))
            e.at = value;
        else if (key == QLatin1String("operator"))
            e.operatorName = value;
    }
    return e;
}

namespace HashChain {

QString linkHash(const QByteArray &previousHex, const QByteArray &contentUtf8)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previousHex);
    h.addData(QByteArrayView("\n", 1));
    h.addData(contentUtf8);
    return QString::fromLatin1(h.result().toHex());
}

QString linkHash(const QString &previous, const QString &content)
{
    return linkHash(previous.toLatin1(), content.toUtf8());
}

namespace {

void insertLink(QSqlQuery &q, const ChainEntry &entry, const QString &source, qint64 from, qint64 to,
                const QString &previous)
{
    const QString content = entry.canonical();
    TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (\"Action\", \"TableName\", \"RowId\", \"Source\", "
                                               "\"SourceFrom\", \"SourceTo\", \"Content\", \"Hash\") "
                                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                                    .arg(TableStore::sqlName(Tables::Chain))),
                      q);
    q.addBindValue(entry.action);
    q.addBindValue(entry.table);
    q.addBindValue(entry.rowId);
    q.addBindValue(source.isNull() ? QString(QLatin1String("")) : source);
    q.addBindValue(from);
    q.addBindValue(to);
    q.addBindValue(content);
    q.addBindValue(linkHash(previous, content));
    TableStore::check(q.exec(), q);
}

QString lastLinkOn(QSqlQuery &q)
{
    TableStore::check(q.exec(QStringLiteral("SELECT \"Hash\" FROM %1 ORDER BY id DESC LIMIT 1")
                                 .arg(TableStore::sqlName(Tables::Chain))),
                      q);
    return q.next() ? q.value(0).toString() : QString();
}

}

namespace {

void writeStart(TableStore &store, QSqlQuery &q)
{
    qint64 lastRow = 0;
    if (store.tableExists(Tables::Journal)) {
        TableStore::check(q.exec(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM %1")
                                     .arg(TableStore::sqlName(Tables::Journal))),
                          q);
        if (q.next())
            lastRow = q.value(0).toLongLong();
    }
    qint64 lastTrail = 0;
    if (store.tableExists(Tables::Audit)) {
        TableStore::check(q.exec(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM %1")
                                     .arg(TableStore::sqlName(Tables::Audit))),
                          q);
        if (q.next())
            lastTrail = q.value(0).toLongLong();
    }
    ChainEntry start;
    start.facts = {{QStringLiteral("audit-last"), QString::number(lastTrail)}};
    start.action = QStringLiteral("start");
    start.table = Tables::Journal;
    start.rowId = lastRow;   // rows up to this one were there before the chain
    start.at = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    start.operatorName = Session::OperatorName;
    insertLink(q, start, QString(), 0, 0, Origin);
}

}

bool ensureTable(TableStore &store)
{
    if (store.tableExists(Tables::Chain))
        return false;
    TableStore::Transaction transaction(store);
    QSqlQuery q(store.connection());
    const QString text = SqlDialect::textType(store);
    const QString chain = TableStore::sqlName(Tables::Chain);
    TableStore::check(q.exec(QStringLiteral("CREATE TABLE %1 (%2, \"Action\" %3 NOT NULL, \"TableName\" %3 NOT NULL, "
                                            "\"RowId\" BIGINT NOT NULL, \"Source\" %3 NOT NULL, "
                                            "\"SourceFrom\" BIGINT NOT NULL, \"SourceTo\" BIGINT NOT NULL, "
                                            "\"Content\" %3 NOT NULL, \"Hash\" %3 NOT NULL)")
                                 .arg(chain, SqlDialect::idColumn(store), text)),
                      q);
    // The check replays the links of one row after another.
    TableStore::check(q.exec(QStringLiteral("CREATE INDEX %1_row ON %1 (\"RowId\", id)").arg(chain)), q);
    writeStart(store, q);
    transaction.commit();
    store.bumpGeneration();
    return true;
}

void restart(TableStore &store)
{
    QSqlQuery q(store.connection());
    TableStore::check(q.exec(QStringLiteral("DELETE FROM %1").arg(TableStore::sqlName(Tables::Chain))), q);
    writeStart(store, q);
}

void extend(TableStore &store, const ChainEntry &entry, const QString &source, qint64 from, qint64 to)
{
    QSqlQuery q(store.connection());
    if (store.engine() == TableStore::Engine::Server)
        TableStore::check(q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(ChainLockKey)), q);
    const QString previous = lastLinkOn(q);
    if (previous.isEmpty())
        throw StoreError(QStringLiteral("В базе данных нет таблицы %1 или она пуста; её добавит krodalin-db init")
                             .arg(Tables::Chain));
    insertLink(q, entry, source, from, to, previous);
}

QString lastLink(TableStore &store)
{
    if (!store.tableExists(Tables::Chain))
        return {};
    QSqlQuery q(store.connection());
    return lastLinkOn(q);
}

}

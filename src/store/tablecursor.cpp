#include "store/tablecursor.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVarLengthArray>

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <memory>
#include <thread>
#include <utility>

#include "common/failure.h"
#include "store/audittrail.h"
#include "store/rawquery.h"
#include "store/sqldialect.h"
#include "store/tablestore.h"

namespace {
QString dateText(const QString &stored)
{
    const QDate d = QDate::fromString(stored.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : stored;
}
}

TableCursor::TableCursor(QString tableName, QObject *parent)
    : QObject(parent), m_table(std::move(tableName)), m_sqlTable(TableStore::sqlName(m_table))
{
    TableStore::addReader(this);
}

TableCursor::~TableCursor()
{
    TableStore::removeReader(this);
}

// ---------------------------------------------------------------- opening

void TableCursor::Open()
{
    if (isOpen())
        return;
    RawQuery q(SqlDialect::columnsSql(), {m_sqlTable});
    QStringList fields;
    QVector<bool> dates;
    while (q.next()) {
        const QString name = q.text(0);
        if (name.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            continue;
        fields << name;
        dates << q.text(1).startsWith(QLatin1String("DATE"), Qt::CaseInsensitive);
    }
    if (fields.isEmpty())
        throw StoreError(QStringLiteral("Таблица %1 не найдена").arg(m_table));
    m_fields = fields;
    m_dateFields = dates;
    QStringList quoted{QStringLiteral("id")};
    for (const QString &f : m_fields)
        quoted << QStringLiteral("\"%1\"").arg(f);
    m_selectList = quoted.join(QStringLiteral(", "));
    // The first read decides: a table the engine cannot read (a damaged
    // file) leaves the cursor closed, not open on nothing.
    if (seekForward(0)) {
        m_bof = true;
        m_eof = false;
    } else {
        clearRow();
    }
    m_state = State::Browse;
    emit stateChanged();
    emit currentChanged();
    emit rowsChanged();   // bound grids read the rows afresh
}

void TableCursor::Close()
{
    if (!isOpen())
        return;
    m_state = State::Browse;
    m_modified = false;
    clearRow();
    m_state = State::Inactive;
    emit stateChanged();
    emit rowsChanged();
}

int TableCursor::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TableCursor::isDateField(int index) const
{
    return index >= 0 && index < m_dateFields.size() && m_dateFields[index];
}

void TableCursor::requireOpen() const
{
    if (!isOpen())
        throw StoreError(QStringLiteral("Таблица %1 не открыта").arg(m_table));
}

void TableCursor::requireRow() const
{
    requireOpen();
    if (m_currentId == 0 && m_state != State::Insert)
        throw StoreError(QStringLiteral("Нет текущей записи"));
}

// ---------------------------------------------------------------- filter SQL

QString TableCursor::whereClause(QVector<QVariant> &binds) const
{
    const auto isDate = [this](int i) { return isDateField(i); };
    QStringList parts;
    if (m_filters.active && !m_filters.expression.isEmpty())
        parts << m_filters.expression.toSql(m_fields, isDate, binds);
    if (m_filters.extraActive && !m_filters.extra.isEmpty())
        parts << m_filters.extra.toSql(m_fields, isDate, binds);
    return parts.join(QStringLiteral(" AND "));
}

// "SELECT columns FROM table WHERE conditions AND filters tail". The binds of
// the given conditions must already be in binds; the filters' are appended.
QString TableCursor::selectSql(const QString &columns, QStringList conditions, QVector<QVariant> &binds,
                              const QString &tail) const
{
    const QString where = whereClause(binds);
    if (!where.isEmpty())
        conditions << where;
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns, m_sqlTable);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    if (!tail.isEmpty())
        sql += QLatin1Char(' ') + tail;
    return sql;
}

// ---------------------------------------------------------------- rows

// Another cursor is about to write, or the store closes.
void TableCursor::releaseStatement()
{
    dropLive();
}

// The current row leaves the statement: copy it out.
void TableCursor::keepRowOnly()
{
    if (!m_inPlace)
        return;
    m_row = m_live->packed(1, int(m_fields.size()));
    m_inPlace = false;
}

void TableCursor::dropLive()
{
    keepRowOnly();
    m_live.reset();
}

void TableCursor::loadRow(qint64 id, const PackedRow &row)
{
    m_live.reset();
    m_inPlace = false;
    m_currentId = id;
    m_row = row;
    m_modified = false;
}

void TableCursor::clearRow()
{
    m_live.reset();
    m_inPlace = false;
    m_currentId = 0;
    m_row = PackedRow::pack(QVector<QString>(m_fields.size()));
    m_values.clear();
    m_original.clear();
    m_modified = false;
    m_eof = true;
    m_bof = true;
}

// Opens a statement over the visible rows after afterId and stands on the
// first of them. Changes nothing when there is none or the engine fails.
bool TableCursor::seekForward(qint64 afterId, int batch)
{
    // Where the statement cannot stay open between moves (a server
    // connection carries one at a time), it reads a batch of rows ahead:
    // a few after a jump, more and more as a walk goes on.
    const int largest = SqlDialect::forwardBatch();
    batch = largest > 0 ? std::clamp(batch, 16, largest) : 0;
    QVector<QVariant> binds{afterId};
    auto q = std::make_unique<RawQuery>(
        selectSql(m_selectList, {QStringLiteral("id > ?")}, binds,
                  batch > 0 ? QStringLiteral("ORDER BY id LIMIT %1").arg(batch) : QStringLiteral("ORDER BY id")),
        binds);
    if (!q->next())
        return false;
    m_live = std::move(q);
    m_liveBatch = batch;
    m_liveLeft = batch > 0 ? batch - 1 : -1;
    m_liveGeneration = TableStore::generation();
    m_inPlace = true;
    m_currentId = m_live->integer(0);
    m_row = PackedRow();
    m_modified = false;
    return true;
}

// Stands on the last visible row before beforeId (0: the last of all).
// Changes nothing when there is none or the engine fails.
bool TableCursor::fetchLast(qint64 beforeId)
{
    QVector<QVariant> binds;
    QStringList conds;
    if (beforeId > 0) {
        conds << QStringLiteral("id < ?");
        binds << beforeId;
    }
    RawQuery q(selectSql(m_selectList, conds, binds, QStringLiteral("ORDER BY id DESC LIMIT 1")), binds);
    if (!q.next())
        return false;
    loadRow(q.integer(0), q.packed(1, int(m_fields.size())));
    return true;
}

void TableCursor::First()
{
    requireOpen();
    settle();
    if (seekForward(0)) {
        m_bof = true;
        m_eof = false;
    } else {
        clearRow();
    }
    emit currentChanged();
}

void TableCursor::Last()
{
    requireOpen();
    settle();
    if (fetchLast(0)) {
        m_bof = false;
        m_eof = true;
    } else {
        clearRow();
    }
    emit currentChanged();
}

void TableCursor::Next()
{
    requireOpen();
    settle();
    if (m_currentId == 0) {
        m_eof = true;
        return;
    }
    if (m_inPlace && m_liveGeneration == TableStore::generation() && m_liveLeft != 0) {
        // The common case of a walk: one step of the open statement.
        bool more = false;
        try {
            more = m_live->next();
        } catch (const Failure &) {
            // The statement is spent; the cursor stays on its row.
            m_live.reset();
            m_inPlace = false;
            m_row = PackedRow::pack(QVector<QString>(m_fields.size()));
            try {
                m_row = fetchRow(m_currentId);
            } catch (const Failure &) {
            }
            throw;
        }
        if (more) {
            if (m_liveLeft > 0)
                --m_liveLeft;
            m_currentId = m_live->integer(0);
            m_bof = false;
            m_eof = false;
            emit currentChanged();
            return;
        }
        // Past the last row the statement no longer holds the current one.
        m_live.reset();
        m_inPlace = false;
        m_row = fetchRow(m_currentId);
        m_eof = true;
        return;
    }
    // Moved some other way, the data changed, or the batch read ahead is
    // spent: look again after this row.
    const bool walking = m_inPlace && m_liveLeft == 0 && m_liveGeneration == TableStore::generation();
    keepRowOnly();
    if (!seekForward(m_currentId, walking ? m_liveBatch * 4 : 0)) {
        m_eof = true;
        return;
    }
    m_bof = false;
    m_eof = false;
    emit currentChanged();
}

void TableCursor::Prior()
{
    requireOpen();
    settle();
    if (m_currentId == 0) {
        m_bof = true;
        return;
    }
    if (!fetchLast(m_currentId)) {
        // Stay on the first row.
        m_bof = true;
        return;
    }
    m_bof = false;
    m_eof = false;
    emit currentChanged();
}

bool TableCursor::IsEmpty()
{
    requireOpen();
    if (m_state == State::Insert)
        return false;
    QVector<QVariant> binds;
    RawQuery q(selectSql(QStringLiteral("1"), {}, binds, QStringLiteral("LIMIT 1")), binds);
    return !q.next();
}

void TableCursor::scanToEnd(const QVector<int> &fields, const std::function<void(const QByteArrayView *)> &visit)
{
    requireOpen();
    settle();
    if (m_currentId == 0 || m_eof)
        return;
    QStringList columns;
    for (const int f : fields) {
        if (f < 0 || f >= m_fields.size())
            throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(f).arg(m_table));
        columns << QStringLiteral("\"%1\"").arg(m_fields[f]);
    }
    QVector<QVariant> binds{m_currentId};
    RawQuery q(selectSql(columns.join(QStringLiteral(", ")), {QStringLiteral("id >= ?")}, binds,
                         QStringLiteral("ORDER BY id")),
               binds, RawQuery::Mode::Streaming);
    QVarLengthArray<QByteArrayView, 32> row(fields.size());
    while (q.next()) {
        for (int i = 0; i < fields.size(); ++i)
            row[i] = q.bytes(i);
        visit(row.constData());
    }
    // Where a walk ends: on the last visible row, past its end.
    if (fetchLast(0)) {
        m_bof = false;
        m_eof = true;
    } else {
        clearRow();
    }
    emit currentChanged();
}

void TableCursor::scanToEndSplit(const QVector<int> &first, const RowVisit &visitFirst, const QVector<int> &second,
                                 const RowVisit &visitSecond)
{
    requireOpen();
    settle();
    if (m_currentId == 0 || m_eof)
        return;
    const auto columnsOf = [this](const QVector<int> &fields) {
        QStringList columns;
        for (const int f : fields) {
            if (f < 0 || f >= m_fields.size())
                throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(f).arg(m_table));
            columns << QStringLiteral("\"%1\"").arg(m_fields[f]);
        }
        return columns.join(QStringLiteral(", "));
    };
    const QString firstColumns = columnsOf(first);
    const QString secondColumns = columnsOf(second);

    const auto walkHere = [&] {
        const QVector<int> all = first + second;
        scanToEnd(all, [&](const QByteArrayView *row) {
            visitFirst(row);
            visitSecond(row + first.size());
        });
    };
    // On SQLite the second part reads the file through a connection of its
    // own; a server gets a second connection, made on the worker thread.
    const bool onServer = TableStore::engine() == TableStore::Engine::Server;
    ReadConnection other;
    if (!onServer && !other.handle())
        return walkHere();

    // Both parts end at the row that is last now, so that a row added
    // meanwhile cannot reach one part and not the other.
    qint64 lastId = 0;
    {
        RawQuery q(QStringLiteral("SELECT max(id) FROM %1").arg(m_sqlTable), {});
        if (q.next())
            lastId = q.integer(0);
    }
    const auto sqlFor = [&](const QString &columns, QVector<QVariant> &binds) {
        binds = {m_currentId, lastId};
        return selectSql(columns, {QStringLiteral("id >= ?"), QStringLiteral("id <= ?")}, binds,
                         QStringLiteral("ORDER BY id"));
    };
    QVector<QVariant> secondBinds;
    const QString secondSql = sqlFor(secondColumns, secondBinds);
    std::unique_ptr<RawQuery> secondQuery;
    if (!onServer) {
        try {
            secondQuery = std::make_unique<RawQuery>(other.handle(), secondSql, secondBinds);
        } catch (const StoreError &) {
            return walkHere();   // the file refuses a second reader: read it here alone
        }
    }

    std::atomic<bool> stop{false};
    std::exception_ptr secondFailure;
    std::promise<bool> started;   // false: no second connection, the walk goes here alone
    std::future<bool> startedHere = started.get_future();
    std::thread worker([&] {
        std::unique_ptr<TableStore::WalkConnection> connection;
        bool told = false;
        try {
            if (onServer) {
                connection = std::make_unique<TableStore::WalkConnection>();
                if (!connection->isOpen()) {
                    started.set_value(false);
                    return;
                }
                secondQuery = std::make_unique<RawQuery>(connection->database(), secondSql, secondBinds,
                                                         RawQuery::Mode::Streaming);
            }
            started.set_value(true);
            told = true;
            QVarLengthArray<QByteArrayView, 32> row(second.size());
            while (!stop.load(std::memory_order_relaxed) && secondQuery->next()) {
                for (int i = 0; i < second.size(); ++i)
                    row[i] = secondQuery->bytes(i);
                visitSecond(row.constData());
            }
        } catch (...) {
            secondFailure = std::current_exception();
            if (!told)
                started.set_value(true);
        }
        secondQuery.reset();   // the statement goes with its connection's thread
        connection.reset();
    });
    if (!startedHere.get()) {
        worker.join();
        return walkHere();
    }
    try {
        QVector<QVariant> binds;
        RawQuery q(sqlFor(firstColumns, binds), binds, RawQuery::Mode::Streaming);
        QVarLengthArray<QByteArrayView, 32> row(first.size());
        while (q.next()) {
            for (int i = 0; i < first.size(); ++i)
                row[i] = q.bytes(i);
            visitFirst(row.constData());
        }
    } catch (...) {
        stop = true;
        worker.join();
        throw;
    }
    worker.join();
    if (secondFailure)
        std::rethrow_exception(secondFailure);
    if (fetchLast(0)) {
        m_bof = false;
        m_eof = true;
    } else {
        clearRow();
    }
    emit currentChanged();
}

std::optional<QStringList> TableCursor::distinctByLatest(int field, int limit) const
{
    requireOpen();
    if (field < 0 || field >= m_fields.size())
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(field).arg(m_table));
    QString index;
    {
        // Without an index that starts with the field every seek would be a walk.
        RawQuery q(SqlDialect::indexOnFieldSql(), {m_sqlTable, m_fields[field]});
        if (!q.next())
            return std::nullopt;
        index = q.text(0);
    }
    // d walks the index from each text to the next greater one, counting
    // them; for each, the last visible entry of that text in the index holds
    // its latest row. The index is named where the engine takes a hint: with
    // a filter the planner might otherwise walk the filter's index once for
    // every text.
    QVector<QVariant> binds{limit + 2};
    const QString filters = whereClause(binds);
    const QString col = QStringLiteral("\"%1\"").arg(m_fields[field]);
    RawQuery q(QStringLiteral("WITH RECURSIVE d(v, n) AS (SELECT min(%1), 1 FROM %2 UNION ALL "
                              "SELECT (SELECT min(%1) FROM %2 WHERE %1 > d.v), d.n + 1 FROM d "
                              "WHERE d.v IS NOT NULL AND d.n < ?) "
                              "SELECT v, (SELECT id FROM %2%3 WHERE %1 = d.v%4 "
                              "ORDER BY id DESC LIMIT 1) AS latest FROM d WHERE v IS NOT NULL ORDER BY latest")
                   .arg(col, m_sqlTable, SqlDialect::indexHint(index),
                        filters.isEmpty() ? QString() : QStringLiteral(" AND (%1)").arg(filters)),
               binds);
    // Every distinct text comes back, the hidden ones without a row (first):
    // more than limit of them means the walk of d was cut short.
    QStringList texts;
    int seen = 0;
    while (q.next()) {
        if (++seen > limit)
            return std::nullopt;
        if (!q.isNull(1))
            texts << QString::fromUtf8(q.bytes(0));
    }
    return texts;
}

qint64 TableCursor::hiddenCount() const
{
    requireOpen();
    QVector<QVariant> binds;
    const QString filters = whereClause(binds);
    if (filters.isEmpty())
        return 0;
    RawQuery q(QStringLiteral("SELECT (SELECT COUNT(*) FROM %1) - (SELECT COUNT(*) FROM %1 WHERE %2)")
                   .arg(m_sqlTable, filters),
               binds);
    return q.next() ? q.integer(0) : 0;
}

bool TableCursor::moveToId(qint64 id)
{
    requireOpen();
    if (id == m_currentId && m_state == State::Browse) {
        m_bof = m_eof = false;   // standing on a row, not past the end
        return true;
    }
    settle();
    const PackedRow row = fetchRow(id);
    if (row.bounds.isEmpty())
        return false;
    loadRow(id, row);
    m_bof = false;
    m_eof = false;
    emit currentChanged();
    return true;
}

bool TableCursor::Locate(const QString &field, const QString &prefix)
{
    requireOpen();
    const int index = fieldIndex(field);
    if (index < 0)
        throw StoreError(QStringLiteral("Поле %1 не найдено").arg(field));
    settle();
    const auto equal = [&](const QString &text) { return text.compare(prefix, Qt::CaseInsensitive) == 0; };
    if (m_currentId != 0 && equal(FieldText(index)))
        return true;

    // A text that is a whole value goes to that row, even where a longer
    // value it begins comes first ("Иван" before "Иван Петров"): otherwise
    // that row could never be reached by typing. Letter case is ignored for
    // every alphabet, so the comparison is done here rather than by the
    // engine (whose lower() knows only ASCII).
    QVector<QVariant> binds;
    RawQuery q(selectSql(QStringLiteral("id, \"%1\"").arg(m_fields[index]), {}, binds, QStringLiteral("ORDER BY id")),
               binds);
    qint64 firstBeginning = 0;
    while (q.next()) {
        const QString text = valueText(q.text(1), isDateField(index));
        if (equal(text))
            return moveToId(q.integer(0));
        if (firstBeginning == 0 && text.startsWith(prefix, Qt::CaseInsensitive))
            firstBeginning = q.integer(0);
    }
    if (m_currentId != 0 && FieldText(index).startsWith(prefix, Qt::CaseInsensitive))
        return true;
    return firstBeginning != 0 && moveToId(firstBeginning);
}

// ---------------------------------------------------------------- fields

QString TableCursor::valueText(const QString &stored, bool isDate)
{
    if (stored.isNull())
        return {};
    return isDate ? dateText(stored) : stored;
}

QString TableCursor::FieldText(int index) const
{
    if (index < 0 || index >= m_fields.size())
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(index).arg(m_table));
    if (m_state == State::Edit || m_state == State::Insert)
        return valueText(m_values[index], isDateField(index));
    return valueText(currentStored(index), isDateField(index));
}

QString TableCursor::storedText(int index) const
{
    const QString text = FieldText(index);   // also checks the index
    if (m_state == State::Insert)
        return {};
    // Editing keeps the row as read beside the edit buffer.
    return m_state == State::Edit ? valueText(currentStored(index), isDateField(index)) : text;
}

QString TableCursor::currentStored(int index) const
{
    if (m_inPlace)
        return m_live->text(index + 1);
    if (m_row.size() != m_fields.size())
        return {};
    return m_row.string(index);
}

QByteArrayView TableCursor::FieldBytes(int index) const
{
    if (index < 0 || index >= m_fields.size())
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(index).arg(m_table));
    const bool editing = m_state == State::Edit || m_state == State::Insert;
    if (!editing && m_inPlace)
        return m_live->bytes(index + 1);
    if (editing || m_row.size() != m_fields.size()) {
        // Rare: keep a converted copy alive until the next call.
        m_scratch = FieldText(index).toUtf8();
        return m_scratch;
    }
    return m_row.bytes(index);
}

QString TableCursor::FieldText(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Поле %1 не найдено").arg(name));
    return FieldText(i);
}

QString TableCursor::storedValue(int index, const QString &text) const
{
    // A null QString would reach the engine as NULL; text fields hold ''.
    if (!isDateField(index))
        return text.isNull() ? QString(QLatin1String("")) : text;
    if (text.trimmed().isEmpty())
        return QString();
    const QString iso = FilterExpression::isoDate(text);
    if (iso.isEmpty())
        throw StoreError(QStringLiteral("\"%1\" не является правильной датой").arg(text));
    return iso;
}

void TableCursor::SetFieldText(int index, const QString &text)
{
    requireOpen();
    if (m_state == State::Browse)
        throw StoreError(QStringLiteral("Запись не в режиме редактирования"));
    if (index < 0 || index >= m_fields.size())
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(index).arg(m_table));
    m_values[index] = storedValue(index, text);
    m_modified = true;
    emit currentChanged();
}

void TableCursor::SetFieldText(const QString &name, const QString &text)
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Поле %1 не найдено").arg(name));
    SetFieldText(i, text);
}

void TableCursor::SetFieldDateTime(int index, const QDateTime &when)
{
    if (!when.isValid())
        throw StoreError(QStringLiteral("Неправильная дата"));
    SetFieldText(index, when.date().toString(QStringLiteral("dd.MM.yyyy")));
}

void TableCursor::SetFieldDateTime(const QString &name, const QDateTime &when)
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Поле %1 не найдено").arg(name));
    SetFieldDateTime(i, when);
}

// ---------------------------------------------------------------- editing

void TableCursor::Edit(Origin origin)
{
    requireOpen();
    if (m_state != State::Browse)
        return;
    requireRow();
    // Edit the row as it is stored now, not as this cursor last read it.
    const PackedRow fresh = fetchRow(m_currentId);
    if (fresh.bounds.isEmpty())
        throw StoreError(QStringLiteral("Запись была удалена"));
    loadRow(m_currentId, fresh);
    m_values = fresh.unpack();
    m_original = m_values;
    m_handEdit = m_audited && origin == Origin::Hand;
    m_state = State::Edit;
    emit stateChanged();
}

void TableCursor::Append(Origin origin)
{
    requireOpen();
    settle();
    m_prevId = m_currentId;
    dropLive();
    m_currentId = 0;
    m_values = QVector<QString>(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        m_values[i] = isDateField(i) ? QString() : QString(QLatin1String(""));
    m_original = m_values;
    m_modified = false;
    m_handEdit = m_audited && origin == Origin::Hand;
    m_state = State::Insert;
    emit stateChanged();
    emit currentChanged();
}

QVector<QString> TableCursor::texts(const QVector<QString> &stored) const
{
    QVector<QString> out(stored.size());
    for (int i = 0; i < stored.size(); ++i)
        out[i] = valueText(stored[i], isDateField(i));
    return out;
}

void TableCursor::writeChange(bool withTrail, const std::function<void()> &change)
{
    TableStore::releaseReaders();
    if (!withTrail) {
        change();
        return;
    }
    TableStore::Transaction transaction;
    change();
    transaction.commit();
}

qint64 TableCursor::postInsert()
{
    QStringList cols, marks;
    for (const QString &f : m_fields) {
        cols << QStringLiteral("\"%1\"").arg(f);
        marks << QStringLiteral("?");
    }
    qint64 id = 0;
    writeChange(m_handEdit || m_recorder, [&] {
        QSqlQuery q(TableStore::connection());
        TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)%4")
                                        .arg(m_sqlTable, cols.join(", "), marks.join(", "),
                                             SqlDialect::insertReturning())),
                          q);
        for (int i = 0; i < m_values.size(); ++i)
            q.addBindValue(m_values[i].isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(m_values[i]));
        TableStore::check(q.exec(), q);
        id = SqlDialect::insertedId(q);
        if (m_handEdit)
            AuditTrail::write(AuditTrail::Action::Insert, m_table, id, m_fields, {}, texts(m_values));
        if (m_recorder) {
            const QVector<QString> shown = texts(m_values);
            FieldValues written;
            for (int i = 0; i < m_fields.size(); ++i)
                written.append({m_fields[i], shown[i].isNull() ? QString(QLatin1String("")) : shown[i]});
            m_recorder(id, written);
        }
    });
    return id;
}

void TableCursor::postEdit(const PostCondition *condition)
{
    QStringList sets;
    QVector<QVariant> binds;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_values[i] == m_original[i] && m_values[i].isNull() == m_original[i].isNull())
            continue;
        sets << QStringLiteral("\"%1\" = ?").arg(m_fields[i]);
        binds << (m_values[i].isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(m_values[i]));
    }
    if (sets.isEmpty() && !condition)
        return;
    if (sets.isEmpty())
        sets << QStringLiteral("id = id");   // nothing to change, but the condition is still checked
    // The condition is checked by the update itself, so that no other
    // program can change the row between the look and the write.
    QString where = QStringLiteral("id = ?");
    if (condition)
        where += QStringLiteral(" AND \"%1\" = ?").arg(m_fields[condition->field]);
    writeChange(m_handEdit || m_recorder, [&] {
        QSqlQuery q(TableStore::connection());
        TableStore::check(
            q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(m_sqlTable, sets.join(", "), where)), q);
        for (const QVariant &b : binds)
            q.addBindValue(b);
        q.addBindValue(m_currentId);
        if (condition)
            q.addBindValue(condition->stored);
        TableStore::check(q.exec(), q);
        if (q.numRowsAffected() != 1) {
            if (condition && !fetchRow(m_currentId).bounds.isEmpty())
                throw RowChangedError(QStringLiteral("Запись изменена другой программой: \"%1\" больше не \"%2\"")
                                          .arg(m_fields[condition->field], condition->stored));
            throw StoreError(QStringLiteral("Запись не найдена: её удалили, пока она редактировалась"));
        }
        if (m_handEdit)
            AuditTrail::write(AuditTrail::Action::Edit, m_table, m_currentId, m_fields, texts(m_original),
                              texts(m_values));
        if (m_recorder) {
            const QVector<QString> before = texts(m_original), after = texts(m_values);
            FieldValues written;
            for (int i = 0; i < m_fields.size(); ++i)
                if (before[i] != after[i] || before[i].isNull() != after[i].isNull())
                    written.append({m_fields[i], after[i].isNull() ? QString(QLatin1String("")) : after[i]});
            m_recorder(m_currentId, written);
        }
    });
}

void TableCursor::Post()
{
    post(nullptr);
}

void TableCursor::PostIfStill(int field, const QString &text)
{
    requireOpen();
    if (m_state != State::Edit)
        throw StoreError(QStringLiteral("Запись не в режиме редактирования"));
    if (field < 0 || field >= m_fields.size())
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(field).arg(m_table));
    const PostCondition condition{field, storedValue(field, text)};
    post(&condition);
}

void TableCursor::post(const PostCondition *condition)
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    // On failure the row stays in editing, so nothing typed is lost.
    struct Forget
    {
        PostRecorder &recorder;
        ~Forget() { recorder = nullptr; }
    } forget{m_recorder};
    if (m_state == State::Insert)
        m_currentId = postInsert();
    else
        postEdit(condition);
    m_state = State::Browse;
    m_live.reset();
    m_inPlace = false;
    m_row = PackedRow::pack(m_values);
    m_values.clear();
    m_original.clear();
    m_modified = false;
    m_eof = false;
    m_bof = false;
    TableStore::bumpGeneration();
    if (std::exchange(m_handEdit, false) && (m_filters.active || m_filters.extraActive)) {
        // The row is stored: a failed look leaves it current rather than
        // report a failure of a change that was made.
        try {
            if (!rowStillVisible(m_currentId))
                standNear(m_currentId);
        } catch (const Failure &) {
        }
    }
    emit stateChanged();
    emit rowsChanged();
    emit currentChanged();
}

void TableCursor::Cancel()
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    const State was = m_state;
    m_state = State::Browse;
    m_modified = false;
    emit stateChanged();
    if (was == State::Insert) {
        const PackedRow prev = m_prevId ? fetchRow(m_prevId) : PackedRow();
        if (!prev.bounds.isEmpty()) {
            loadRow(m_prevId, prev);
            emit currentChanged();
        } else {
            First();
        }
    } else {
        m_values.clear();
        m_original.clear();
        emit currentChanged();
    }
}

void TableCursor::settle()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

void TableCursor::Delete()
{
    requireOpen();
    if (m_state == State::Insert) {
        Cancel();
        return;
    }
    if (m_state == State::Edit)
        Cancel();
    requireRow();
    const qint64 id = m_currentId;
    // The trail of a deleted row holds all its fields as they were stored.
    const QVector<QString> was = m_audited ? fetchRow(id).unpack() : QVector<QString>();
    writeChange(m_audited, [&] {
        QSqlQuery q(TableStore::connection());
        TableStore::check(q.prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(m_sqlTable)), q);
        q.addBindValue(id);
        TableStore::check(q.exec(), q);
        if (m_audited && q.numRowsAffected() == 1)
            AuditTrail::write(AuditTrail::Action::Delete, m_table, id, m_fields, texts(was), {});
    });
    TableStore::bumpGeneration();
    standNear(id);
    emit rowsChanged();
    emit currentChanged();
}

void TableCursor::standNear(qint64 id)
{
    if (seekForward(id)) {
        m_eof = false;
    } else if (fetchLast(id)) {
        m_eof = true;
    } else {
        clearRow();
    }
}

void TableCursor::Refresh()
{
    requireOpen();
    settle();
    // A fresh look: no open statement may hold an older view of the table
    // than what other programs have stored since.
    TableStore::releaseReaders();
    if (m_currentId != 0 && rowStillVisible(m_currentId)) {
        loadRow(m_currentId, fetchRow(m_currentId));
    } else if (seekForward(0)) {
        m_bof = true;
        m_eof = false;
    } else {
        clearRow();
    }
    emit rowsChanged();
    emit currentChanged();
}

// ---------------------------------------------------------------- filter

FilterExpression TableCursor::parseFilter(const QStringList &lines) const
{
    return FilterExpression::parse(
        lines, [this](const QString &n) { return fieldIndex(n); }, [this](int i) { return isDateField(i); });
}

// Puts the wanted filters in force and reads the first row under them (or
// keeps the current row when it is still visible). All or nothing: when the
// engine refuses the query, the filters and the current row stay as they were.
void TableCursor::applyFilters(const Filters &wanted, bool keepCurrent)
{
    TableStore::releaseReaders();   // a fresh look, as Refresh
    Filters was = wanted;
    std::swap(was, m_filters);
    try {
        if (keepCurrent && m_currentId != 0 && rowStillVisible(m_currentId)) {
            loadRow(m_currentId, fetchRow(m_currentId));
            m_bof = m_eof = false;
        } else if (seekForward(0)) {
            m_bof = true;
            m_eof = false;
        } else {
            clearRow();
        }
    } catch (...) {
        m_filters = std::move(was);
        throw;
    }
    emit rowsChanged();
    emit currentChanged();
}

void TableCursor::SetFilterLines(const QStringList &lines)
{
    if (!m_filters.active) {
        m_filters.lines = lines;
        return;
    }
    requireOpen();
    Filters wanted = m_filters;
    wanted.lines = lines;
    wanted.expression = parseFilter(lines);
    settle();
    applyFilters(wanted, false);
}

void TableCursor::ActivateFilter()
{
    requireOpen();
    Filters wanted = m_filters;
    wanted.expression = parseFilter(m_filters.lines);
    wanted.active = true;
    settle();
    applyFilters(wanted, false);
}

void TableCursor::DeactivateFilter()
{
    requireOpen();
    settle();
    if (!m_filters.active)
        return;
    Filters wanted = m_filters;
    wanted.active = false;
    applyFilters(wanted, true);
}

void TableCursor::setExtraFilter(const QStringList &lines, bool active)
{
    requireOpen();
    Filters wanted = m_filters;
    wanted.extraLines = lines;
    wanted.extra = parseFilter(lines);
    wanted.extraActive = active;
    settle();
    if (active)
        applyFilters(wanted, false);
    else if (m_filters.extraActive)
        applyFilters(wanted, true);
    else
        m_filters = wanted;
}

bool TableCursor::rowStillVisible(qint64 id)
{
    QVector<QVariant> binds{id};
    RawQuery q(selectSql(QStringLiteral("1"), {QStringLiteral("id = ?")}, binds), binds);
    return q.next();
}

// ---------------------------------------------------------------- for grids

QVector<qint64> TableCursor::visibleIds(qint64 afterId, int limit) const
{
    requireOpen();
    QVector<QVariant> binds{afterId};
    const QString tail = limit > 0 ? QStringLiteral("ORDER BY id LIMIT %1").arg(limit) : QStringLiteral("ORDER BY id");
    RawQuery q(selectSql(QStringLiteral("id"), {QStringLiteral("id > ?")}, binds, tail), binds);
    QVector<qint64> ids;
    if (limit > 0)
        ids.reserve(limit);
    while (q.next())
        ids.append(q.integer(0));
    return ids;
}

int TableCursor::visibleCount() const
{
    requireOpen();
    QVector<QVariant> binds;
    RawQuery q(selectSql(QStringLiteral("COUNT(*)"), {}, binds), binds);
    return q.next() ? int(q.integer(0)) : 0;
}

PackedRow TableCursor::fetchRow(qint64 id) const
{
    requireOpen();
    RawQuery q(QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(m_selectList, m_sqlTable), {id});
    if (!q.next())
        return {};
    return q.packed(1, int(m_fields.size()));
}

QVector<QString> TableCursor::rowById(qint64 id) const
{
    return fetchRow(id).unpack();
}

QVector<QPair<qint64, PackedRow>> TableCursor::rowsByIdRange(qint64 fromId, qint64 toId) const
{
    requireOpen();
    QVector<QVariant> binds{fromId, toId};
    RawQuery q(selectSql(m_selectList, {QStringLiteral("id >= ?"), QStringLiteral("id <= ?")}, binds,
                         QStringLiteral("ORDER BY id")),
               binds);
    QVector<QPair<qint64, PackedRow>> rows;
    while (q.next())
        rows.append({q.integer(0), q.packed(1, int(m_fields.size()))});
    return rows;
}

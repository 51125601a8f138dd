#include "store/tablecursor.h"

#include <QDate>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVarLengthArray>

#include "common/failure.h"
#include "store/rawquery.h"
#include "store/tablestore.h"

namespace {
constexpr int FirstBatch = 32;
constexpr int LargestBatch = 4096;

QString dateText(const QString &stored)
{
    const QDate d = QDate::fromString(stored.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : stored;
}
}

TableCursor::TableCursor(QString tableName, QObject *parent)
    : QObject(parent), m_table(std::move(tableName)), m_sqlTable(TableStore::sqlName(m_table))
{
}

TableCursor::~TableCursor() = default;

// ---------------------------------------------------------------- opening

void TableCursor::Open()
{
    if (isOpen())
        return;
    QSqlQuery q(TableStore::connection());
    TableStore::check(q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(m_sqlTable)), q);
    QStringList fields;
    QVector<bool> dates;
    while (q.next()) {
        const QString name = q.value(1).toString();
        if (name.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            continue;
        fields << name;
        dates << q.value(2).toString().startsWith(QLatin1String("DATE"), Qt::CaseInsensitive);
    }
    if (fields.isEmpty())
        throw StoreError(QStringLiteral("Таблица %1 не найдена").arg(m_table));
    m_fields = fields;
    m_dateFields = dates;
    QStringList quoted{QStringLiteral("id")};
    for (const QString &f : m_fields)
        quoted << QStringLiteral("\"%1\"").arg(f);
    m_selectList = quoted.join(QStringLiteral(", "));
    m_state = State::Browse;
    emit stateChanged();
    First();
    emit rowsChanged();   // bound grids read the rows afresh
}

void TableCursor::Close()
{
    if (!isOpen())
        return;
    m_state = State::Browse;
    m_modified = false;
    clearRow();
    m_ahead.clear();
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
    if (m_filterActive && !m_filter.isEmpty())
        parts << m_filter.toSql(m_fields, isDate, binds);
    if (m_extraActive && !m_extra.isEmpty())
        parts << m_extra.toSql(m_fields, isDate, binds);
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

void TableCursor::loadRow(qint64 id, const PackedRow &row)
{
    m_currentId = id;
    m_row = row;
    m_modified = false;
}

void TableCursor::clearRow()
{
    m_currentId = 0;
    m_row = PackedRow::pack(QVector<QString>(m_fields.size()));
    m_values.clear();
    m_original.clear();
    m_modified = false;
    m_ahead.clear();
    m_aheadPos = 0;
    m_eof = true;
    m_bof = true;
}

// Fills the read-ahead buffer with the visible rows after afterId.
void TableCursor::refill(qint64 afterId)
{
    const int batch = m_ahead.isEmpty() ? FirstBatch : std::min<int>(LargestBatch, int(m_ahead.size()) * 4);
    QVector<QVariant> binds{afterId};
    RawQuery q(selectSql(m_selectList, {QStringLiteral("id > ?")}, binds,
                         QStringLiteral("ORDER BY id LIMIT %1").arg(batch)),
               binds);
    m_ahead.clear();
    m_ahead.reserve(batch);
    const int n = int(m_fields.size());
    while (q.next()) {
        Buffered row;
        row.id = q.integer(0);
        row.values = q.packed(1, n);
        m_ahead.append(std::move(row));
    }
    m_aheadPos = 0;
    m_aheadGeneration = TableStore::generation();
    m_aheadComplete = m_ahead.size() < batch;
}

bool TableCursor::fetchFirstFrom(qint64 afterId, bool forward)
{
    if (forward) {
        m_ahead.clear();
        refill(afterId);
        if (m_ahead.isEmpty())
            return false;
        loadRow(m_ahead[0].id, m_ahead[0].values);
        return true;
    }
    QVector<QVariant> binds;
    QStringList conds;
    if (afterId > 0) {
        conds << QStringLiteral("id < ?");
        binds << afterId;
    }
    RawQuery q(selectSql(m_selectList, conds, binds, QStringLiteral("ORDER BY id DESC LIMIT 1")), binds);
    m_ahead.clear();
    if (!q.next())
        return false;
    loadRow(q.integer(0), q.packed(1, int(m_fields.size())));
    return true;
}

void TableCursor::First()
{
    requireOpen();
    settle();
    m_ahead.clear();
    if (fetchFirstFrom(0, true)) {
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
    if (fetchFirstFrom(0, false)) {
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
    const bool bufferFresh = !m_ahead.isEmpty() && m_aheadGeneration == TableStore::generation()
                             && m_ahead[m_aheadPos].id == m_currentId;
    if (bufferFresh && m_aheadPos + 1 < m_ahead.size()) {
        ++m_aheadPos;
        loadRow(m_ahead[m_aheadPos].id, m_ahead[m_aheadPos].values);
    } else if (bufferFresh && m_aheadComplete) {
        m_eof = true;
        return;
    } else {
        if (!bufferFresh)
            m_ahead.clear();   // start small again after a change elsewhere
        refill(m_currentId);
        if (m_ahead.isEmpty()) {
            m_eof = true;
            return;
        }
        loadRow(m_ahead[0].id, m_ahead[0].values);
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
    const qint64 from = m_currentId;
    if (!fetchFirstFrom(from, false)) {
        // Stay on the first row.
        m_bof = true;
        m_ahead.clear();
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
               binds);
    QVarLengthArray<QByteArrayView, 32> row(fields.size());
    while (q.next()) {
        for (int i = 0; i < fields.size(); ++i)
            row[i] = q.bytes(i);
        visit(row.constData());
    }
    // Where a walk ends: on the last visible row, past its end.
    if (fetchFirstFrom(0, false)) {
        m_bof = false;
        m_eof = true;
    } else {
        clearRow();
    }
    emit currentChanged();
}

bool TableCursor::moveToId(qint64 id)
{
    requireOpen();
    if (id == m_currentId && m_state == State::Browse)
        return true;
    settle();
    const PackedRow row = fetchRow(id);
    if (row.bounds.isEmpty())
        return false;
    loadRow(id, row);
    m_ahead.clear();
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
    if (m_currentId != 0 && FieldText(index).startsWith(prefix, Qt::CaseInsensitive))
        return true;

    // Letter case is ignored for every alphabet, so the comparison is done here
    // rather than by the engine (whose lower() knows only ASCII).
    QVector<QVariant> binds;
    RawQuery q(selectSql(QStringLiteral("id, \"%1\"").arg(m_fields[index]), {}, binds, QStringLiteral("ORDER BY id")),
               binds);
    while (q.next()) {
        if (valueText(q.text(1), isDateField(index)).startsWith(prefix, Qt::CaseInsensitive))
            return moveToId(q.integer(0));
    }
    return false;
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
    if (m_row.size() != m_fields.size())
        return {};
    return valueText(m_row.string(index), isDateField(index));
}

QByteArrayView TableCursor::FieldBytes(int index) const
{
    if (index < 0 || index >= m_fields.size())
        throw StoreError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(index).arg(m_table));
    if (m_state == State::Edit || m_state == State::Insert || m_row.size() != m_fields.size()) {
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

void TableCursor::Edit()
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
    m_state = State::Edit;
    emit stateChanged();
}

void TableCursor::Append()
{
    requireOpen();
    settle();
    m_prevId = m_currentId;
    m_currentId = 0;
    m_values = QVector<QString>(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        m_values[i] = isDateField(i) ? QString() : QString(QLatin1String(""));
    m_original = m_values;
    m_modified = false;
    m_state = State::Insert;
    emit stateChanged();
    emit currentChanged();
}

void TableCursor::postInsert()
{
    QStringList cols, marks;
    for (const QString &f : m_fields) {
        cols << QStringLiteral("\"%1\"").arg(f);
        marks << QStringLiteral("?");
    }
    QSqlQuery q(TableStore::connection());
    TableStore::check(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(m_sqlTable, cols.join(", "), marks.join(", "))),
                      q);
    for (int i = 0; i < m_values.size(); ++i)
        q.addBindValue(m_values[i].isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(m_values[i]));
    TableStore::check(q.exec(), q);
    m_currentId = q.lastInsertId().toLongLong();
}

void TableCursor::postEdit()
{
    QStringList sets;
    QVector<QVariant> binds;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_values[i] == m_original[i] && m_values[i].isNull() == m_original[i].isNull())
            continue;
        sets << QStringLiteral("\"%1\" = ?").arg(m_fields[i]);
        binds << (m_values[i].isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(m_values[i]));
    }
    if (sets.isEmpty())
        return;
    QSqlQuery q(TableStore::connection());
    TableStore::check(q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE id = ?").arg(m_sqlTable, sets.join(", "))), q);
    for (const QVariant &b : binds)
        q.addBindValue(b);
    q.addBindValue(m_currentId);
    TableStore::check(q.exec(), q);
    if (q.numRowsAffected() != 1)
        throw StoreError(QStringLiteral("Запись не найдена: её удалили, пока она редактировалась"));
}

void TableCursor::Post()
{
    requireOpen();
    if (m_state == State::Browse)
        return;
    // On failure the row stays in editing, so nothing typed is lost.
    if (m_state == State::Insert)
        postInsert();
    else
        postEdit();
    m_state = State::Browse;
    m_row = PackedRow::pack(m_values);
    m_values.clear();
    m_original.clear();
    m_modified = false;
    m_ahead.clear();
    m_eof = false;
    m_bof = false;
    TableStore::bumpGeneration();
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
            m_ahead.clear();
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
    QSqlQuery q(TableStore::connection());
    TableStore::check(q.prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(m_sqlTable)), q);
    q.addBindValue(id);
    TableStore::check(q.exec(), q);
    TableStore::bumpGeneration();
    m_ahead.clear();
    if (fetchFirstFrom(id, true)) {
        m_eof = false;
    } else if (fetchFirstFrom(id, false)) {
        m_eof = true;
    } else {
        clearRow();
    }
    emit rowsChanged();
    emit currentChanged();
}

void TableCursor::Refresh()
{
    requireOpen();
    settle();
    m_ahead.clear();
    if (m_currentId != 0 && rowStillVisible(m_currentId)) {
        loadRow(m_currentId, fetchRow(m_currentId));
    } else if (fetchFirstFrom(0, true)) {
        m_bof = true;
        m_eof = false;
    } else {
        clearRow();
    }
    emit rowsChanged();
    emit currentChanged();
}

// ---------------------------------------------------------------- filter

void TableCursor::SetFilterLines(const QStringList &lines)
{
    m_filterLines = lines;
    if (m_filterActive) {
        m_filterActive = false;
        ActivateFilter();
    }
}

void TableCursor::ActivateFilter()
{
    requireOpen();
    settle();
    // Parse first: a malformed expression leaves everything as it was.
    FilterExpression parsed = FilterExpression::parse(
        m_filterLines, [this](const QString &n) { return fieldIndex(n); },
        [this](int i) { return isDateField(i); });
    m_filter = std::move(parsed);
    m_filterActive = true;
    emit rowsChanged();
    First();
}

void TableCursor::DeactivateFilter()
{
    requireOpen();
    settle();
    if (!m_filterActive)
        return;
    m_filterActive = false;
    keepCurrentOrFirst();
}

void TableCursor::setExtraFilter(const QStringList &lines, bool active)
{
    requireOpen();
    settle();
    FilterExpression parsed = FilterExpression::parse(
        lines, [this](const QString &n) { return fieldIndex(n); }, [this](int i) { return isDateField(i); });
    m_extraLines = lines;
    m_extra = std::move(parsed);
    const bool was = m_extraActive;
    m_extraActive = active;
    if (active) {
        emit rowsChanged();
        First();
    } else if (was) {
        keepCurrentOrFirst();
    }
}

void TableCursor::keepCurrentOrFirst()
{
    m_ahead.clear();
    emit rowsChanged();
    if (m_currentId != 0 && rowStillVisible(m_currentId)) {
        loadRow(m_currentId, fetchRow(m_currentId));
        m_bof = m_eof = false;
        emit currentChanged();
    } else {
        First();
    }
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

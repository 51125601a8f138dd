// TableCursor: the current row's fields, read and set, and the rows a grid
// reads by id, none of which moves the cursor; the store it reads.

#include "store/tablecursor.h"

#include <algorithm>

#include "common/failure.h"
#include "store/filterpreview.h"
#include "store/rawquery.h"

// ---------------------------------------------------------------- fields

QString TableCursor::FieldText(int index) const
{
    m_def.requireIndex(index);
    if (editing())
        return m_editor.text(index);
    return m_def.text(index, currentStored(index));
}

QString TableCursor::storedText(int index) const
{
    const QString text = FieldText(index);   // also checks the index
    if (m_state == State::Insert)
        return {};
    // Editing keeps the row as read beside the edit buffer.
    return m_state == State::Edit ? m_def.text(index, currentStored(index)) : text;
}

QString TableCursor::currentStored(int index) const
{
    if (m_inPlace)
        return m_live->text(index + 1);
    if (m_row.size() != m_def.count())
        return {};
    return m_row.string(index);
}

QByteArrayView TableCursor::FieldBytes(int index) const
{
    m_def.requireIndex(index);
    if (!editing() && m_inPlace)
        return m_live->bytes(index + 1);
    if (editing() || m_row.size() != m_def.count()) {
        // Rare: keep a converted copy alive until the next call.
        m_scratch = FieldText(index).toUtf8();
        return m_scratch;
    }
    return m_row.bytes(index);
}

QString TableCursor::FieldText(const QString &name) const
{
    return FieldText(m_def.requireName(name));
}

void TableCursor::SetFieldText(int index, const QString &text)
{
    requireOpen();
    if (m_state == State::Browse)
        throw StoreError(QStringLiteral("Запись не в режиме редактирования"));
    m_editor.set(index, text);
    emit currentChanged();
}

void TableCursor::SetFieldText(const QString &name, const QString &text)
{
    SetFieldText(m_def.requireName(name), text);
}

void TableCursor::SetFieldDateTime(int index, const QDateTime &when)
{
    if (!when.isValid())
        throw StoreError(QStringLiteral("Неправильная дата"));
    SetFieldText(index, when.date().toString(QStringLiteral("dd.MM.yyyy")));
}

void TableCursor::SetFieldDateTime(const QString &name, const QDateTime &when)
{
    SetFieldDateTime(m_def.requireName(name), when);
}

// ---------------------------------------------------------------- for grids

QVector<qint64> TableCursor::visibleIds(qint64 afterId, int limit) const
{
    requireOpen();
    // A filter just put in force from a preview: its first rows are read.
    if (m_readAhead && afterId == 0 && limit > 0 && m_readAhead->generation() == store().generation()
        && (limit <= m_readAhead->ids().size() || m_readAhead->complete()))
        return m_readAhead->ids().first(std::min<qsizetype>(limit, m_readAhead->ids().size()));
    QVector<QVariant> binds;
    const QString sql = source().idsAfter(afterId, limit, binds);
    RawQuery q(store(), sql, binds);
    QVector<qint64> ids;
    if (limit > 0)
        ids.reserve(limit);
    while (q.next())
        ids.append(q.integer(0));
    return ids;
}

int TableCursor::visibleCount() const
{
    const TableScan::Statement count = visibleCountStatement();
    RawQuery q(store(), count.sql, count.binds);
    return q.next() ? int(q.integer(0)) : 0;
}

TableScan::Statement TableCursor::visibleCountStatement() const
{
    requireOpen();
    TableScan::Statement count;
    count.sql = source().select(QStringLiteral("COUNT(*)"), {}, count.binds);
    return count;
}

PackedRow TableCursor::fetchRow(qint64 id) const
{
    requireOpen();
    RawQuery q(store(), QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(m_selectList, m_sqlTable), {id});
    if (!q.next())
        return {};
    return q.packed(1, m_def.count());
}

QVector<QString> TableCursor::rowById(qint64 id) const
{
    return fetchRow(id).unpack();
}

QVector<QPair<qint64, PackedRow>> TableCursor::rowsByIdRange(qint64 fromId, qint64 toId) const
{
    requireOpen();
    QVector<QVariant> binds{fromId, toId};
    RawQuery q(store(), source().select(m_selectList, {QStringLiteral("id >= ?"), QStringLiteral("id <= ?")}, binds,
                               QStringLiteral("ORDER BY id")),
               binds);
    QVector<QPair<qint64, PackedRow>> rows;
    while (q.next())
        rows.append({q.integer(0), q.packed(1, m_def.count())});
    return rows;
}

// ---------------------------------------------------------------- the store

TableStore &TableCursor::store() const
{
    if (!m_store)
        throw StoreError(QStringLiteral("База данных WE не открыта"));
    return *m_store;
}

void TableCursor::storeClosed()
{
    releaseStatement();
    m_store = nullptr;
}

#include "toolkit/cursormodel.h"

#include <QColor>
#include <QTimer>

#include "common/errorreport.h"
#include "store/tablecursor.h"

CursorModel::CursorModel(TableCursor *cursor, QVector<GridColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), m_cursor(cursor), m_columns(std::move(columns))
{
    connect(m_cursor, &TableCursor::rowsChanged, this, &CursorModel::reload);
    connect(m_cursor, &TableCursor::currentChanged, this, &CursorModel::onCurrentChanged);
    connect(m_cursor, &TableCursor::stateChanged, this, &CursorModel::onCurrentChanged);
    reload();
}

void CursorModel::setEditable(bool on)
{
    if (m_editable == on)
        return;
    m_editable = on;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool CursorModel::showsPendingAppend() const
{
    return m_cursor->isOpen() && m_cursor->state() == TableCursor::State::Insert;
}

void CursorModel::reportLater(const QString &message) const
{
    // One box for a burst of failures (every row of a page, say).
    if (m_reportPending)
        return;
    m_reportPending = true;
    QTimer::singleShot(0, const_cast<CursorModel *>(this), [this, message] {
        m_reportPending = false;
        showErrorReport(message);
    });
}

void CursorModel::reload()
{
    // Whatever the engine says, the reset is ended: a view left inside a
    // reset shows garbage or crashes at its next paint.
    beginResetModel();
    m_pages.clear();
    m_fieldIndex.clear();
    m_ids.clear();
    m_allFetched = true;
    if (m_cursor->isOpen()) {
        for (const GridColumn &c : m_columns)
            m_fieldIndex << m_cursor->fieldIndex(c.field);
        try {
            m_ids = m_cursor->visibleIds(0, Chunk);
            m_allFetched = m_ids.size() < Chunk;
        } catch (const Failure &e) {
            reportLater(e.message());
        }
    }
    m_shownPending = showsPendingAppend() ? 1 : 0;
    endResetModel();
    emit currentRowChanged(currentRow(false));
}

void CursorModel::onCurrentChanged()
{
    const int pending = showsPendingAppend() ? 1 : 0;
    if (pending != m_shownPending) {
        const int row = int(m_ids.size());
        if (pending) {
            beginInsertRows({}, row, row);
            m_shownPending = 1;
            endInsertRows();
        } else {
            beginRemoveRows({}, row, row);
            m_shownPending = 0;
            endRemoveRows();
        }
    }
    const int row = currentRow(false);
    if (row >= 0) {
        // The current row may have been edited through the cursor.
        m_pages.remove(row / Chunk);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
    emit currentRowChanged(row);
}

qint64 CursorModel::idAt(int row) const
{
    return row >= 0 && row < m_ids.size() ? m_ids[row] : 0;
}

int CursorModel::currentRow(bool fetch)
{
    if (!m_cursor->isOpen())
        return -1;
    if (m_shownPending)
        return int(m_ids.size());
    const qint64 id = m_cursor->currentId();
    if (id == 0)
        return -1;
    if (fetch) {
        while ((m_ids.isEmpty() || m_ids.last() < id) && !m_allFetched) {
            // Fetch the rest up to the current row in one go.
            QVector<qint64> more;
            try {
                more = m_cursor->visibleIds(m_ids.isEmpty() ? 0 : m_ids.last(), 0);
            } catch (const Failure &e) {
                m_allFetched = true;   // until the next reload
                reportLater(e.message());
                break;
            }
            if (more.isEmpty()) {
                m_allFetched = true;
                break;
            }
            const int from = int(m_ids.size());
            beginInsertRows({}, from, from + int(more.size()) - 1);
            m_ids += more;
            m_allFetched = true;
            endInsertRows();
        }
    }
    const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), id);
    return it != m_ids.cend() && *it == id ? int(it - m_ids.cbegin()) : -1;
}

void CursorModel::moveCursorTo(int row)
{
    if (row < 0 || row >= m_ids.size())
        return;
    if (m_cursor->currentId() == m_ids[row] && m_cursor->state() == TableCursor::State::Browse)
        return;
    if (!m_cursor->moveToId(m_ids[row]))
        m_cursor->Refresh();   // the row is gone: show what is there now
}

int CursorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size()) + m_shownPending;
}

int CursorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

const PackedRow *CursorModel::rowValues(int row) const
{
    const int page = row / Chunk;
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        if (m_pages.size() > 64)
            m_pages.clear();
        const int first = page * Chunk;
        const int last = std::min<int>(first + Chunk, int(m_ids.size())) - 1;
        QVector<QPair<qint64, PackedRow>> rows;
        try {
            rows = m_cursor->rowsByIdRange(m_ids[first], m_ids[last]);
        } catch (const Failure &e) {
            // Painting must not fail; the rows show empty until the next reload.
            reportLater(e.message());
        }
        it = m_pages.insert(page, rows);
    }
    const qint64 id = m_ids[row];
    const int offset = row % Chunk;
    const auto &rows = it.value();
    if (offset < rows.size() && rows[offset].first == id)
        return &rows[offset].second;
    for (const auto &r : rows)
        if (r.first == id)
            return &r.second;
    return nullptr;
}

QVariant CursorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const int field = m_fieldIndex.value(index.column(), -1);
    if (field < 0)
        return {};
    const int row = index.row();
    const bool pending = m_shownPending && row == m_ids.size();
    const bool editing = !pending && row < m_ids.size() && m_ids[row] == m_cursor->currentId()
                         && m_cursor->state() == TableCursor::State::Edit;
    if (pending || editing)
        return m_cursor->FieldText(field);
    if (row >= m_ids.size())
        return {};
    const PackedRow *values = rowValues(row);
    if (!values || field >= values->size())
        return {};
    return TableCursor::valueText(values->string(field), m_cursor->isDateField(field));
}

QVariant CursorModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section].title;
    if (o == Qt::Horizontal && role == Qt::ForegroundRole)
        return QColor(Qt::blue);
    return QAbstractTableModel::headerData(section, o, role);
}

Qt::ItemFlags CursorModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}

bool CursorModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid())
        return false;
    const int field = m_fieldIndex.value(index.column(), -1);
    if (field < 0)
        return false;
    const int row = index.row();
    return runGuarded([&] {
        const bool pending = m_shownPending && row == m_ids.size();
        if (!pending) {
            moveCursorTo(row);
            if (m_cursor->state() == TableCursor::State::Browse)
                m_cursor->Edit();
        }
        if (m_cursor->FieldText(field) != value.toString())
            m_cursor->SetFieldText(field, value.toString());
    });
}

bool CursorModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_allFetched;
}

void CursorModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_allFetched)
        return;
    QVector<qint64> more;
    if (!runGuarded([&] { more = m_cursor->visibleIds(m_ids.isEmpty() ? 0 : m_ids.last(), Chunk); })) {
        m_allFetched = true;
        return;
    }
    m_allFetched = more.size() < Chunk;
    if (more.isEmpty())
        return;
    const int from = int(m_ids.size());
    beginInsertRows({}, from, from + int(more.size()) - 1);
    m_ids += more;
    endInsertRows();
}

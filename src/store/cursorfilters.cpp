// TableCursor: the filters put in force, at once or from a preview a
// worker read, and the second condition beside the search's.

#include "store/tablecursor.h"

#include <QScopeGuard>

#include <memory>
#include <utility>

#include "store/filterpreview.h"
#include "store/rawquery.h"

// Puts the wanted filters in force and reads the first row under them (or
// keeps the current row when it is still visible). All or nothing: when the
// engine refuses the query, the filters and the current row stay as they were.
void TableCursor::applyFilters(const RowFilter &wanted, bool keepCurrent, const FilterPreview *preview)
{
    lookAfresh();   // as Refresh
    RowFilter was = wanted;
    std::swap(was, m_filters);
    try {
        if (preview && standOnPreview(*preview)) {
            m_readAhead = preview;
        } else if (keepCurrent && m_currentId != 0 && rowStillVisible(m_currentId)) {
            loadRow(m_currentId, fetchRow(m_currentId));
            land(true, false, false);
        } else {
            standFirst();
        }
    } catch (...) {
        m_filters = std::move(was);
        throw;
    }
    const auto readAheadGone = qScopeGuard([this] { m_readAhead = nullptr; });
    emit rowsChanged();
    emit currentChanged();
}

// Stands on the preview's first row, else on none when it found none. False
// when that row is gone since (another program deleted it): a fresh look
// is needed then.
bool TableCursor::standOnPreview(const FilterPreview &preview)
{
    if (preview.ids().isEmpty()) {
        clearRow();
        return true;
    }
    const qint64 first = preview.ids().first();
    const PackedRow row = fetchRow(first);
    if (row.bounds.isEmpty())
        return false;
    loadRow(first, row);
    land(true, true, false);
    return true;
}

std::shared_ptr<FilterPreview> TableCursor::previewFilter(const QStringList &lines, int rows) const
{
    requireOpen();
    RowFilter wanted = m_filters;
    wanted.lines = lines;
    wanted.expression = RowFilter::parse(m_def, lines);
    wanted.active = true;
    QVector<QVariant> binds;
    const QString sql = RowSource(store(), m_def, m_sqlTable, wanted).idsAfter(0, rows, binds);
    return std::make_shared<FilterPreview>(store(), std::move(wanted), sql, std::move(binds), rows, store().generation());
}

bool TableCursor::replaceFilter(const FilterPreview &preview)
{
    requireOpen();
    settle();
    const RowFilter &wanted = preview.filters();
    if (preview.generation() != store().generation() || wanted.extraActive != m_filters.extraActive
        || wanted.extraLines != m_filters.extraLines)
        return false;
    applyFilters(wanted, false, &preview);
    return true;
}

void TableCursor::SetFilterLines(const QStringList &lines)
{
    if (!m_filters.active) {
        m_filters.lines = lines;
        return;
    }
    requireOpen();
    RowFilter wanted = m_filters;
    wanted.lines = lines;
    wanted.expression = RowFilter::parse(m_def, lines);
    settle();
    applyFilters(wanted, false);
}

void TableCursor::ActivateFilter()
{
    requireOpen();
    RowFilter wanted = m_filters;
    wanted.expression = RowFilter::parse(m_def, m_filters.lines);
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
    RowFilter wanted = m_filters;
    wanted.active = false;
    applyFilters(wanted, true);
}

void TableCursor::setExtraFilter(const QStringList &lines, bool active)
{
    requireOpen();
    RowFilter wanted = m_filters;
    wanted.extraLines = lines;
    wanted.extra = RowFilter::parse(m_def, lines);
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
    RawQuery q(store(), source().select(QStringLiteral("1"), {QStringLiteral("id = ?")}, binds), binds);
    return q.next();
}

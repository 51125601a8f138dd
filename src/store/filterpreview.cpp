#include "store/filterpreview.h"

#include <utility>

#include "store/rawquery.h"

FilterPreview::FilterPreview(TableStore &store, RowFilter filters, QString sql, QVector<QVariant> binds, int rows,
                             quint64 generation)
    : m_filters(std::move(filters)), m_sql(std::move(sql)), m_binds(std::move(binds)), m_rows(rows),
      m_generation(generation), m_read(store)
{
}

void FilterPreview::run()
{
    QVector<qint64> ids;
    ids.reserve(m_rows);
    m_read.run(m_sql, m_binds, [&ids](RawQuery &q) {
        while (q.next())
            ids.append(q.integer(0));
    });
    m_ids = std::move(ids);
}

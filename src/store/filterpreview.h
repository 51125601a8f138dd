#pragma once
// The first rows a cursor would show with other filter lines in force, read
// on a connection of its own, so that a worker thread waits for the engine
// (a search over a long journal that the engine sorts for a while) while the
// window thread goes on. Made by TableCursor::previewFilter on the window
// thread, run() once on a worker (on the window thread where !runsApart()),
// then put in force by TableCursor::replaceFilter, again on the window thread.

#include <QString>
#include <QVariant>
#include <QVector>

#include "store/rowfilter.h"
#include "store/tablescan.h"

class FilterPreview
{
public:
    // filters: what the cursor would have in force; sql and binds read the
    // ids of its first rows visible under them, at most rows of them.
    FilterPreview(TableStore &store, RowFilter filters, QString sql, QVector<QVariant> binds, int rows, quint64 generation);
    FilterPreview(const FilterPreview &) = delete;
    FilterPreview &operator=(const FilterPreview &) = delete;

    bool runsApart() const { return m_read.runsApart(); }
    void run();   // throws StoreError

    const RowFilter &filters() const { return m_filters; }
    // The ids read, in stored order.
    const QVector<qint64> &ids() const { return m_ids; }
    // Fewer than were asked for: these are every visible row.
    bool complete() const { return m_ids.size() < m_rows; }
    // The store's generation when the preview was made: a write through the
    // program since then may have changed what it would read.
    quint64 generation() const { return m_generation; }

private:
    RowFilter m_filters;
    QString m_sql;
    QVector<QVariant> m_binds;
    int m_rows;
    quint64 m_generation;
    ApartRead m_read;
    QVector<qint64> m_ids;
};

#pragma once
// A grid model over a TableCursor: the visible rows of the cursor, in stored
// order, under display titles. Row ids are fetched in chunks as the view
// scrolls (canFetchMore/fetchMore) and row values a page at a time, so a
// journal of a million rows opens at once. The row being edited or appended
// through the cursor is shown from the cursor's edit buffer; an appended row
// shows as the last row until it is posted. A read the engine refuses leaves
// the grid empty or as it was and reaches the operator as the error report.

#include <QAbstractTableModel>
#include <QHash>
#include <QVector>

#include "store/packedrow.h"

class TableCursor;

struct GridColumn
{
    QString field;   // field name in the table
    QString title;   // display title
    int width = -1;  // pixels; -1 for the default width
};

class CursorModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Row ids are fetched this many at a time.
    static constexpr int Chunk = 256;

    CursorModel(TableCursor *cursor, QVector<GridColumn> columns, QObject *parent = nullptr);

    TableCursor *cursor() const { return m_cursor; }
    const QVector<GridColumn> &columns() const { return m_columns; }

    void setEditable(bool on);
    bool isEditable() const { return m_editable; }

    // The model row of the cursor's current row (-1 when none). With fetch,
    // fetches ids as far as needed to find it; without, only looks at the
    // ids fetched so far (a hidden grid need not read a million ids).
    int currentRow(bool fetch = true);
    // Moves the cursor to the row shown at `row`.
    void moveCursorTo(int row);
    qint64 idAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // The cursor's current row is now shown at `row` (-1: none).
    void currentRowChanged(int row);

private:
    void reload();
    // A failed read while the view asks for rows: the rows stay as they are
    // (or empty) and the engine's message is shown once the view is done.
    void reportLater(const QString &message) const;
    void onCurrentChanged();
    const PackedRow *rowValues(int row) const;
    bool showsPendingAppend() const;

    TableCursor *m_cursor;
    QVector<GridColumn> m_columns;
    QVector<int> m_fieldIndex;
    bool m_editable = false;
    QVector<qint64> m_ids;
    bool m_allFetched = false;
    int m_shownPending = 0;   // 1 while an appended row is shown as the last row
    mutable QHash<int, QVector<QPair<qint64, PackedRow>>> m_pages;   // page -> rows
    mutable bool m_reportPending = false;
};

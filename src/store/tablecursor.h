#pragma once
// An open view of one table: its own current row, state and filter.
//
// Rows are visited in stored order (the hidden id). A row being edited or
// added is posted before the cursor moves when a field was changed, and
// dropped when none was. Posts reach the disk before Post returns, and other
// cursors see them at their next move.
//
// A forward walk keeps one statement open and reads the current row in place;
// the statement is opened again only when the data changed or the cursor
// moved otherwise. Every operation that fails leaves the cursor as it was.

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

#include "store/packedrow.h"
#include "store/roweditor.h"
#include "store/rowfilter.h"
#include "store/tabledef.h"
#include "store/tablescan.h"
#include "store/tablestore.h"

class FilterPreview;
class RawQuery;

class TableCursor : public QObject, private TableStore::LiveReader
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    // A view of the table of the store.
    TableCursor(TableStore &store, QString tableName, QObject *parent = nullptr);
    ~TableCursor() override;

    const QString &tableName() const { return m_table; }
    // The store it reads. Throws StoreError once that store is closed.
    TableStore &store() const;

    // --- opening
    // Throws StoreError when the table is missing or unreadable, or (one of
    // the program's own tables) its fields differ from the schema's; stays closed then.
    void Open();
    void Close();  // drops an unposted row
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // --- fields (stored order, without the hidden id)
    const QStringList &fieldNames() const { return m_def.names(); }
    const TableDef &definition() const { return m_def; }
    int fieldIndex(const QString &name) const { return m_def.indexOf(name, Qt::CaseInsensitive); }   // -1 when unknown
    bool isDateField(int index) const { return m_def.isDate(index); }

    // --- moving
    void First();
    void Last();
    void Next();
    void Prior();
    bool IsEmpty();            // no visible row
    bool AtEnd() const { return m_eof; }
    bool AtStart() const { return m_bof; }
    // Case ignored: the first row whose field is the text, else the current
    // row when its field begins with it, else the first row that begins with it.
    bool Locate(const QString &field, const QString &prefix);
    bool moveToId(qint64 id);  // false when that row is not visible
    qint64 currentId() const { return m_currentId; } // 0 when there is no current row

    // A walk from the current row to the end (the rows First/Next would
    // visit, filters included) that reads only the given fields, in place:
    // visit gets one UTF-8 view per field, valid during the call. Leaves the
    // cursor past its last row, as the walk would. For long walks where
    // moving row by row costs too much (a million-row journal at start-up).
    void scanToEnd(const QVector<int> &fields, const std::function<void(const QByteArrayView *)> &visit);
    // The same walk read in two parts at once: the `second` fields on a
    // connection of their own on a worker thread, the `first` ones here.
    // Each visit sees every row in order; the two run side by side and must
    // share nothing. A failure of either part stops both and is thrown here
    // once both have stopped. Where no second connection can see what this
    // one sees, one walk here feeds both visits.
    using RowVisit = TableScan::RowVisit;
    void scanToEndSplit(const QVector<int> &first, const RowVisit &visitFirst, const QVector<int> &second,
                        const RowVisit &visitSecond);

    // The distinct texts of a field over the visible rows, each once, ordered
    // by the latest visible row carrying it (most recent last), found by
    // seeking the field's index from one text to the next: a few thousand
    // seeks instead of a walk of every row. With filters in force, each text
    // also steps back over the hidden rows that carry it, so this pays only
    // while few rows are hidden (hiddenCount()). Nothing (nullopt) when the
    // field has no index of its own or holds more than limit distinct texts;
    // callers then walk the rows.
    std::optional<QStringList> distinctByLatest(int field, int limit) const;
    // Its statement over the visible rows up to lastId, to be read elsewhere
    // (TableScan::latestSeek).
    std::optional<TableScan::Statement> latestSeek(int field, int limit, qint64 lastId) const;
    // How many rows the filters in force hide (0 without filters).
    qint64 hiddenCount() const;

    // --- reading and writing the current row
    QString FieldText(int index) const;
    // The field's UTF-8 bytes without a copy, for exact comparisons in long
    // walks; valid until the cursor moves or changes, or any cursor writes.
    // Not for dates.
    QByteArrayView FieldBytes(int index) const;
    QString FieldText(const QString &name) const;
    // The current row's field as read from the table, whatever an edit under
    // way changed; empty while a new row is being added.
    QString storedText(int index) const;
    void SetFieldText(int index, const QString &text);
    void SetFieldText(const QString &name, const QString &text);
    void SetFieldDateTime(int index, const QDateTime &when);
    void SetFieldDateTime(const QString &name, const QDateTime &when);
    bool isModified() const { return editing() && m_editor.isModified(); }

    // Who begins a row's change. While the cursor is audited (the journal
    // page's edit mode), what the grid and the navigator begin is a hand
    // edit; the program's own records (a weighing) are not.
    enum class Origin { Hand, Program };
    void Edit(Origin origin = Origin::Hand);
    void Append(Origin origin = Origin::Hand);
    // A hand edit that the filters no longer show once posted gives way to
    // the nearest visible row (the next one, else the one before, else none):
    // nothing may act on a row the grid does not show.
    void Post();
    // Post of a row in editing that holds only while the stored row still
    // has `text` in `field`, checked by the update itself: another program
    // on the same journal may have changed the row since it was read. When
    // it no longer has, nothing is written, the row stays in editing and
    // RowChangedError is thrown.
    void PostIfStill(int field, const QString &text);
    void Cancel();
    void Delete();             // deletes the current row; the next one becomes current
    void Refresh();            // re-reads the current row and the visible row set
    // Lets the store's open statements go, without moving, so that the next
    // read sees what another program on the same journal stored since.
    void lookAfresh() const;

    // Posts a row in editing/adding when a field changed, drops it otherwise.
    void settle();

    // While audited, every hand edit posted and every row deleted through
    // this cursor writes its trail into BD_audit in the same transaction
    // (store/audittrail.h); when the trail cannot be written the change is not
    // made and Post/Delete throw. Whether a row's change is a hand edit is
    // settled when it begins (Edit, Append).
    void setAudited(bool on) { m_audited = on; }

    // Runs inside the transaction of the next post, once the row is written:
    // the row's id and the fields the post wrote with their texts (every
    // field of a new row, the changed ones of an edit). What it writes is
    // stored with the row, in one commit; when it throws, neither is. Used
    // once: the post, done or failed, lets it go.
    using PostRecorder = RowEditor::Recorder;
    void setPostRecorder(PostRecorder recorder) { m_editor.setRecorder(std::move(recorder)); }
    bool audited() const { return m_audited; }

    // --- filter
    void SetFilterLines(const QStringList &lines);   // re-applies an active filter
    const QStringList &filterLines() const { return m_filters.lines; }
    // Both throw StoreError for a malformed expression or an engine error;
    // the filter, its lines and the current row then stay as they were.
    void ActivateFilter();
    void DeactivateFilter();
    bool filterActive() const { return m_filters.active; }
    // Other filter lines in force, on, with one read of the rows (a search),
    // in two steps: the preview (made here, run by a worker) reads the
    // first `rows` ids the view would show; replaceFilter then stands on
    // them. previewFilter throws StoreError for a malformed expression.
    // replaceFilter settles a row in editing first, and changes nothing and
    // gives false when the preview no longer holds (a write through the
    // program or a change of the second condition since it was made); on an
    // engine error it throws, the filter and the current row as they were.
    std::shared_ptr<FilterPreview> previewFilter(const QStringList &lines, int rows) const;
    bool replaceFilter(const FilterPreview &preview);

    // A second, independent condition that is and-ed with the filter above
    // (the journal page keeps its completed-weighings condition here).
    void setExtraFilter(const QStringList &lines, bool active);
    bool extraFilterActive() const { return m_filters.extraActive; }

    // --- for grids: ids of the visible rows, in stored order, from after
    // the given id (0: from the start), at most limit of them.
    QVector<qint64> visibleIds(qint64 afterId, int limit) const;
    int visibleCount() const;
    // Its statement, to be run on a connection of its own (ApartRead).
    TableScan::Statement visibleCountStatement() const;
    // Stored values (NULL as a null QString); empty when the row is gone.
    QVector<QString> rowById(qint64 id) const;
    // Visible rows with fromId <= id <= toId, in stored order.
    QVector<QPair<qint64, PackedRow>> rowsByIdRange(qint64 fromId, qint64 toId) const;
    // The text a stored value reads as (dates as dd.MM.yyyy).
    static QString valueText(const QString &stored, bool isDate) { return TableDef::valueText(stored, isDate); }

signals:
    // The current row moved or its values changed.
    void currentChanged();
    // The set of visible rows changed (filter, post of a new row, delete).
    void rowsChanged();
    void stateChanged();

private:
    void releaseStatement() override;
    void storeClosed() override;
    void requireOpen() const;
    void requireRow() const;
    RowSource source() const { return RowSource(store(), m_def, m_sqlTable, m_filters); }
    bool editing() const { return m_state == State::Edit || m_state == State::Insert; }
    void applyFilters(const RowFilter &wanted, bool keepCurrent, const FilterPreview *preview = nullptr);
    bool standOnPreview(const FilterPreview &preview);
    void loadRow(qint64 id, const PackedRow &row);
    void clearRow();
    void dropLive();
    void keepRowOnly();
    bool seekForward(qint64 afterId, int batch = 0);
    bool fetchLast(qint64 beforeId);
    // Where a seek leaves the cursor: on the row it found, with these ends
    // set, or on no row when it found none.
    void land(bool found, bool atStart, bool atEnd);
    // Stands on the first visible row (the start), else on none.
    void standFirst() { land(seekForward(0), true, false); }
    // Stands past the last visible row, as a walk ends.
    void standPastEnd() { land(fetchLast(0), false, true); }
    bool rowStillVisible(qint64 id);
    // Stands on the first visible row after id, else the last before it, else on none.
    void standNear(qint64 id);
    void post(const RowEditor::Condition *condition);
    PackedRow fetchRow(qint64 id) const;
    // The stored value of a field of the current row as read, null for NULL.
    QString currentStored(int index) const;

    TableStore *m_store;   // null once that store is closed
    QString m_table;
    QString m_sqlTable;
    TableDef m_def;   // the fields as stored, read by Open()
    QString m_selectList;

    State m_state = State::Inactive;
    qint64 m_currentId = 0;
    qint64 m_prevId = 0;           // the row to return to when an append is cancelled
    PackedRow m_row;               // the current row as read, unless it is read in place
    mutable QByteArray m_scratch;
    RowEditor m_editor;            // the row being edited or added
    bool m_eof = true;
    bool m_bof = true;

    RowFilter m_filters;
    bool m_audited = false;
    // While a preview is put in force: the rows it read, for the first look
    // of the grids bound to this view.
    const FilterPreview *m_readAhead = nullptr;

    // The open forward statement; while m_inPlace, it stands on the current
    // row and the row's fields are read from it.
    std::unique_ptr<RawQuery> m_live;
    quint64 m_liveGeneration = 0;
    int m_liveBatch = 0;   // rows the statement read ahead (0: it reads in place)
    int m_liveLeft = -1;   // rows the statement may still give; -1: all that follow
    bool m_inPlace = false;
};

#pragma once
// The reference lists of the entry form: for each of the thirteen entry
// fields, the texts the journal holds for that field.
//
// A list holds each distinct text once, in the order in which the texts were
// last read, the most recently read last. Texts are compared byte for byte
// (UTF-8): letter case and blanks count, and an empty value is one entry like
// any other. Lists only grow and reorder; nothing is ever removed.
//
// Each list is an ordered set: the texts lie back to back in one buffer, an
// open-addressing hash index finds a text's entry, and an ordered vector of
// slots gives the reading order. Reading a known text again empties its old
// slot and appends a new one; empty slots are squeezed out now and then. So
// a start-up walk over a journal of a million rows costs one probe per field
// read and no allocation per distinct text. A list that is new on nearly
// every row (the waybill numbers) is sized from the journal's length after
// its first rows, and its lookups are fetched from memory a few rows ahead.
//
// At start-up the lists of indexed fields come from their indexes and the
// others from one walk of the rows in two halves at once. Where a worker can
// read on a connection of its own, a first read of a long journal leaves the
// index seeks and the lists new on nearly every row (a million waybill
// numbers, which nobody scrolls through) pending, to be read on the worker
// after the window shows (PendingLists): the seeks first, being short.
//
// No widget in here: the entry form shows the lists through its own models.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/spanwalk.h"
#include "store/tablescan.h"
#include "weighing/journalrecord.h"

class TableCursor;

class ReferenceList
{
public:
    ReferenceList() = default;
    ReferenceList(const ReferenceList &) = delete;
    ReferenceList &operator=(const ReferenceList &) = delete;

    // The text has just been read: it goes to the end of the list, joining
    // the list when it is new. False when that changed nothing (it was last).
    bool take(QByteArrayView utf8)
    {
        return isLast(utf8) ? false : takeHashed(utf8, hashOf(utf8));
    }
    bool take(const QString &text) { return take(QByteArrayView(text.toUtf8())); }

    // The pieces of take(), for a reader that hashes texts some rows ahead
    // and fetches their index lines before use (see ReferenceLists::refresh).
    bool isLast(QByteArrayView utf8) const
    {
        return !m_order.empty() && holds(m_entries[size_t(m_order.back())], utf8);
    }
    static quint32 hashOf(QByteArrayView utf8);
    // An index too large for the processor's caches: looking up a text costs
    // a trip to memory unless its line was fetched ahead.
    bool isLarge() const { return m_table.size() >= (size_t(1) << 15); }
    void prefetch(quint32 hash) const
    {
        if (!m_table.empty())
            __builtin_prefetch(&m_table[hash & (m_table.size() - 1)]);
    }
    // take() of a text that is known not to be the last one, with its hash.
    bool takeHashed(QByteArrayView utf8, quint32 hash);

    // Room for `count` distinct texts without growing the index again.
    void reserve(qsizetype count);
    void swap(ReferenceList &other) noexcept;

    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    bool contains(QByteArrayView utf8) const;

    // Entry `row`, 0 being the least recently read.
    QByteArrayView bytesAt(qsizetype row) const;
    QString textAt(qsizetype row) const;
    QStringList texts() const;

private:
    // 16 bytes: a million-entry list walks through as few cache lines as it can.
    struct Entry
    {
        quint32 offset;     // in m_text
        qint32 length;
        quint32 hash;
        qint32 slot;        // in m_order
    };

    QByteArrayView bytesOf(const Entry &e) const { return QByteArrayView(m_text.data() + e.offset, e.length); }
    bool holds(const Entry &e, QByteArrayView utf8) const
    {
        return e.length == utf8.size() && sameBytes(m_text.data() + e.offset, utf8.data(), size_t(e.length));
    }
    // Most texts are a few words: compared as two overlapping words rather
    // than through a library call for each of millions of lookups.
    static bool sameBytes(const char *a, const char *b, size_t n)
    {
        const auto word8 = [](const char *p) { quint64 w; std::memcpy(&w, p, 8); return w; };
        const auto word4 = [](const char *p) { quint32 w; std::memcpy(&w, p, 4); return w; };
        if (n >= 8 && n <= 16)
            return word8(a) == word8(b) && word8(a + n - 8) == word8(b + n - 8);
        if (n >= 4 && n < 8)
            return word4(a) == word4(b) && word4(a + n - 4) == word4(b + n - 4);
        return std::memcmp(a, b, n) == 0;
    }
    qsizetype find(QByteArrayView utf8, quint32 hash) const;   // entry index, -1 when absent
    void index(qsizetype entry);                               // into m_table
    void rehash(size_t buckets);
    void squeeze() const;

    // Reading may squeeze the slots: that changes the bookkeeping (slot
    // numbers), never the list, hence the mutable members.
    std::string m_text;                     // every text once, back to back
    mutable std::vector<Entry> m_entries;   // in order of first reading
    struct Bucket
    {
        quint32 hash;       // the entry's, so that a probe rarely needs the entry
        qint32 entry;       // entry index + 1; 0 when the bucket is free
    };
    std::vector<Bucket> m_table;            // a power of two, at most half full
    mutable std::vector<qint32> m_order;    // entries in reading order; -1 when read again later
    mutable qsizetype m_holes = 0;
};

using ListArray = std::array<ReferenceList, WeighingRecord::EntryFieldCount>;

// What a start-up left to a worker: lists of indexed fields to be read from
// their indexes, and the fields of the others over the rows up to the last
// one the start-up read. Made by ReferenceLists::refreshLeavingLarge on the
// window thread; read by run() on one worker thread (or by runHere()), then
// joined in by ReferenceLists::complete() on the window thread.
class PendingLists
{
public:
    ~PendingLists();
    const QVector<int> &positions() const { return m_positions; }      // every list left
    const QVector<int> &seekedPositions() const { return m_seeked; }   // those from indexes
    // The seeks, then seeked() (from the worker: the seeked lists are read
    // and the worker touches them no more), then the walk. False when no
    // connection of its own could be had for the walk: nothing walked then.
    // Stops early once stop is set. Throws StoreError.
    bool run(const std::atomic<bool> &stop, const std::function<void()> &seeked);
    // What run() did not read, on the window thread; after a failed run()
    // too, as a second reading in order leaves each text at its latest row.
    void runHere();

private:
    friend class ReferenceLists;
    PendingLists(QVector<int> seeked, QVector<TableScan::Statement> seeks, std::unique_ptr<ApartRead> apart,
                 QVector<int> walked, std::unique_ptr<SpanWalk> walk, qint64 rows);
    void takeSeek(int i, RawQuery &q);
    void walkInto(const std::function<void(const SpanWalk::RowVisit &)> &walk);

    QVector<int> m_positions;
    QVector<int> m_seeked;
    QVector<TableScan::Statement> m_seeks;   // m_seeks[i] reads list m_seeked[i]
    std::unique_ptr<ApartRead> m_apart;
    bool m_seeksRead = false;
    QVector<int> m_walked;
    std::unique_ptr<SpanWalk> m_walk;        // null when nothing is walked
    qint64 m_rows;
    ListArray m_lists;
};

// The thirteen lists, list i (0..12) belonging to journal position i and so
// to entry field ComboBox<i + 1>.
class ReferenceLists
{
public:
    using Changes = std::array<bool, WeighingRecord::EntryFieldCount>;

    ReferenceList &list(int position) { return m_lists[size_t(position)]; }
    const ReferenceList &list(int position) const { return m_lists[size_t(position)]; }


    // The refresh: from the view's current row to its end, takes each row's
    // values, leaving the view past its last row. Reads nothing when the view
    // is empty or already past its end. Throws StoreError from the view.
    Changes refresh(TableCursor &view);
    // The last row the refreshes took (0 before the first): rows after it,
    // whoever stored them, are the next refresh's.
    qint64 takenUpTo() const { return m_takenUpTo; }

    // refresh(), except that a first read of a long journal may leave the
    // lists of indexed fields and of fields new on nearly every row pending:
    // returned is what is still to be read for them, null when no list was
    // left. Meanwhile the pending lists hold only what later refreshes took.
    std::unique_ptr<PendingLists> refreshLeavingLarge(TableCursor &view);
    bool isPending(int position) const { return m_pending[size_t(position)]; }
    // Each of the given lists still pending, as read, becomes its rows as
    // read followed by what the refreshes took since, and is pending no more.
    Changes complete(PendingLists &read, const QVector<int> &positions);

private:
    // Whether refresh() would read the whole journal from its first row
    // unfiltered, for the first time; then the journal's last id.
    qint64 firstWholeRead(TableCursor &view) const;
    // That read: the positions it left pending when allowed to.
    std::unique_ptr<PendingLists> readWhole(TableCursor &view, qint64 lastId, Changes &changed, bool leaveLarge);
    // Of the candidates, the lists a worker can read, taken out of them and
    // left to it; null when none can be (or no worker can read).
    std::unique_ptr<PendingLists> leaveToWorker(TableCursor &view, QVector<int> &candidates, qint64 lastId);
    // Of the candidates, the lists a first read can take from their fields'
    // indexes, taken; their positions, which the walk then leaves out.
    QVector<int> takeFromIndexes(TableCursor &view, Changes &changed, const QVector<int> &candidates);
    // Of the candidates, those new on nearly every one of the latest rows.
    QVector<int> nearlyUnique(TableCursor &view, const QVector<int> &candidates, qint64 lastId) const;
    // Rows fromId .. toId of the given fields into the lists, in two halves at once.
    void walkSpan(TableCursor &view, Changes &changed, const QVector<int> &positions, qint64 fromId, qint64 toId);

    ListArray m_lists;
    std::array<bool, WeighingRecord::EntryFieldCount> m_pending{};
    qint64 m_takenUpTo = 0;
};

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
// No widget in here: the entry form shows the lists through its own models.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <cstring>
#include <string>
#include <vector>

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



private:
    // Of the candidates, the lists a first read can take from their fields'
    // indexes, taken; their positions, which the walk then leaves out.
    QVector<int> takeFromIndexes(TableCursor &view, Changes &changed, const QVector<int> &candidates);

    std::array<ReferenceList, WeighingRecord::EntryFieldCount> m_lists;
    qint64 m_takenUpTo = 0;
};

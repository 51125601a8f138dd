#pragma once
// The reference lists of the entry form: for each of the thirteen entry
// fields, the texts the journal holds for that field.
//
// A list holds each distinct text once, in the order in which the texts were
// last read, the most recently read last. Texts are compared byte for byte
// (UTF-8): letter case and blanks count, and an empty value is one entry like
// any other. Lists only grow and reorder; nothing is ever removed.
//
// Each list is an ordered set: a hash index from the text to its slot in an
// ordered vector. Reading a known text again empties its old slot and appends
// a new one; empty slots are squeezed out now and then. So a start-up walk
// over a journal of a million rows costs one hash lookup per field read.
//
// No widget in here: the entry form shows the lists through its own models.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
    bool take(QByteArrayView utf8);
    bool take(const QString &text) { return take(QByteArrayView(text.toUtf8())); }

    qsizetype size() const { return qsizetype(m_index.size()); }
    bool isEmpty() const { return m_index.empty(); }
    bool contains(QByteArrayView utf8) const;

    // Entry `row`, 0 being the least recently read.
    QByteArrayView bytesAt(qsizetype row) const;
    QString textAt(qsizetype row) const;
    QStringList texts() const;

private:
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept;
    };
    using Index = std::unordered_map<std::string, qsizetype, Hash, std::equal_to<>>;
    using Entry = Index::value_type; // the text and its slot; nodes never move

    void squeeze() const;

    Index m_index;
    mutable std::vector<Entry *> m_order; // slots in reading order; null when read again later
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

    // Takes the thirteen entry-field values of the view's current row.
    Changes takeRow(const TableCursor &view);

    // The refresh: from the view's current row to its end, takes each row's
    // values, leaving the view past its last row. Reads nothing when the view
    // is empty or already past its end. Throws StoreError from the view.
    Changes refresh(TableCursor &view);

private:
    std::array<ReferenceList, WeighingRecord::EntryFieldCount> m_lists;
};

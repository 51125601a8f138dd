#include "weighing/referencelists.h"

#include <functional>
#include <string_view>

#include "store/tablecursor.h"

namespace {

// Murmur-mixed (the standard library's string hash): the bucket is taken from
// the low bits, which must therefore spread well also for runs of numbers.
quint32 hashOf(QByteArrayView utf8)
{
    return quint32(std::hash<std::string_view>{}(std::string_view(utf8.data(), size_t(utf8.size()))));
}

} // namespace

qsizetype ReferenceList::find(QByteArrayView utf8, quint32 hash) const
{
    if (m_table.empty())
        return -1;
    const size_t mask = m_table.size() - 1;
    for (size_t b = hash & mask;; b = (b + 1) & mask) {
        const Bucket &k = m_table[b];
        if (k.entry == 0)
            return -1;
        if (k.hash == hash && holds(m_entries[size_t(k.entry - 1)], utf8))
            return k.entry - 1;
    }
}

void ReferenceList::index(qsizetype entry)
{
    const size_t mask = m_table.size() - 1;
    const quint32 hash = m_entries[size_t(entry)].hash;
    size_t b = hash & mask;
    while (m_table[b].entry != 0)
        b = (b + 1) & mask;
    m_table[b] = Bucket{hash, qint32(entry + 1)};
}

void ReferenceList::grow()
{
    // At most half full, so that probes stay short.
    m_table.assign(m_table.empty() ? 16 : m_table.size() * 2, Bucket{0, 0});
    for (qsizetype i = 0; i < qsizetype(m_entries.size()); ++i)
        index(i);
}

bool ReferenceList::take(QByteArrayView utf8)
{
    // The last slot is never empty: a text read again is appended anew.
    if (!m_order.empty() && holds(m_entries[size_t(m_order.back())], utf8))
        return false;

    const quint32 hash = hashOf(utf8);
    qsizetype entry = find(utf8, hash);
    if (entry < 0) {
        entry = qsizetype(m_entries.size());
        m_entries.push_back(Entry{qsizetype(m_text.size()), qint32(utf8.size()), hash, qsizetype(m_order.size())});
        m_text.append(utf8.data(), size_t(utf8.size()));
        if (m_entries.size() * 2 > m_table.size())
            grow();
        else
            index(entry);
    } else {
        Entry &e = m_entries[size_t(entry)];
        m_order[size_t(e.slot)] = -1;
        ++m_holes;
        e.slot = qsizetype(m_order.size());
    }
    m_order.push_back(qint32(entry));

    // Squeezing once the holes outnumber the entries keeps the vector within
    // twice the list's size at a constant cost per text read.
    if (m_holes > 64 && m_holes > size())
        squeeze();
    return true;
}

void ReferenceList::squeeze() const
{
    if (m_holes == 0)
        return;
    size_t out = 0;
    for (const qint32 e : m_order) {
        if (e < 0)
            continue;
        m_entries[size_t(e)].slot = qsizetype(out);
        m_order[out++] = e;
    }
    m_order.resize(out);
    m_holes = 0;
}

bool ReferenceList::contains(QByteArrayView utf8) const { return find(utf8, hashOf(utf8)) >= 0; }

QByteArrayView ReferenceList::bytesAt(qsizetype row) const
{
    squeeze();
    if (row < 0 || row >= qsizetype(m_order.size()))
        return {};
    return bytesOf(m_entries[size_t(m_order[size_t(row)])]);
}

QString ReferenceList::textAt(qsizetype row) const { return QString::fromUtf8(bytesAt(row)); }

QStringList ReferenceList::texts() const
{
    QStringList out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out << textAt(i);
    return out;
}

ReferenceLists::Changes ReferenceLists::refresh(TableCursor &view)
{
    Changes changed{};
    if (view.IsEmpty() || view.AtEnd())
        return changed;

    // At start-up this reads the whole journal: the store's in-place scan is
    // several times faster than moving the view row by row, and leaves the
    // view past its last row, where the walk would have left it.
    QVector<int> fields(WeighingRecord::EntryFieldCount);
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        fields[p] = p;
    view.scanToEnd(fields, [&](const QByteArrayView *row) {
        for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
            changed[size_t(p)] |= m_lists[size_t(p)].take(row[p]);
    });
    return changed;
}


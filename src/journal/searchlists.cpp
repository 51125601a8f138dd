#include "journal/searchlists.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <cstring>
#include <vector>

#include "store/tablecursor.h"

namespace {

// Distinct texts with the number of the last row that carried each: the
// texts back to back in one buffer, found through an open-addressing index
// (a visit reads six fields of every row of a journal that may hold a
// million, so a probe must cost next to nothing).
class LatestSet
{
public:
    void take(QByteArrayView text, qint64 row)
    {
        // Runs of one value are common (one customer's trucks in a row).
        if (m_last >= 0 && holds(m_entries[size_t(m_last)], text)) {
            m_entries[size_t(m_last)].row = row;
            return;
        }
        const quint32 hash = quint32(std::hash<std::string_view>{}(std::string_view(text.data(), size_t(text.size()))));
        if (m_entries.size() * 2 >= m_table.size())
            grow();
        const size_t mask = m_table.size() - 1;
        size_t b = hash & mask;
        for (;; b = (b + 1) & mask) {
            const Bucket &k = m_table[b];
            if (k.entry == 0)
                break;
            if (k.hash == hash && holds(m_entries[size_t(k.entry - 1)], text)) {
                m_last = k.entry - 1;
                m_entries[size_t(m_last)].row = row;
                return;
            }
        }
        m_last = qint32(m_entries.size());
        m_entries.push_back(Entry{m_text.size(), size_t(text.size()), hash, row});
        m_text.append(text.data(), size_t(text.size()));
        m_table[b] = Bucket{hash, m_last + 1};
    }

    QStringList texts() const
    {
        std::vector<const Entry *> order;
        order.reserve(m_entries.size());
        for (const Entry &e : m_entries)
            order.push_back(&e);
        std::sort(order.begin(), order.end(), [](const Entry *a, const Entry *b) { return a->row < b->row; });
        QStringList out;
        out.reserve(qsizetype(order.size()));
        for (const Entry *e : order)
            out << QString::fromUtf8(m_text.data() + e->offset, qsizetype(e->length));
        return out;
    }

private:
    struct Entry
    {
        size_t offset;
        size_t length;
        quint32 hash;
        qint64 row;
    };
    struct Bucket
    {
        quint32 hash;
        qint32 entry;   // entry index + 1; 0 when free
    };

    bool holds(const Entry &e, QByteArrayView text) const
    {
        return e.length == size_t(text.size())
               && (e.length == 0 || std::memcmp(m_text.data() + e.offset, text.data(), e.length) == 0);
    }

    void grow()
    {
        // At most half full, so that probes stay short.
        m_table.assign(m_table.empty() ? 64 : m_table.size() * 2, Bucket{0, 0});
        const size_t mask = m_table.size() - 1;
        for (size_t i = 0; i < m_entries.size(); ++i) {
            size_t b = m_entries[i].hash & mask;
            while (m_table[b].entry != 0)
                b = (b + 1) & mask;
            m_table[b] = Bucket{m_entries[i].hash, qint32(i + 1)};
        }
    }

    std::string m_text;
    std::vector<Entry> m_entries;
    std::vector<Bucket> m_table;
    qint32 m_last = -1;
};

}

SearchLists readSearchLists(TableCursor &view)
{
    SearchLists lists;
    view.First();
    if (view.IsEmpty())
        return lists;
    // Each list comes from its field's index in a few thousand seeks, unless
    // the filters hide many rows (each seek would step back over them), the
    // field has no index or a great many distinct texts: those fields are
    // read in one walk of the rows.
    constexpr int SeekLimit = 50000;
    const bool seek = view.hiddenCount() <= SeekLimit;
    QVector<int> walked, fields;
    for (int i = 0; i < SearchListCount; ++i) {
        const int field = int(SearchListFields[size_t(i)].field);
        std::optional<QStringList> texts;
        if (seek)
            texts = view.distinctByLatest(field, SeekLimit);
        if (texts) {
            lists[size_t(i)] = std::move(*texts);
        } else {
            walked << i;
            fields << field;
        }
    }
    if (!walked.isEmpty()) {
        std::vector<LatestSet> sets(size_t(walked.size()));
        qint64 row = 0;
        view.scanToEnd(fields, [&](const QByteArrayView *values) {
            for (size_t i = 0; i < sets.size(); ++i)
                sets[i].take(values[i], row);
            ++row;
        });
        for (int i = 0; i < walked.size(); ++i)
            lists[size_t(walked[i])] = sets[size_t(i)].texts();
    }
    view.First();
    return lists;
}

#include "common/latesttexts.h"

#include <algorithm>
#include <cstring>
#include <string_view>

void LatestTexts::take(QByteArrayView text, qint64 row)
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

std::vector<QByteArrayView> LatestTexts::byLatest() const
{
    std::vector<const Entry *> order;
    order.reserve(m_entries.size());
    for (const Entry &e : m_entries)
        order.push_back(&e);
    std::sort(order.begin(), order.end(), [](const Entry *a, const Entry *b) { return a->row < b->row; });
    std::vector<QByteArrayView> out;
    out.reserve(order.size());
    for (const Entry *e : order)
        out.emplace_back(m_text.data() + e->offset, qsizetype(e->length));
    return out;
}

QStringList LatestTexts::texts() const
{
    QStringList out;
    out.reserve(size());
    for (const QByteArrayView t : byLatest())
        out << QString::fromUtf8(t);
    return out;
}

bool LatestTexts::holds(const Entry &e, QByteArrayView text) const
{
    return e.length == size_t(text.size())
           && (e.length == 0 || std::memcmp(m_text.data() + e.offset, text.data(), e.length) == 0);
}

void LatestTexts::grow()
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

#include "weighing/referencelists.h"

#include <stdexcept>

// One list of texts: an ordered set with its text buffer, hash index and
// reading order (see referencelists.h).

namespace {

quint64 load8(const char *p)
{
    quint64 w;
    std::memcpy(&w, p, 8);
    return w;
}

quint32 load4(const char *p)
{
    quint32 w;
    std::memcpy(&w, p, 4);
    return w;
}

// One 64 x 64 -> 128 bit multiply folded to 64 bits: mixes every input bit
// into the low bits the bucket is taken from.
quint64 mix(quint64 a, quint64 b)
{
    const unsigned __int128 m = static_cast<unsigned __int128>(a) * b;
    return quint64(m) ^ quint64(m >> 64);
}

} // namespace

// Texts of the lists are short (a truck number, a name): up to 16 bytes are
// read as two overlapping words and mixed once, longer ones 16 bytes a step.
quint32 ReferenceList::hashOf(QByteArrayView utf8)
{
    constexpr quint64 K0 = 0xa0761d6478bd642full, K1 = 0xe7037ed1a0b428dbull, K2 = 0x8ebc6af09c88c6e3ull;
    const char *p = utf8.data();
    const size_t n = size_t(utf8.size());
    quint64 seed = K2 ^ n;
    quint64 a, b;
    if (n <= 16) {
        if (n >= 8) {
            a = load8(p);
            b = load8(p + n - 8);
        } else if (n >= 4) {
            a = load4(p);
            b = load4(p + n - 4);
        } else if (n > 0) {
            a = (quint64(quint8(p[0])) << 16) | (quint64(quint8(p[n >> 1])) << 8) | quint8(p[n - 1]);
            b = 0;
        } else {
            a = b = 0;
        }
    } else {
        size_t i = 0;
        for (; i + 16 < n; i += 16)
            seed = mix(load8(p + i) ^ K0, load8(p + i + 8) ^ seed);
        a = load8(p + n - 16);
        b = load8(p + n - 8);
    }
    return quint32(mix(a ^ K0, b ^ seed ^ K1) ^ seed);
}

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

void ReferenceList::rehash(size_t buckets)
{
    m_table.assign(buckets, Bucket{0, 0});
    for (qsizetype i = 0; i < qsizetype(m_entries.size()); ++i)
        index(i);
}

void ReferenceList::reserve(qsizetype count)
{
    // At most half full, so that probes stay short.
    size_t buckets = 16;
    while (buckets < size_t(count) * 2)
        buckets *= 2;
    if (buckets > m_table.size())
        rehash(buckets);
    m_entries.reserve(size_t(count));
    m_order.reserve(size_t(count));
    if (!m_entries.empty())
        m_text.reserve(m_text.size() / m_entries.size() * size_t(count) + m_text.size());
}

void ReferenceList::swap(ReferenceList &other) noexcept
{
    m_text.swap(other.m_text);
    m_entries.swap(other.m_entries);
    m_table.swap(other.m_table);
    m_order.swap(other.m_order);
    std::swap(m_holes, other.m_holes);
}

bool ReferenceList::takeHashed(QByteArrayView utf8, quint32 hash)
{
    qsizetype entry = find(utf8, hash);
    if (entry < 0) {
        if (m_text.size() + size_t(utf8.size()) > std::numeric_limits<quint32>::max())
            throw std::length_error("reference list text over 4 GB");
        entry = qsizetype(m_entries.size());
        m_entries.push_back(Entry{quint32(m_text.size()), qint32(utf8.size()), hash, qint32(m_order.size())});
        m_text.append(utf8.data(), size_t(utf8.size()));
        if (m_entries.size() * 2 > m_table.size())
            rehash(m_table.empty() ? 16 : m_table.size() * 2);
        else
            index(entry);
    } else {
        Entry &e = m_entries[size_t(entry)];
        // The last slot is never empty: a text read again is appended anew.
        if (size_t(e.slot) + 1 == m_order.size())
            return false;
        m_order[size_t(e.slot)] = -1;
        ++m_holes;
        e.slot = qint32(m_order.size());
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
        m_entries[size_t(e)].slot = qint32(out);
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

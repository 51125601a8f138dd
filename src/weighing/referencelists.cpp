#include "weighing/referencelists.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "store/tablecursor.h"
#include "store/tablestore.h"

namespace {

// Rows read before the lists judge whether they are near-unique.
constexpr qint64 SampleRows = 1024;

// Roughly how many rows the view has from its current row to its end: the
// ids ascend in stored order, so the last id bounds it. Only a size hint
// (a filter may leave fewer rows); 0 when it cannot be told.
qint64 rowsAheadOf(const TableCursor &view)
{
    QSqlQuery q(TableStore::connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT max(id) FROM \"%1\"").arg(TableStore::sqlName(view.tableName())))
        || !q.next())
        return 0;
    return std::max<qint64>(0, q.value(0).toLongLong() - view.currentId() + 1);
}

} // namespace

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

ReferenceLists::Changes ReferenceLists::refresh(TableCursor &view)
{
    Changes changed{};
    if (view.IsEmpty() || view.AtEnd())
        return changed;

    // A large list (the waybill numbers, new on nearly every row) would wait
    // for memory on every lookup. Its texts are copied aside with their
    // hashes while their index lines are fetched, and taken a batch of rows
    // later, in the order read. The lists are independent of one another, so
    // only each list's own order matters.
    struct Staged
    {
        int list;
        quint32 offset; // in stage
        qint32 length;
        quint32 hash;
    };
    constexpr int BatchRows = 32;
    std::string stage;
    std::vector<Staged> staged;
    int stagedRows = 0;
    const auto takeStaged = [&] {
        for (const Staged &s : staged) {
            ReferenceList &list = m_lists[size_t(s.list)];
            const QByteArrayView text(stage.data() + s.offset, s.length);
            if (!list.isLast(text))
                changed[size_t(s.list)] |= list.takeHashed(text, s.hash);
        }
        staged.clear();
        stage.clear();
        stagedRows = 0;
    };

    // At start-up this reads the whole journal: the store's in-place scan is
    // several times faster than moving the view row by row, and leaves the
    // view past its last row, where the walk would have left it.
    const qint64 ahead = rowsAheadOf(view);
    QVector<int> fields(WeighingRecord::EntryFieldCount);
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        fields[p] = p;
    qint64 read = 0;
    try {
        view.scanToEnd(fields, [&](const QByteArrayView *row) {
            for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p) {
                ReferenceList &list = m_lists[size_t(p)];
                if (!list.isLarge()) {
                    changed[size_t(p)] |= list.take(row[p]);
                    continue;
                }
                const quint32 hash = ReferenceList::hashOf(row[p]);
                list.prefetch(hash);
                staged.push_back(Staged{p, quint32(stage.size()), qint32(row[p].size()), hash});
                stage.append(row[p].data(), size_t(row[p].size()));
            }
            if (!staged.empty() && ++stagedRows == BatchRows)
                takeStaged();

            if (++read != SampleRows || ahead < 4 * SampleRows)
                return;
            // A list to which nearly every row brought a new text (a number
            // unique to each weighing) is sized for the rest at once, instead
            // of growing its index a dozen times on the way.
            for (ReferenceList &list : m_lists)
                if (list.size() * 16 >= read * 15)
                    list.reserve(list.size() + ahead);
        });
    } catch (...) {
        takeStaged();   // the rows read before the failure count, as they always have
        throw;
    }
    takeStaged();
    return changed;
}

#include "weighing/referencelists.h"

#include <functional>
#include <string_view>

#include <QSqlDriver>
#include <QVariant>
#include <sqlite3.h>

#include "store/failure.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"

namespace {

// Murmur-mixed (the standard library's string hash): the bucket is taken from
// the low bits, which must therefore spread well also for runs of numbers.
quint32 hashOf(QByteArrayView utf8)
{
    return quint32(std::hash<std::string_view>{}(std::string_view(utf8.data(), size_t(utf8.size()))));
}

// The rows of a table from a given id on, in stored order, with the texts of
// the chosen columns read in place from the engine: no copy and no
// allocation per row. The start-up fill of a million-row journal spends most
// of its time here, and the copies of the general row reader (RawQuery) would
// cost it a third more.
class RowScan
{
public:
    RowScan(const QString &table, const QStringList &columns, qint64 fromId)
    {
        const QVariant h = TableStore::connection().driver()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            m_db = *static_cast<sqlite3 *const *>(h.data());
        if (!m_db)
            throw StoreError(QStringLiteral("Нет соединения с базой данных"));
        QStringList quoted;
        for (const QString &c : columns)
            quoted << QStringLiteral("\"%1\"").arg(c);
        const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 WHERE id >= ? ORDER BY id")
                                   .arg(quoted.join(QStringLiteral(", ")), TableStore::sqlName(table))
                                   .toUtf8();
        if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK
            || sqlite3_bind_int64(m_stmt, 1, fromId) != SQLITE_OK)
            fail();
    }
    ~RowScan() { sqlite3_finalize(m_stmt); }
    RowScan(const RowScan &) = delete;
    RowScan &operator=(const RowScan &) = delete;

    bool next()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail();
        return false;
    }
    // Valid until the next call of next(). NULL reads as empty.
    QByteArrayView bytes(int column) const
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
    }

private:
    [[noreturn]] void fail() const { throw StoreError(QString::fromUtf8(sqlite3_errmsg(m_db))); }

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

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

ReferenceLists::Changes ReferenceLists::takeRow(const TableCursor &view)
{
    Changes changed{};
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        changed[size_t(p)] = m_lists[size_t(p)].take(view.FieldBytes(p));
    return changed;
}

ReferenceLists::Changes ReferenceLists::refresh(TableCursor &view)
{
    Changes changed{};
    if (view.IsEmpty() || view.AtEnd())
        return changed;

    // A view with no filter, browsing, visits the rows in stored (id) order
    // from its current row on. At start-up that is the whole journal; those
    // rows are read straight from the engine, which is several times faster
    // than moving the view row by row, and the view is then put past its
    // last row, where the walk would have left it.
    const bool plain = view.state() == TableCursor::State::Browse && !view.filterActive()
                       && !view.extraFilterActive() && view.fieldNames().size() >= WeighingRecord::EntryFieldCount;
    if (plain && view.currentId() > 0) {
        RowScan rows(view.tableName(), view.fieldNames().mid(0, WeighingRecord::EntryFieldCount), view.currentId());
        while (rows.next()) {
            for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
                changed[size_t(p)] |= m_lists[size_t(p)].take(rows.bytes(p));
        }
        view.Last();
        return changed;
    }

    while (!view.AtEnd()) {
        const Changes row = takeRow(view);
        for (size_t p = 0; p < changed.size(); ++p)
            changed[p] |= row[p];
        view.Next();
    }
    return changed;
}

#include "weighing/referencelists.h"

#include <QVariant>

#include <algorithm>
#include <exception>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <thread>

#include "common/failure.h"
#include "common/latesttexts.h"
#include "store/rawquery.h"
#include "store/spanwalk.h"
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
    try {
        RawQuery q(view.store(), QStringLiteral("SELECT max(id) FROM \"%1\"").arg(TableStore::sqlName(view.tableName())), {});
        if (!q.next())
            return 0;
        return std::max<qint64>(0, q.integer(0) - view.currentId() + 1);
    } catch (const StoreError &) {
        return 0;
    }
}

} // namespace

namespace {

// One walk's worth of lists: takes the given positions of each row into
// their lists. Two of these may run at once on separate threads, so each
// touches only its own lists and its own slots of `changed`.
class ListFiller
{
public:
    ListFiller(ListArray &lists, ReferenceLists::Changes &changed,
               QVector<int> positions, qint64 ahead)
        : m_lists(lists), m_changed(changed), m_positions(std::move(positions)), m_ahead(ahead)
    {
    }

    const QVector<int> &positions() const { return m_positions; }

    // values[i] belongs to positions()[i].
    void take(const QByteArrayView *values)
    {
        for (int i = 0; i < m_positions.size(); ++i) {
            const int p = m_positions[i];
            ReferenceList &list = m_lists[size_t(p)];
            if (!list.isLarge()) {
                m_changed[size_t(p)] |= list.take(values[i]);
                continue;
            }
            const quint32 hash = ReferenceList::hashOf(values[i]);
            list.prefetch(hash);
            m_staged.push_back(Staged{p, quint32(m_stage.size()), qint32(values[i].size()), hash});
            m_stage.append(values[i].data(), size_t(values[i].size()));
        }
        if (!m_staged.empty() && ++m_stagedRows == BatchRows)
            takeStaged();

        if (++m_read != SampleRows || m_ahead < 4 * SampleRows)
            return;
        // A list to which nearly every row brought a new text (a number
        // unique to each weighing) is sized for the rest at once, instead
        // of growing its index a dozen times on the way.
        for (const int p : m_positions) {
            ReferenceList &list = m_lists[size_t(p)];
            if (list.size() * 16 >= m_read * 15)
                list.reserve(list.size() + m_ahead);
        }
    }

    // The rows read so far, the staged ones included, are in their lists.
    void takeStaged()
    {
        for (const Staged &s : m_staged) {
            ReferenceList &list = m_lists[size_t(s.list)];
            const QByteArrayView text(m_stage.data() + s.offset, s.length);
            if (!list.isLast(text))
                m_changed[size_t(s.list)] |= list.takeHashed(text, s.hash);
        }
        m_staged.clear();
        m_stage.clear();
        m_stagedRows = 0;
    }

private:
    // A large list (the waybill numbers, new on nearly every row) would wait
    // for memory on every lookup. Its texts are copied aside with their
    // hashes while their index lines are fetched, and taken a batch of rows
    // later, in the order read. The lists are independent of one another, so
    // only each list's own order matters.
    struct Staged
    {
        int list;
        quint32 offset; // in m_stage
        qint32 length;
        quint32 hash;
    };
    static constexpr int BatchRows = 32;

    ListArray &m_lists;
    ReferenceLists::Changes &m_changed;
    const QVector<int> m_positions;
    const qint64 m_ahead;
    std::string m_stage;
    std::vector<Staged> m_staged;
    int m_stagedRows = 0;
    qint64 m_read = 0;
};

// A field with more distinct texts than this is read in the walk: beyond it
// the seeks cost more than the walk saves.
constexpr int SeekLimit = 50000;

// Below this many rows a second walk costs more than it saves, and no list
// is worth leaving to a worker.
constexpr qint64 SplitRows = 8 * SampleRows;

QStringList namesOf(const TableCursor &view, const QVector<int> &positions)
{
    QStringList names;
    for (const int p : positions)
        names << view.fieldNames().value(p);
    return names;
}

qint64 lastIdOf(const TableCursor &view)
{
    RawQuery q(view.store(), QStringLiteral("SELECT max(id) FROM \"%1\"").arg(TableStore::sqlName(view.tableName())), {});
    return q.next() ? q.integer(0) : 0;
}

// On a worker a seek of many texts costs only time: no limit there.
constexpr int WorkerSeekLimit = std::numeric_limits<int>::max() / 2;

} // namespace

PendingLists::PendingLists(QVector<int> seeked, QVector<TableScan::Statement> seeks, std::unique_ptr<ApartRead> apart,
                           QVector<int> walked, std::unique_ptr<SpanWalk> walk, qint64 rows)
    : m_positions(seeked + walked), m_seeked(std::move(seeked)), m_seeks(std::move(seeks)), m_apart(std::move(apart)),
      m_walked(std::move(walked)), m_walk(std::move(walk)), m_rows(rows)
{
}

PendingLists::~PendingLists() = default;

void PendingLists::takeSeek(int i, RawQuery &q)
{
    ReferenceList &list = m_lists[size_t(m_seeked[i])];
    for (const QString &t : TableScan::latestTexts(q, WorkerSeekLimit).value_or(QStringList()))
        list.take(t);
}

void PendingLists::walkInto(const std::function<void(const SpanWalk::RowVisit &)> &walk)
{
    ReferenceLists::Changes changed{};
    ListFiller filler(m_lists, changed, m_walked, m_rows);
    try {
        walk([&](const QByteArrayView *row) { filler.take(row); });
    } catch (...) {
        filler.takeStaged();
        throw;
    }
    filler.takeStaged();
}

bool PendingLists::run(const std::atomic<bool> &stop, const std::function<void()> &seeked)
{
    m_apart->runEach(m_seeks, [this](int i, RawQuery &q) { takeSeek(i, q); }, &stop);
    if (stop)
        return true;
    m_seeksRead = true;
    seeked();
    bool ran = true;
    if (m_walk)
        walkInto([&](const SpanWalk::RowVisit &visit) { ran = m_walk->run(visit, stop); });
    return ran;
}

void PendingLists::runHere()
{
    // Seeks that failed part-way are read again whole: each text taken
    // again in order ends where one reading leaves it.
    if (!m_seeksRead) {
        for (int i = 0; i < m_seeks.size(); ++i) {
            RawQuery q(m_apart->store(), m_seeks[i].sql, m_seeks[i].binds);
            takeSeek(i, q);
        }
        m_seeksRead = true;
    }
    if (m_walk)
        walkInto([this](const SpanWalk::RowVisit &visit) { m_walk->runHere(visit); });
}

namespace {

// Whether the field is NULL in some row: the walk reads that as the empty
// text, which the index walk skips. Asked only of an indexed field, where it
// is a seek; a failure counts as a NULL found.
bool holdsNull(TableCursor &view, int p)
{
    try {
        RawQuery nulls(view.store(), QStringLiteral("SELECT 1 FROM \"%1\" WHERE \"%2\" IS NULL LIMIT 1")
                           .arg(TableStore::sqlName(view.tableName()), view.fieldNames().value(p)),
                       {});
        return nulls.next();
    } catch (const StoreError &) {
        return true;
    }
}

} // namespace

QVector<int> ReferenceLists::takeFromIndexes(TableCursor &view, Changes &changed, const QVector<int> &candidates)
{
    // A field's distinct texts by their latest row are exactly what the walk
    // would leave, and a field with an index gives them in a few thousand
    // seeks instead of a value decoded from every row. A field holding a
    // NULL is left to the walk.
    QVector<int> seeked;
    for (const int p : candidates) {
        ReferenceList &list = m_lists[size_t(p)];
        if (!list.isEmpty())
            continue;
        const std::optional<QStringList> texts = view.distinctByLatest(p, SeekLimit);
        if (!texts || holdsNull(view, p))
            continue;
        for (const QString &t : *texts)
            changed[size_t(p)] |= list.take(t);
        seeked << p;
    }
    return seeked;
}

std::unique_ptr<PendingLists> ReferenceLists::leaveToWorker(TableCursor &view, QVector<int> &candidates,
                                                            qint64 lastId)
{
    auto apart = std::make_unique<ApartRead>(view.store());
    if (!apart->runsApart())
        return nullptr;
    // The lists new on nearly every row are walked; of the others, those of
    // indexed fields are seeked (a NULL, which the seeks skip, leaves a field
    // to the walk too); the rest are read now.
    QVector<int> walked = nearlyUnique(view, candidates, lastId);
    QVector<int> seeked;
    QVector<TableScan::Statement> seeks;
    for (const int p : candidates) {
        if (walked.contains(p))
            continue;
        std::optional<TableScan::Statement> seek = view.latestSeek(p, WorkerSeekLimit, lastId);
        if (!seek)
            continue;
        if (holdsNull(view, p)) {
            walked << p;
            continue;
        }
        seeked << p;
        seeks << *seek;
    }
    if (seeked.isEmpty() && walked.isEmpty())
        return nullptr;
    candidates.removeIf([&](int p) { return seeked.contains(p) || walked.contains(p); });
    const qint64 firstId = view.currentId();
    std::unique_ptr<SpanWalk> walk;
    if (!walked.isEmpty())
        walk = std::make_unique<SpanWalk>(view.store(), view.tableName(), namesOf(view, walked), firstId, lastId);
    return std::unique_ptr<PendingLists>(new PendingLists(std::move(seeked), std::move(seeks), std::move(apart),
                                                          std::move(walked), std::move(walk), lastId - firstId + 1));
}

QVector<int> ReferenceLists::nearlyUnique(TableCursor &view, const QVector<int> &candidates, qint64 lastId) const
{
    QVector<int> found;
    if (candidates.isEmpty())
        return found;
    QStringList columns;
    for (const QString &name : namesOf(view, candidates))
        columns << QStringLiteral("\"%1\"").arg(name);
    RawQuery q(view.store(), QStringLiteral("SELECT %1 FROM \"%2\" WHERE id <= ? ORDER BY id DESC LIMIT %3")
                   .arg(columns.join(QStringLiteral(", ")), TableStore::sqlName(view.tableName()))
                   .arg(SampleRows),
               {lastId});
    std::vector<ReferenceList> seen(size_t(candidates.size()));
    qint64 rows = 0;
    while (q.next()) {
        ++rows;
        for (int i = 0; i < candidates.size(); ++i)
            seen[size_t(i)].take(q.bytes(i));
    }
    for (int i = 0; i < candidates.size(); ++i)
        if (rows == SampleRows && seen[size_t(i)].size() * 16 >= rows * 15)
            found << candidates[i];
    return found;
}

void ReferenceLists::walkSpan(TableCursor &view, Changes &changed, const QVector<int> &positions, qint64 fromId,
                              qint64 toId)
{
    if (positions.isEmpty())
        return;
    const QStringList names = namesOf(view, positions);
    // Each half notes the latest row of each text in sets of its own. The
    // earlier half's texts by their latest row, then the later half's, taken
    // into the lists in that order, leave every text where one walk of all
    // the rows would.
    const qint64 middle = fromId + (toId - fromId) / 2;
    SpanWalk earlier(view.store(), view.tableName(), names, fromId, middle);
    SpanWalk later(view.store(), view.tableName(), names, middle + 1, toId);
    using Sets = std::vector<LatestTexts>;
    Sets early(size_t(positions.size())), late(size_t(positions.size()));
    const auto into = [](Sets &sets) {
        return [&sets, row = qint64(0)](const QByteArrayView *values) mutable {
            for (size_t i = 0; i < sets.size(); ++i)
                sets[i].take(values[i], row);
            ++row;
        };
    };
    // The rows read count, also those read before a failure.
    const auto feed = [&] {
        for (int i = 0; i < positions.size(); ++i) {
            ReferenceList &list = m_lists[size_t(positions[i])];
            for (const Sets *sets : {&early, &late})
                for (const QByteArrayView text : (*sets)[size_t(i)].byLatest())
                    changed[size_t(positions[i])] |= list.take(text);
        }
    };

    std::atomic<bool> stop{false};
    bool ranThere = false;
    std::exception_ptr failure;
    std::thread worker;
    if (toId - fromId >= SplitRows && later.mayRunElsewhere())
        worker = std::thread([&] {
            try {
                ranThere = later.run(into(late), stop);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    try {
        earlier.runHere(into(early));
    } catch (...) {
        stop = true;
        if (worker.joinable())
            worker.join();
        feed();
        throw;
    }
    if (worker.joinable())
        worker.join();
    try {
        if (failure)
            std::rethrow_exception(failure);
        if (!ranThere)
            later.runHere(into(late));   // no second reader: here, after the earlier rows
    } catch (...) {
        feed();
        throw;
    }
    feed();
}

qint64 ReferenceLists::firstWholeRead(TableCursor &view) const
{
    if (m_takenUpTo != 0 || view.filterActive() || view.extraFilterActive()
        || view.currentId() != view.visibleIds(0, 1).value(0))
        return 0;
    const qint64 last = lastIdOf(view);
    return last - view.currentId() + 1 >= SplitRows ? last : 0;
}

std::unique_ptr<PendingLists> ReferenceLists::readWhole(TableCursor &view, qint64 lastId, Changes &changed,
                                                        bool leaveLarge)
{
    const qint64 firstId = view.currentId();
    QVector<int> walked(WeighingRecord::EntryFieldCount);
    std::iota(walked.begin(), walked.end(), 0);
    std::unique_ptr<PendingLists> pending = leaveLarge ? leaveToWorker(view, walked, lastId) : nullptr;
    // Where no worker can read, every list is read now.
    if (!pending) {
        const QVector<int> seeked = takeFromIndexes(view, changed, walked);
        walked.removeIf([&seeked](int p) { return seeked.contains(p); });
    }
    walkSpan(view, changed, walked, firstId, lastId);
    m_takenUpTo = lastId;
    if (pending)
        for (const int p : pending->positions())
            m_pending[size_t(p)] = true;
    // Where a walk ends: past the last row.
    view.Last();
    view.Next();
    return pending;
}

std::unique_ptr<PendingLists> ReferenceLists::refreshLeavingLarge(TableCursor &view)
{
    Changes changed{};
    if (view.IsEmpty() || view.AtEnd())
        return nullptr;
    if (const qint64 last = firstWholeRead(view))
        return readWhole(view, last, changed, true);
    refresh(view);
    return nullptr;
}

ReferenceLists::Changes ReferenceLists::complete(PendingLists &read, const QVector<int> &positions)
{
    Changes changed{};
    for (const int p : positions) {
        if (!m_pending[size_t(p)])
            continue;
        ReferenceList &list = m_lists[size_t(p)];
        ReferenceList &older = read.m_lists[size_t(p)];
        for (qsizetype i = 0; i < list.size(); ++i)
            older.take(list.bytesAt(i));
        list.swap(older);
        m_pending[size_t(p)] = false;
        changed[size_t(p)] = true;
    }
    return changed;
}

ReferenceLists::Changes ReferenceLists::refresh(TableCursor &view)
{
    Changes changed{};
    if (view.IsEmpty() || view.AtEnd())
        return changed;
    if (const qint64 last = firstWholeRead(view)) {
        readWhole(view, last, changed, false);
        return changed;
    }

    // A later read (the rows others stored since, a filtered view): through
    // the view, and for a long one in two parts at once, by fields.
    const qint64 ahead = rowsAheadOf(view);
    QVector<int> all(WeighingRecord::EntryFieldCount);
    std::iota(all.begin(), all.end(), 0);
    if (ahead < SplitRows) {
        ListFiller filler(m_lists, changed, all, ahead);
        try {
            view.scanToEnd(filler.positions(), [&](const QByteArrayView *row) { filler.take(row); });
        } catch (...) {
            filler.takeStaged();   // the rows read before the failure count, as they always have
            throw;
        }
        filler.takeStaged();
        m_takenUpTo = std::max(m_takenUpTo, view.currentId());
        return changed;
    }
    using namespace WeighingRecord;
    ListFiller here(m_lists, changed, {N_List, N_Avto, Marcka, FIO, AvtoPr}, ahead);
    ListFiller there(m_lists, changed, {Zakazchik, Gruz_otprav, Gruz_poluch, Punkt, Tovar, Forma, N_pricepa, Punkt_zagruz},
                     ahead);
    try {
        view.scanToEndSplit(
            here.positions(), [&](const QByteArrayView *row) { here.take(row); }, there.positions(),
            [&](const QByteArrayView *row) { there.take(row); });
    } catch (...) {
        here.takeStaged();
        there.takeStaged();
        throw;
    }
    here.takeStaged();
    there.takeStaged();
    m_takenUpTo = std::max(m_takenUpTo, view.currentId());
    return changed;
}

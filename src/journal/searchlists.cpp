#include "journal/searchlists.h"

#include <vector>

#include "common/latesttexts.h"
#include "store/rawquery.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"

namespace {

// Each list comes from its field's index in a few thousand seeks, unless the
// filters hide many rows (each seek would step back over them), the field has
// no index or a great many distinct texts: those fields are read in one walk
// of the rows.
constexpr int SeekLimit = 50000;

} // namespace

SearchListsRead::SearchListsRead(TableCursor &view, int seekLimit)
    : m_generation(view.store().generation()), m_limit(seekLimit),
      m_apart(std::make_unique<ApartRead>(view.store()))
{
    m_state.fill(State::Unread);
    if (view.IsEmpty()) {
        m_state.fill(State::Read);
        return;
    }
    if (view.hiddenCount() > SeekLimit)
        return;
    for (int i = 0; i < SearchListCount; ++i) {
        std::optional<TableScan::Statement> seek = view.latestSeek(int(SearchListFields[size_t(i)].field), m_limit, 0);
        if (!seek)
            continue;
        m_state[size_t(i)] = State::Seek;
        m_seeked << i;
        m_seeks << std::move(*seek);
    }
}

SearchListsRead::~SearchListsRead() = default;

bool SearchListsRead::runsApart() const { return m_apart->runsApart(); }

void SearchListsRead::run(const std::atomic<bool> &stop, const std::function<void(int, const QStringList &)> &read)
{
    m_apart->runEach(
        m_seeks,
        [&](int s, RawQuery &q) {
            const int i = m_seeked[s];
            std::optional<QStringList> texts = TableScan::latestTexts(q, m_limit);
            if (!texts) {
                m_state[size_t(i)] = State::Unread;   // too many texts: the walk reads them
                return;
            }
            m_lists[size_t(i)] = std::move(*texts);
            m_state[size_t(i)] = State::Read;
            if (read)
                read(i, m_lists[size_t(i)]);
        },
        &stop);
}

void SearchListsRead::walkUnread(TableCursor &view)
{
    QVector<int> walked, fields;
    for (int i = 0; i < SearchListCount; ++i)
        if (m_state[size_t(i)] == State::Unread) {
            walked << i;
            fields << int(SearchListFields[size_t(i)].field);
        }
    if (walked.isEmpty())
        return;
    view.First();
    std::vector<LatestTexts> sets(size_t(walked.size()));
    qint64 row = 0;
    view.scanToEnd(fields, [&](const QByteArrayView *values) {
        for (size_t i = 0; i < sets.size(); ++i)
            sets[i].take(values[i], row);
        ++row;
    });
    for (int i = 0; i < walked.size(); ++i) {
        m_lists[size_t(walked[i])] = sets[size_t(i)].texts();
        m_state[size_t(walked[i])] = State::Read;
    }
    view.First();
}

SearchLists readSearchLists(TableCursor &view)
{
    SearchListsRead read(view, SeekLimit);
    const std::atomic<bool> never{false};
    read.run(never);
    read.walkUnread(view);
    view.First();
    return read.lists();
}

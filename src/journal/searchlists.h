#pragma once
// The six search lists of the journal page, read from the journal view: each
// holds every distinct text of its field once, in the order of the latest
// visible row carrying it (most recent last). Texts are compared byte for
// byte, letter case and blanks included; an empty text is an entry too.

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "store/schema.h"
#include "store/tablescan.h"

class TableCursor;

struct SearchListField
{
    WeighingRecord::Field field;   // journal field the list is filled from
    const char *comboName;  // the page's list showing it
};

inline constexpr int SearchListCount = 6;
using SearchLists = std::array<QStringList, SearchListCount>;

// Top to bottom as the page shows them.
inline constexpr std::array<SearchListField, SearchListCount> SearchListFields = {{
    {WeighingRecord::Zakazchik, "ComboBox18"},
    {WeighingRecord::FIO, "ComboBox14"},
    {WeighingRecord::N_Avto, "ComboBox15"},
    {WeighingRecord::AvtoPr, "ComboBox16"},
    {WeighingRecord::Klad, "ComboBox17"},
    {WeighingRecord::Tovar, "ComboBox13a"},
}};

// Reads the view's visible rows (its filters apply) and leaves it on its
// first row. Throws StoreError from the view.
SearchLists readSearchLists(TableCursor &view);

// The same read in pieces, so that a worker waits for the engine's seeks
// while the window answers: made on the window thread from the view as it
// stands, run() once on a worker (on the window thread where !runsApart()),
// and walkUnread() on the window thread for the lists the seeks cannot give
// (no index, too many rows hidden, more than seekLimit texts).
class SearchListsRead
{
public:
    SearchListsRead(TableCursor &view, int seekLimit);
    ~SearchListsRead();
    SearchListsRead(const SearchListsRead &) = delete;
    SearchListsRead &operator=(const SearchListsRead &) = delete;

    bool runsApart() const;
    // The store's generation when the read was made: a write through the
    // program since may have changed what it read.
    quint64 generation() const { return m_generation; }
    // The seeks, each list handed to read (list index, its texts) as soon as
    // it is in; stops early once stop is set. Throws StoreError.
    void run(const std::atomic<bool> &stop, const std::function<void(int, const QStringList &)> &read = {});
    // Walks the view's rows for the lists no seek gives or gave; the view
    // is left on its first row, and not touched when there are none. The
    // lists a seek is still to give wait for run(). Throws StoreError.
    void walkUnread(TableCursor &view);
    // The lists as read so far.
    const SearchLists &lists() const { return m_lists; }

private:
    enum class State { Seek, Read, Unread };
    quint64 m_generation;
    int m_limit;
    std::unique_ptr<ApartRead> m_apart;
    QVector<int> m_seeked;                       // lists read by the seeks, in their order
    QVector<TableScan::Statement> m_seeks;
    std::array<State, SearchListCount> m_state{};
    SearchLists m_lists;
};

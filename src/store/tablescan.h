#pragma once
// Long reads of a table's visible rows that do not move a cursor: walks that
// read a few fields of every row in place (in two parts at once where a
// second connection can see the same data), and the distinct texts of a
// field found by seeking its index.

#include <QByteArrayView>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class RawQuery;
class ReadConnection;
class TableStore;
class RowSource;

namespace TableScan {

using RowVisit = std::function<void(const QByteArrayView *)>;

// Visits the given fields of every visible row from fromId on, in stored
// order: one UTF-8 view per field, valid during the call. Throws StoreError.
void walk(const RowSource &source, qint64 fromId, const QVector<int> &fields, const RowVisit &visit);

// The same walk read in two parts at once: the `second` fields on a
// connection of their own on a worker thread, the `first` ones here. Each
// visit sees every row in order; the two run side by side and must share
// nothing. A failure of either part stops both and is thrown here once both
// have stopped. Where no second connection can see what this one sees, one
// walk here feeds both visits.
void walkSplit(const RowSource &source, qint64 fromId, const QVector<int> &first, const RowVisit &visitFirst,
               const QVector<int> &second, const RowVisit &visitSecond);

// The distinct texts of a field over the visible rows, each once, ordered by
// the latest visible row carrying it (most recent last), found by seeking
// the field's index from one text to the next. Nothing (nullopt) when the
// field has no index of its own or holds more than limit distinct texts.
std::optional<QStringList> distinctByLatest(const RowSource &source, int field, int limit);

// A statement with its values, made on the window thread to be run on a
// connection of its own (ApartRead).
struct Statement
{
    QString sql;
    QVector<QVariant> binds;
};

// distinctByLatest in two pieces, for a worker: its statement over the
// visible rows up to lastId (all of them when 0), nothing when the field has
// no index of its own; and what its rows give, nothing over limit texts.
std::optional<Statement> latestSeek(const RowSource &source, int field, int limit, qint64 lastId = 0);
std::optional<QStringList> latestTexts(RawQuery &q, int limit);

// How many rows the filters in force hide (0 without filters).
qint64 hiddenCount(const RowSource &source);


}

// One statement read on a connection of its own, so that a worker thread
// reads while the window thread goes on: made on the window thread, run()
// once on the worker. runsApart() is false where no second connection sees
// what the store's sees (an SQLite database in memory or in a transaction of
// its own): run() then reads on the store's connection, on the window thread.
class ApartRead
{
public:
    explicit ApartRead(TableStore &store);
    ~ApartRead();
    ApartRead(const ApartRead &) = delete;
    ApartRead &operator=(const ApartRead &) = delete;
    bool runsApart() const;
    TableStore &store() const { return m_store; }
    // Runs sql and hands its rows to read. Throws StoreError.
    void run(const QString &sql, const QVector<QVariant> &binds, const std::function<void(RawQuery &)> &read);
    // Runs each statement in turn on one connection, handing statement i's
    // rows to read(i, rows), until stop is set. Throws StoreError.
    void runEach(const QVector<TableScan::Statement> &statements, const std::function<void(int, RawQuery &)> &read,
                 const std::atomic<bool> *stop = nullptr);

private:
    TableStore &m_store;
    bool m_server = false;
    std::unique_ptr<ReadConnection> m_file;
};

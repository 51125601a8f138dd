#pragma once
// Long reads of a table's visible rows that do not move a cursor: walks that
// read a few fields of every row in place (in two parts at once where a
// second connection can see the same data), and the distinct texts of a
// field found by seeking its index.

#include <QByteArrayView>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

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

// How many rows the filters in force hide (0 without filters).
qint64 hiddenCount(const RowSource &source);

}

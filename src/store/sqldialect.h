#pragma once
// Where the two engines of the alias WE speak differently. Everything else in
// the store writes one SQL for both; what differs (the hidden id column, the
// text type, the catalogue, index hints, how a new row's id comes back, how
// far a cursor reads ahead) is asked for here, for the engine of a store.

#include <QString>

class QSqlQuery;
class TableStore;

namespace SqlDialect {

// The hidden id column that gives the stored row order.
QString idColumn(const TableStore &store);
// The type of the text fields. On the server texts compare byte for byte
// (as on SQLite), so that ranges, prefixes and min() agree on both engines.
QString textType(const TableStore &store);
// The columns of the index on a field. On the server the id goes along, as
// SQLite's index holds the row id: the latest row of a text is one seek.
QString indexColumns(const TableStore &store, const QString &quotedField);

// One bind, the table's SQL name: a row when the table exists.
QString tableExistsSql(const TableStore &store);
// One bind, the table's SQL name: the columns in order as (name, type).
QString columnsSql(const TableStore &store);
// Binds: the table's SQL name and a field name. The name of an index whose
// first column is that field (letter case ignored), if there is one.
QString indexOnFieldSql(const TableStore &store);
// What names that index in a query where the planner might pick another.
QString indexHint(const TableStore &store, const QString &indexName);

// Appended to an INSERT so that the new row's id comes back, and reading it.
QString insertReturning(const TableStore &store);
qint64 insertedId(const TableStore &store, QSqlQuery &q);

// How many rows a cursor's forward statement reads at a time; 0: all of
// them, read in place as the cursor moves (SQLite reads the file itself).
int forwardBatch(const TableStore &store);

// Server only: moves the id sequence of a table past its greatest id, after
// rows were copied in with their ids.
QString moveIdsPastSql(const QString &sqlTable);

}

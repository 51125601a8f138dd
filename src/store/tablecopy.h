#pragma once
// Moving a site's journal from its SQLite file onto a server: the tables of
// the file are copied into the server store row for row, ids kept, so
// that what the journal, the notes and the trail of hand edits say about a
// row stays true. The server's tables are made when missing; tables that
// hold rows already are refused (nothing is copied then). One transaction:
// the copy is there whole or not at all. Each id sequence is moved past the
// greatest id copied, so the next weighing gets the next number.

#include <QString>
#include <QVector>

class TableStore;

namespace TableCopy {

struct Copied
{
    QString table;   // as the program names it
    qint64 rows = 0;
};

// Throws StoreError (the file cannot be read, a server table is not empty,
// a value the server refuses, the connection lost).
QVector<Copied> fromSqlite(TableStore &store, const QString &sqliteFile);

}

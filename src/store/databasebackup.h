#pragma once
// Copies of the database behind the alias WE: a backup taken while the
// program (or any other connection) goes on writing, its check, and putting
// a copy back in place of the database.
//
// Plain file paths, own connections: every function may run on any thread
// and never touches the store's connection.

#include <QDate>
#include <QString>
#include <functional>

namespace DatabaseBackup {

// Asked between two steps of a backup and now and then while it checks the
// copy; false stops it.
using KeepGoing = std::function<bool()>;

// How many pages one step copies: 4 MB of 4 KB pages, so that a stop is
// noticed within a few milliseconds.
constexpr int PagesPerStep = 1024;

// A dated copy's name, "WE-2026-12-09.sqlite", and the date back from such a
// name (an invalid date for any other name).
QString fileName(QDate day);
QDate dateOfName(const QString &name);

// Copies the SQLite database at source to destination as it stood when the
// copy started, however much other connections (this process's included)
// write meanwhile. The copy is written beside destination as partName(), a
// file it holds locked until it is done, checked (PRAGMA quick_check) and
// only then renamed over destination; a failure or a stop leaves destination
// as it was and no part. An unfinished part that a killed copy left is
// begun afresh; one that another copy is writing is refused (StoreError), so
// that no part but a whole one ever takes the name. Returns false when
// keepGoing stopped it; throws StoreError on a failure.
bool take(const QString &source, const QString &destination, const KeepGoing &keepGoing = {},
          int pagesPerStep = PagesPerStep);

// destination + ".part": where take() writes until the copy is whole.
QString partName(const QString &destination);

// Removes an unfinished part, and the log files beside it, that no copy is
// writing any more (a copy cut off by a killed program or a power cut);
// false, touching nothing, while a copy is writing into it.
bool removeUnfinished(const QString &part);

// Empty when the file at path is a sound SQLite database (its header, and
// PRAGMA integrity_check says "ok"); otherwise why not, in Russian. Reads
// the file only, through a descriptor of its own: not for a database that
// this process has open (closing it would drop that connection's locks).
QString check(const QString &path);

// Puts the copy at backup in place of the database at database, keeping the
// replaced file (with its log) as database + ".before-restore" (".2", ".3"
// ... when that name is taken); returns where it was kept, or an empty
// string when there was no database. Refuses with StoreError, changing
// nothing, a copy that fails check() and a database that another connection
// (a running program) holds open.
QString restore(const QString &backup, const QString &database);

}

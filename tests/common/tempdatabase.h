#pragma once
// A program folder in a temporary directory with the three tables created,
// opened as the alias WE for the lifetime of the object: an SQLite file in
// the folder, or a database on the test program's throw-away server
// (PgCluster), emptied first, that the folder's database.ini points at.

#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "store/tablestore.h"

class TempDatabase
{
public:
    explicit TempDatabase(TableStore::Engine engine = TableStore::Engine::SQLite);
    ~TempDatabase();
    QString programDir() const { return m_dir.path(); }
    // The database, open while the object lives (unless closed below).
    TableStore &store() const { return *m_store; }
    // Closes it, as the end of the program does, and opens it again.
    void close() { m_store.reset(); }
    void reopen() { m_store = TableStore::open(programDir()); }
    // False when the database could not be made (no server, say); error() says why.
    bool isValid() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    // The engine a data-driven test's "engine" column names ("sqlite", "server").
    static TableStore::Engine engineNamed(const QString &name);

    // A connection of its own to the same database, as another program on
    // the same journal has (closed with the object).
    QSqlDatabase otherProgram();

    // Appends a journal row (field name -> text) to this database, or to store.
    void addJournalRow(const QList<QPair<QString, QString>> &fields) const { addJournalRow(store(), fields); }
    static void addJournalRow(TableStore &store, const QList<QPair<QString, QString>> &fields);

private:
    QTemporaryDir m_dir;
    QString m_error;
    std::unique_ptr<TableStore> m_store;
    TableStore::Engine m_engine;
};

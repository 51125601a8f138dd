#pragma once
// A read-only statement for the hot paths (walks of the whole journal). Qt SQL
// wraps every cell in a QVariant through several layers; reading the engine's
// text in place is several times faster.
//
// On SQLite the statement runs straight on the engine's C interface and reads
// the file as it moves. On a server it is a forward-only QSqlQuery, whose rows
// arrive one at a time; its cells are read from the row libpq holds. A
// server connection carries one statement at a time, so a Buffered query
// takes all its rows at once and leaves the connection free; only a
// Streaming one (a walk that runs no other statement until it ends) keeps it.

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

#include "store/packedrow.h"

struct sqlite3;
struct sqlite3_stmt;
class QSqlDatabase;
class QSqlQuery;
class TableStore;

// A read-only connection of its own to the store's database file, for a
// walk on a worker thread (the engine allows one thread per connection at a
// time). Null handle() when the store's database is not a file that a
// second connection would see as this one does (in memory, on a server, or
// in the midst of a transaction of its own) or cannot be opened.
class ReadConnection
{
public:
    explicit ReadConnection(TableStore &store);   // on the window thread: it asks the store's connection
    ~ReadConnection();
    ReadConnection(const ReadConnection &) = delete;
    ReadConnection &operator=(const ReadConnection &) = delete;
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

class RawQuery
{
public:
    enum class Mode { Buffered, Streaming };

    // On the store's connection. Throws StoreError.
    RawQuery(TableStore &store, const QString &sql, const QVector<QVariant> &binds, Mode mode = Mode::Buffered);
    // On an SQLite connection of its own (any thread that owns it).
    RawQuery(sqlite3 *db, const QString &sql, const QVector<QVariant> &binds);
    // On a server connection of its own (TableStore::WalkConnection), on its thread.
    RawQuery(const QSqlDatabase &db, const QString &sql, const QVector<QVariant> &binds, Mode mode);
    ~RawQuery();
    RawQuery(const RawQuery &) = delete;
    RawQuery &operator=(const RawQuery &) = delete;

    bool next();                       // throws StoreError
    qint64 integer(int column) const;
    bool isNull(int column) const;
    QString text(int column) const;     // a null QString for NULL
    // The column's UTF-8 bytes in place; valid until next(). NULL reads empty.
    QByteArrayView bytes(int column) const;
    // Columns first .. first+count-1 of the current row.
    PackedRow packed(int first, int count) const;

private:
    struct Cell
    {
        const char *data;   // null for NULL
        int size;
    };
    Cell cell(int column) const;
    void openOnServer(const QSqlDatabase &db, const QString &sql, const QVector<QVariant> &binds, Mode mode);
    void check(bool ok) const;
    bool nextOnServer();

    sqlite3_stmt *m_stmt = nullptr;
    void *m_db = nullptr;

    // Server: the query while it streams, the current row's result, or the
    // rows taken at once and the one standing.
    std::unique_ptr<QSqlQuery> m_query;
    const void *m_row = nullptr;          // the libpq result holding the current row
    std::vector<PackedRow> m_rows;
    qsizetype m_at = -1;
    bool m_buffered = false;
    bool m_ownConnection = false;   // not the store's: its errors are plain ones
};

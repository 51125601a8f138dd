#pragma once
// A read-only statement straight on the engine, for the hot paths (walks of
// the whole journal). Qt SQL wraps every cell in a QVariant through several
// layers; reading the engine's UTF-16 text directly is several times faster.

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVector>

#include "store/packedrow.h"

struct sqlite3;
struct sqlite3_stmt;

// A read-only connection of its own to the store's database file, for a
// walk on a worker thread (the engine allows one thread per connection at a
// time). Null handle() when the store's database is not a file that a
// second connection would see as this one does (in memory, or in the midst
// of a transaction of its own) or cannot be opened.
class ReadConnection
{
public:
    ReadConnection();   // on the window thread: it asks the store's connection
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
    RawQuery(const QString &sql, const QVector<QVariant> &binds);   // throws StoreError
    // On a connection of its own (any thread that owns it).
    RawQuery(sqlite3 *db, const QString &sql, const QVector<QVariant> &binds);
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
    sqlite3_stmt *m_stmt = nullptr;
    void *m_db = nullptr;
};

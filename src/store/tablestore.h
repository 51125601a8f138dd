#pragma once
// The alias WE: where the program's tables live, and the one connection to it.
//
// WE resolves through database.ini beside the program when that file exists:
// [WE] Path=... names an SQLite file; [WE] Driver=QPSQL with Host, Port,
// Database, User (and optionally Service, a libpq service name, and Options,
// further libpq connection keys) names a database on a PostgreSQL server,
// which several weighbridges can share. The password is never in that file:
// libpq finds it in ~/.pgpass, PGPASSFILE or the service file. Without
// database.ini, WE is data/WE.sqlite beside the program. A file that is not an
// SQLite database is refused untouched. Table names ignore letter case:
// BD_main.db and BD_main.DB are one table, stored as "bd_main_db".
//
// On a server the connection can be lost (the server stopped or restarted):
// the operation that finds it lost fails with one clear message, and the
// next one opens the connection again; an operation that finds the server
// back before it starts just works.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;

class TableStore
{
public:
    enum class Engine { SQLite, Server };

    // Where the alias points, as database.ini says.
    struct Location
    {
        Engine engine = Engine::SQLite;
        QString path;   // SQLite: the database file
        // Server: the connection keys (empty ones are left to libpq's defaults).
        QString host;
        int port = 0;
        QString database;
        QString user;
        QString options;   // libpq "key=value ..." (service=, sslmode=, ...)
        // For messages: the file, or "database on host".
        QString describe() const;
    };
    static Location location(const QString &programDir);

    // Opens the alias for the program directory. Throws StoreError when the
    // database cannot be opened. Calling it again with the same place is a no-op.
    static void open(const QString &programDir);
    // For the preparation tool only: like open(), but creates an SQLite
    // database file (and its folder) when it is missing.
    static void openCreating(const QString &programDir);
    // For the preparation tool: a server database named by a libpq
    // connection string ("host=... dbname=...").
    static void openServer(const QString &connectionString);
    static void close();
    static bool isOpen();
    static Engine engine();
    // The SQLite file of a program directory (also when database.ini names a server).
    static QString databasePath(const QString &programDir);
    // What is open, for messages.
    static QString describe();

    // The open connection. On a server whose connection was lost, opens it
    // again first, unless a transaction is under way; throws StoreError when
    // that fails.
    static QSqlDatabase connection();

    // The SQL name of a table as the program names it ("BD_main.db" -> "bd_main_db").
    static QString sqlName(const QString &tableName);
    static bool tableExists(const QString &tableName);

    // Changes made through any cursor bump this counter, so that other cursors
    // know their buffered rows may be stale.
    static quint64 generation();
    static void bumpGeneration();

    // Throws StoreError with the engine's message when q failed.
    static void check(bool ok, const class QSqlQuery &q);
    // Throws the StoreError for an engine error. A lost server connection
    // gives the one message the operator sees for it, and is opened again
    // by the next operation.
    [[noreturn]] static void fail(const QSqlError &error);

    // One transaction on the connection: begun by the constructor, rolled
    // back by the destructor unless committed. While one stands, a lost
    // connection is not silently replaced (what was written in it is gone).
    class Transaction
    {
    public:
        Transaction();
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        void commit();

    private:
        bool m_open = false;
    };

    // Cursors keep a statement open between moves. An open statement pins
    // the engine's view of the file as it was when it started (the log cannot
    // be folded back while it stands) and may or may not see later changes;
    // so every write, and closing the connection, first lets them all go, and
    // so does every fresh look at a table (a filter put in force, a refresh),
    // so that it sees what another program stored meanwhile.
    class LiveReader
    {
    public:
        virtual void releaseStatement() = 0;

    protected:
        ~LiveReader() = default;
    };
    // A connection of its own to the open server database, for a walk on a
    // worker thread: made, used and let go on that thread. Not open when it
    // cannot be made.
    class WalkConnection
    {
    public:
        WalkConnection();
        ~WalkConnection();
        WalkConnection(const WalkConnection &) = delete;
        WalkConnection &operator=(const WalkConnection &) = delete;
        bool isOpen() const;
        QSqlDatabase database() const;

    private:
        QString m_name;
    };

    static void addReader(LiveReader *reader);
    static void removeReader(LiveReader *reader);
    static void releaseReaders();
};

// The program's tables, as their names are spelled everywhere else.
namespace Tables {
inline const QString Journal = QStringLiteral("BD_main.db");
inline const QString Operators = QStringLiteral("BD_tools.DB");
inline const QString Administrators = QStringLiteral("BD_tools2");
inline const QString Audit = QStringLiteral("BD_audit");   // the trail of hand edits
}

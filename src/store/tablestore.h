#pragma once
// The alias WE: where the program's tables live, and a connection to it.
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

#include <memory>

class QSqlDriver;
class QSqlError;

// One open database: its own connection, what it is, and what stands on it
// (the live statements of its cursors, its transactions, the count of its
// changes). Opened by the constructor, closed by the destructor. The
// program's alias WE is the one its start order owns; the tools, benches and
// tests own theirs, and a copy between two databases holds two.
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
        // A server database named by a libpq connection string ("host=... dbname=...").
        static Location server(const QString &connectionString);
    };
    static Location location(const QString &programDir);
    // The SQLite file of a program directory (also when database.ini names a server).
    static QString databasePath(const QString &programDir);

    // What to do with an SQLite file that is not there: the program refuses
    // it (the operator learns at once); the preparation tool creates it and
    // its folder. A server database is made by its administrator either way.
    enum class Missing { Refuse, Create };

    // Opens the database. Throws StoreError when it cannot be opened.
    explicit TableStore(const Location &where, Missing missing = Missing::Refuse);
    ~TableStore();
    TableStore(const TableStore &) = delete;
    TableStore &operator=(const TableStore &) = delete;

    // The alias WE of a program directory.
    static std::unique_ptr<TableStore> open(const QString &programDir);
    // For the preparation tool only: like open(), but creates an SQLite
    // database file (and its folder) when it is missing.
    static std::unique_ptr<TableStore> openCreating(const QString &programDir);
    // For the preparation tool: a server database named by a libpq connection string.
    static std::unique_ptr<TableStore> openServer(const QString &connectionString);

    bool isOpen() const;
    Engine engine() const { return m_engine; }
    // What is open, for messages.
    QString describe() const { return m_described; }
    // Whether this store is open on the place loc names.
    bool isAt(const Location &loc) const;

    // The open connection. On a server whose connection was lost, opens it
    // again first, unless a transaction is under way; throws StoreError when
    // that fails.
    QSqlDatabase connection();

    // The SQL name of a table as the program names it ("BD_main.db" -> "bd_main_db").
    static QString sqlName(const QString &tableName);
    bool tableExists(const QString &tableName);

    // Changes made through any cursor of this store bump this counter, so
    // that its other cursors know their buffered rows may be stale.
    quint64 generation() const { return m_generation; }
    void bumpGeneration() { ++m_generation; }

    // Throws StoreError with the engine's message when q failed (on the
    // connection of a store, as that store's fail() says it).
    static void check(bool ok, const class QSqlQuery &q);
    // Throws the StoreError for an engine error. A lost server connection
    // gives the one message the operator sees for it, and is opened again
    // by the next operation.
    [[noreturn]] void fail(const QSqlError &error);

    // One transaction on the store's connection: begun by the constructor,
    // rolled back by the destructor unless committed. While one stands, a
    // lost connection is not silently replaced (what was written in it is gone).
    class Transaction
    {
    public:
        explicit Transaction(TableStore &store);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        void commit();

    private:
        TableStore &m_store;
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
        // The store is closing: its statement goes, and the store is not
        // reached again (not even to unregister).
        virtual void storeClosed() = 0;

    protected:
        ~LiveReader() = default;
    };
    // A connection of its own to the store's server database, for a walk on
    // a worker thread: made, used and let go on that thread. Not open when
    // it cannot be made.
    class WalkConnection
    {
    public:
        explicit WalkConnection(const TableStore &store);
        ~WalkConnection();
        WalkConnection(const WalkConnection &) = delete;
        WalkConnection &operator=(const WalkConnection &) = delete;
        bool isOpen() const;
        QSqlDatabase database() const;

    private:
        QString m_name;
    };

    void addReader(LiveReader *reader);
    void removeReader(LiveReader *reader);
    void releaseReaders();

private:
    void openFile(const QString &path);
    void openServerLocation(const Location &loc);
    void reconnect(QSqlDatabase &db);
    QString lostText() const;
    QSqlDatabase openConnection() const;
    static TableStore *ofDriver(const QSqlDriver *driver);

    QString m_name;            // the Qt connection's name, this store's own
    quint64 m_generation = 1;
    QString m_openKey;         // what is open: the file, or the server's connection keys
    QString m_described;       // the same, for messages
    Engine m_engine = Engine::SQLite;
    QList<LiveReader *> m_readers;
    bool m_lost = false;       // the server connection was found lost
    // A new connection failed in this turn of the event loop (shared with
    // the event that clears it, which may come after the store is gone).
    std::shared_ptr<bool> m_refusedThisTurn = std::make_shared<bool>(false);
    int m_transactions = 0;    // transactions standing on the connection
};

// The program's tables, as their names are spelled everywhere else.
namespace Tables {
inline const QString Journal = QStringLiteral("BD_main.db");
inline const QString Operators = QStringLiteral("BD_tools.DB");
inline const QString Administrators = QStringLiteral("BD_tools2");
inline const QString Audit = QStringLiteral("BD_audit");   // the trail of hand edits
}

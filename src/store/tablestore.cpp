#include "store/tablestore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <libpq-fe.h>
#include <utility>
#include <sqlite3.h>

#include "common/failure.h"
#include "store/sqldialect.h"

namespace {
// The stores open now: a failed statement is told to the store whose
// connection it ran on.
QList<TableStore *> g_open;
int g_made = 0;   // stores made so far: each connection has a name of its own

// What lies at path when it is not an SQLite database, in the operator's
// words; empty for a database. Opening would turn an empty file into a
// database and write the log setting into any other, so look first.
QString notADatabase(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1 - это папка, а не база данных WE").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Файл базы данных WE не открывается: %1 (%2)").arg(path, file.errorString());
    static const QByteArray header("SQLite format 3\0", 16);
    const QByteArray start = file.read(header.size());
    if (start.isEmpty())
        return QStringLiteral("Файл %1 пуст: это не база данных WE").arg(path);
    if (start != header)
        return QStringLiteral("Файл %1 не является базой данных WE").arg(path);
    return {};
}

// database.ini's keys of [WE], whatever their letter case.
QHash<QString, QString> aliasKeys(const QString &aliasFile)
{
    QHash<QString, QString> keys;
    QSettings alias(aliasFile, QSettings::IniFormat);
    alias.beginGroup(QStringLiteral("WE"));
    for (const QString &k : alias.childKeys())
        keys.insert(k.toLower(), alias.value(k).toString().trimmed());
    return keys;
}

// A value in a libpq connection string, quoted.
QString connectionValue(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString keyOf(const TableStore::Location &loc)
{
    if (loc.engine == TableStore::Engine::SQLite)
        return QStringLiteral("file:") + loc.path;
    return QStringList{QStringLiteral("server:"), loc.host, QString::number(loc.port), loc.database, loc.user,
                       loc.options}
        .join(QChar(u'|'));
}

PGconn *serverHandle(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    // The driver's handle type, by the name Qt knows it under.
    if (!h.isValid() || (qstrcmp(h.typeName(), "pg_conn*") != 0 && qstrcmp(h.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(h.constData());
}

// True while the server connection can be used: a closed socket (the
// server stopped, or restarted since the last operation) shows up when the
// input waiting on it is read, which never blocks. A server that goes says
// why first; the end of the input comes with the next read.
bool serverAlive(const QSqlDatabase &db)
{
    PGconn *conn = serverHandle(db);
    for (int read = 0; read < 2 && conn && PQstatus(conn) == CONNECTION_OK; ++read)
        PQconsumeInput(conn);
    return conn && PQstatus(conn) == CONNECTION_OK;
}

// What a server says on its own (why it closes the connection, say) is
// not for the operator: the store reports a lost connection itself.
void quietNotices(const QSqlDatabase &db)
{
    if (PGconn *conn = serverHandle(db))
        PQsetNoticeProcessor(conn, [](void *, const char *) {}, nullptr);
}

} // namespace

QString TableStore::lostText() const
{
    return QStringLiteral("Нет связи с сервером базы данных (%1). Ничего не записано. "
                          "Когда сервер снова будет доступен, повторите действие.")
        .arg(m_described);
}


QSqlDatabase TableStore::openConnection() const
{
    return QSqlDatabase::database(m_name, false);
}


void TableStore::openFile(const QString &path)
{
    // Every use of the database is on the window thread, so the engine's
    // per-call locking buys nothing; it only works before the engine starts.
    static const bool singleThreaded = sqlite3_config(SQLITE_CONFIG_MULTITHREAD) == SQLITE_OK;
    Q_UNUSED(singleThreaded);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const QString message = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw StoreError(message);
    }
    m_engine = Engine::SQLite;
    m_described = path;
    // A posted row must be on disk before the operator is told it was stored.
    QSqlQuery q(db);
    check(q.exec(QStringLiteral("PRAGMA journal_mode=WAL")), q);
    check(q.exec(QStringLiteral("PRAGMA synchronous=FULL")), q);
    // No memory map: mapped pages of a large journal stay in the process
    // (half a gigabyte after one walk of a million rows). Walks are as quick
    // through the page cache; only a repeated scan of the whole table (a
    // filter on a field without an index) is slower than from a warm map.
    check(q.exec(QStringLiteral("PRAGMA mmap_size=0")), q);
    check(q.exec(QStringLiteral("PRAGMA cache_size=-32768")), q);
    m_openKey = QStringLiteral("file:") + path;
    bumpGeneration();
}


void TableStore::openServerLocation(const Location &loc)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!db.isValid()) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw StoreError(QStringLiteral("Драйвер сервера PostgreSQL (QPSQL) не установлен"));
    }
    db.setHostName(loc.host);
    if (loc.port > 0)
        db.setPort(loc.port);
    db.setDatabaseName(loc.database);
    db.setUserName(loc.user);
    // A server that does not answer must not hold the window for minutes.
    QString options = loc.options;
    if (!options.contains(QLatin1String("connect_timeout")))
        options += QStringLiteral(" connect_timeout=5");
    // The server's notices (a cascade of a drop, say) are not for the operator.
    if (!options.contains(QLatin1String("options=")))
        options += QStringLiteral(" options='-c client_min_messages=warning'");
    db.setConnectOptions(options.trimmed());
    m_described = loc.describe();
    if (!db.open()) {
        const QString message = db.lastError().databaseText().trimmed();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw StoreError(QStringLiteral("Нет связи с сервером базы данных (%1): %2").arg(m_described, message));
    }
    quietNotices(db);
    m_engine = Engine::Server;
    m_lost = false;
    m_transactions = 0;
    m_openKey = keyOf(loc);
    bumpGeneration();
}


// Opens the lost server connection again. No statement of the old one may
// outlive it.
void TableStore::reconnect(QSqlDatabase &db)
{
    // One attempt a turn of the event loop: a press that fails on a server
    // out of reach, and the steps that tidy up after it, must not each wait
    // out the connection timeout. The next event tries again.
    if (*m_refusedThisTurn)
        throw StoreError(lostText());
    releaseReaders();
    db.close();
    bumpGeneration();
    if (!db.open()) {
        m_lost = true;
        if (QCoreApplication::instance()) {
            *m_refusedThisTurn = true;
            QTimer::singleShot(0, QCoreApplication::instance(), [refused = m_refusedThisTurn] { *refused = false; });
        }
        throw StoreError(lostText());
    }
    quietNotices(db);
    m_lost = false;
}


TableStore::Location TableStore::location(const QString &programDir)
{
    const QDir dir(programDir);
    Location loc;
    loc.path = dir.filePath(QStringLiteral("data/WE.sqlite"));
    const QString aliasFile = dir.filePath(QStringLiteral("database.ini"));
    if (!QFileInfo::exists(aliasFile))
        return loc;
    const QHash<QString, QString> keys = aliasKeys(aliasFile);
    const QString path = keys.value(QStringLiteral("path"));
    if (!path.isEmpty())
        loc.path = QDir::cleanPath(dir.absoluteFilePath(path));
    if (keys.value(QStringLiteral("driver")).compare(QLatin1String("QPSQL"), Qt::CaseInsensitive) != 0)
        return loc;
    loc.engine = Engine::Server;
    loc.host = keys.value(QStringLiteral("host"));
    loc.port = keys.value(QStringLiteral("port")).toInt();
    loc.database = keys.value(QStringLiteral("database"));
    loc.user = keys.value(QStringLiteral("user"));
    QStringList options;
    const QString service = keys.value(QStringLiteral("service"));
    if (!service.isEmpty())
        options << QStringLiteral("service=") + connectionValue(service);
    const QString more = keys.value(QStringLiteral("options"));
    if (!more.isEmpty())
        options << more;
    loc.options = options.join(QLatin1Char(' '));
    return loc;
}

QString TableStore::Location::describe() const
{
    if (engine == Engine::SQLite)
        return path;
    // A bare connection string (the preparation tool's --server) names the
    // database and host itself.
    const auto key = [this](const char *name) {
        const QRegularExpression re(QStringLiteral("(?:^|\\s)%1\\s*=\\s*'?([^'\\s]+)").arg(QLatin1String(name)));
        return re.match(options).captured(1);
    };
    QString where = !host.isEmpty() ? host : key("host");
    if (where.isEmpty())
        where = QStringLiteral("localhost");
    const QString portText = port > 0 ? QString::number(port) : key("port");
    if (!portText.isEmpty())
        where += QLatin1Char(':') + portText;
    QString what = !database.isEmpty() ? database : key("dbname");
    if (what.isEmpty())
        what = key("service");
    return QStringLiteral("база %1 на сервере %2").arg(what.isEmpty() ? QStringLiteral("WE") : what, where);
}

QString TableStore::databasePath(const QString &programDir) { return location(programDir).path; }

TableStore::Location TableStore::Location::server(const QString &connectionString)
{
    Location loc;
    loc.engine = Engine::Server;
    loc.options = connectionString.trimmed();
    return loc;
}

TableStore::TableStore(const Location &where, Missing missing)
    : m_name(QStringLiteral("WE-%1").arg(++g_made))
{
    try {
        if (where.engine == Engine::Server) {
            openServerLocation(where);
        } else if (missing == Missing::Create) {
            if (!QDir().mkpath(QFileInfo(where.path).absolutePath()))
                throw StoreError(QStringLiteral("Не удалось создать папку для %1").arg(where.path));
            openFile(where.path);
        } else {
            // The program never creates its tables, but SQLite would create an empty
            // file for a missing one; refuse instead, so the operator learns at once.
            if (!QFileInfo::exists(where.path))
                throw StoreError(QStringLiteral("База данных WE не найдена: %1").arg(where.path));
            const QString found = notADatabase(where.path);
            if (!found.isEmpty())
                throw StoreError(found);
            openFile(where.path);
        }
    } catch (...) {
        // A connection made but not set up goes with the failure.
        if (QSqlDatabase::contains(m_name)) {
            openConnection().close();
            QSqlDatabase::removeDatabase(m_name);
        }
        throw;
    }
    g_open.append(this);
}

std::unique_ptr<TableStore> TableStore::open(const QString &programDir)
{
    return std::make_unique<TableStore>(location(programDir));
}

std::unique_ptr<TableStore> TableStore::openCreating(const QString &programDir)
{
    return std::make_unique<TableStore>(location(programDir), Missing::Create);
}

std::unique_ptr<TableStore> TableStore::openServer(const QString &connectionString)
{
    return std::make_unique<TableStore>(Location::server(connectionString));
}

TableStore::~TableStore()
{
    g_open.removeOne(this);
    // No statement may outlive its connection, nor a reader its store.
    for (LiveReader *r : std::exchange(m_readers, {}))
        r->storeClosed();
    {
        QSqlDatabase db = openConnection();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

TableStore *TableStore::ofDriver(const QSqlDriver *driver)
{
    for (TableStore *store : std::as_const(g_open))
        if (driver && store->openConnection().driver() == driver)
            return store;
    return nullptr;
}

bool TableStore::isOpen() const
{
    return QSqlDatabase::contains(m_name) && openConnection().isOpen();
}

bool TableStore::isAt(const Location &loc) const { return isOpen() && m_openKey == keyOf(loc); }

QSqlDatabase TableStore::connection()
{
    if (!QSqlDatabase::contains(m_name))
        throw StoreError(QStringLiteral("База данных WE не открыта"));
    QSqlDatabase db = openConnection();
    if (m_engine == Engine::SQLite && !db.isOpen())
        throw StoreError(QStringLiteral("База данных WE не открыта"));
    // (A server connection closed by a failed attempt to open it again is
    // lost, not closed: the next operation tries again.)
    if (m_engine == Engine::Server && (m_lost || !serverAlive(db))) {
        // Inside a transaction what was written is gone with the connection:
        // the transaction fails as a whole, and the next operation reconnects.
        if (m_transactions > 0) {
            m_lost = true;
            throw StoreError(lostText());
        }
        reconnect(db);
    }
    return db;
}

QString TableStore::sqlName(const QString &tableName)
{
    QString out;
    out.reserve(tableName.size());
    for (const QChar c : tableName.toLower())
        out.append((c.isLetterOrNumber() || c == u'_') ? c : QChar(u'_'));
    return out;
}

bool TableStore::tableExists(const QString &tableName)
{
    QSqlQuery q(connection());
    check(q.prepare(SqlDialect::tableExistsSql(*this)), q);
    q.addBindValue(sqlName(tableName));
    check(q.exec(), q);
    return q.next();
}

void TableStore::addReader(LiveReader *reader) { m_readers.append(reader); }
void TableStore::removeReader(LiveReader *reader) { m_readers.removeOne(reader); }

void TableStore::releaseReaders()
{
    for (LiveReader *r : std::as_const(m_readers))
        r->releaseStatement();
}

void TableStore::check(bool ok, const QSqlQuery &q)
{
    if (ok)
        return;
    if (TableStore *store = ofDriver(q.driver()))
        store->fail(q.lastError());
    QString message = q.lastError().databaseText().trimmed();
    if (message.isEmpty())
        message = q.lastError().text().trimmed();
    if (message.isEmpty())
        message = QStringLiteral("Ошибка базы данных");
    throw StoreError(message);
}

void TableStore::fail(const QSqlError &e)
{
    if (m_engine == Engine::Server && QSqlDatabase::contains(m_name)) {
        // A statement that failed because the connection went (the server
        // stopped, restarted or was shut down under it) is not the
        // statement's fault: one message, and a new connection next time.
        const PGconn *conn = serverHandle(openConnection());
        const QString code = e.nativeErrorCode();
        if (!conn || PQstatus(conn) != CONNECTION_OK || code.startsWith(QLatin1String("08"))
            || code.startsWith(QLatin1String("57P"))) {
            m_lost = true;
            throw StoreError(lostText());
        }
    }
    QString message = e.databaseText().trimmed();
    if (message.isEmpty())
        message = e.text().trimmed();
    if (message.isEmpty())
        message = QStringLiteral("Ошибка базы данных");
    throw StoreError(message);
}

TableStore::WalkConnection::WalkConnection(const TableStore &store)
    : m_name(QStringLiteral("%1-walk-%2").arg(store.m_name).arg(quintptr(QThread::currentThreadId())))
{
    QSqlDatabase db = QSqlDatabase::cloneDatabase(store.m_name, m_name);
    if (db.open())
        quietNotices(db);
}

TableStore::WalkConnection::~WalkConnection()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool TableStore::WalkConnection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase TableStore::WalkConnection::database() const { return QSqlDatabase::database(m_name, false); }

TableStore::Transaction::Transaction(TableStore &store) : m_store(store)
{
    QSqlDatabase db = m_store.connection();
    m_store.releaseReaders();
    // On SQLite the file's write lock is taken at the start, not at the
    // first write: a transaction that reads before it writes (the chain's
    // last link) must not find the file changed under it.
    if (m_store.m_engine == Engine::SQLite) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            m_store.fail(q.lastError());
    } else if (!db.transaction()) {
        m_store.fail(db.lastError());
    }
    m_open = true;
    ++m_store.m_transactions;
}

TableStore::Transaction::~Transaction()
{
    if (!m_open)
        return;
    --m_store.m_transactions;
    m_store.openConnection().rollback();
}

void TableStore::Transaction::commit()
{
    QSqlDatabase db = m_store.openConnection();
    m_open = false;
    --m_store.m_transactions;
    if (!db.commit()) {
        const QSqlError e = db.lastError();
        db.rollback();
        m_store.fail(e);
    }
}

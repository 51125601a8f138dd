#include "store/tablestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

#include "common/failure.h"

namespace {
const QString ConnectionName = QStringLiteral("WE");
quint64 g_generation = 1;
QString g_openPath;
QList<TableStore::LiveReader *> g_readers;

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
}

QString TableStore::databasePath(const QString &programDir)
{
    const QDir dir(programDir);
    const QString aliasFile = dir.filePath(QStringLiteral("database.ini"));
    if (QFileInfo::exists(aliasFile)) {
        QSettings alias(aliasFile, QSettings::IniFormat);
        const QString path = alias.value(QStringLiteral("WE/Path")).toString().trimmed();
        if (!path.isEmpty())
            return QDir::cleanPath(dir.absoluteFilePath(path));
    }
    return dir.filePath(QStringLiteral("data/WE.sqlite"));
}

namespace {
void openPath(const QString &path);
}

void TableStore::open(const QString &programDir)
{
    const QString path = databasePath(programDir);
    if (isOpen() && g_openPath == path)
        return;
    close();
    // The program never creates its tables, but SQLite would create an empty
    // file for a missing one; refuse instead, so the operator learns at once.
    if (!QFileInfo::exists(path))
        throw StoreError(QStringLiteral("База данных WE не найдена: %1").arg(path));
    const QString found = notADatabase(path);
    if (!found.isEmpty())
        throw StoreError(found);
    openPath(path);
}

void TableStore::openCreating(const QString &programDir)
{
    const QString path = databasePath(programDir);
    close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw StoreError(QStringLiteral("Не удалось создать папку для %1").arg(path));
    openPath(path);
}

namespace {
void openPath(const QString &path)
{

    // Every use of the database is on the window thread, so the engine's
    // per-call locking buys nothing; it only works before the engine starts.
    static const bool singleThreaded = sqlite3_config(SQLITE_CONFIG_MULTITHREAD) == SQLITE_OK;
    Q_UNUSED(singleThreaded);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const QString message = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(ConnectionName);
        throw StoreError(message);
    }
    // A posted row must be on disk before the operator is told it was stored.
    QSqlQuery q(db);
    TableStore::check(q.exec(QStringLiteral("PRAGMA journal_mode=WAL")), q);
    TableStore::check(q.exec(QStringLiteral("PRAGMA synchronous=FULL")), q);
    // No memory map: mapped pages of a large journal stay in the process
    // (half a gigabyte after one walk of a million rows). Walks are as quick
    // through the page cache; only a repeated scan of the whole table (a
    // filter on a field without an index) is slower than from a warm map.
    TableStore::check(q.exec(QStringLiteral("PRAGMA mmap_size=0")), q);
    TableStore::check(q.exec(QStringLiteral("PRAGMA cache_size=-32768")), q);
    g_openPath = path;
    TableStore::bumpGeneration();
}
}

void TableStore::close()
{
    if (!QSqlDatabase::contains(ConnectionName))
        return;
    // No statement may outlive its connection.
    releaseReaders();
    {
        QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(ConnectionName);
    g_openPath.clear();
    bumpGeneration();
}

bool TableStore::isOpen()
{
    return QSqlDatabase::contains(ConnectionName) && QSqlDatabase::database(ConnectionName, false).isOpen();
}

QSqlDatabase TableStore::connection()
{
    if (!isOpen())
        throw StoreError(QStringLiteral("База данных WE не открыта"));
    return QSqlDatabase::database(ConnectionName, false);
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
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
    q.addBindValue(sqlName(tableName));
    check(q.exec(), q);
    return q.next();
}

void TableStore::addReader(LiveReader *reader) { g_readers.append(reader); }
void TableStore::removeReader(LiveReader *reader) { g_readers.removeOne(reader); }

void TableStore::releaseReaders()
{
    for (LiveReader *r : std::as_const(g_readers))
        r->releaseStatement();
}

quint64 TableStore::generation() { return g_generation; }
void TableStore::bumpGeneration() { ++g_generation; }

void TableStore::check(bool ok, const QSqlQuery &q)
{
    if (ok)
        return;
    const QSqlError e = q.lastError();
    QString message = e.databaseText().trimmed();
    if (message.isEmpty())
        message = e.text().trimmed();
    if (message.isEmpty())
        message = QStringLiteral("Ошибка базы данных");
    throw StoreError(message);
}

#include "store/databasebackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

#include "common/failure.h"

namespace {

// A connection of our own, closed however the function is left.
struct Connection
{
    sqlite3 *db = nullptr;
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }
    int close()
    {
        const int rc = sqlite3_close_v2(db);
        db = nullptr;
        return rc;
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

// Removes the named files when left before done() is called.
struct Leftovers
{
    QStringList files;
    ~Leftovers()
    {
        for (const QString &f : std::as_const(files))
            QFile::remove(f);
    }
    void done() { files.clear(); }
};

// The logs the engine may keep beside a database file.
QStringList logsOf(const QString &path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}

// A part is locked for as long as a copy writes it, so a part that can be
// locked is one a killed copy left: the system lets go of a process's locks
// however it ends. The lock is flock()'s, which the engine's own POSIX
// locks on the same file neither see nor disturb.
class PartLock
{
public:
    PartLock() = default;
    PartLock(const PartLock &) = delete;
    PartLock &operator=(const PartLock &) = delete;
    ~PartLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Locks the file at path (made when create says so); false when another
    // copy holds it or, without create, when there is none.
    bool lock(const QString &path, bool create)
    {
        const QByteArray name = QFile::encodeName(path);
        // A part removed by another copy between the open and the lock is
        // not the file at path any more: then it is opened anew.
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
            if (m_fd < 0) {
                if (!create && errno == ENOENT)
                    return false;
                throw StoreError(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(strerror(errno))));
            }
            if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(m_fd);
                m_fd = -1;
                return false;
            }
            struct stat held, named;
            if (::fstat(m_fd, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_ino == named.st_ino
                && held.st_dev == named.st_dev)
                return true;
            ::close(m_fd);
            m_fd = -1;
        }
        return false;
    }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

int exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(QDir::toNativeSeparators(path));
}

// Why the file at path is no SQLite database; empty for one.
QString notADatabase(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("файл %1 не найден").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 - не файл").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("файл %1 не открывается (%2)").arg(path, file.errorString());
    static const QByteArray header("SQLite format 3\0", 16);
    if (file.read(header.size()) != header)
        return QStringLiteral("файл %1 не является базой данных SQLite").arg(path);
    return {};
}

// The same for a database that may be open in this very process (the
// program's daily copy): looked at without a descriptor of our own, since
// closing one drops every lock the process holds on the file (POSIX locks
// are the process's), those of the program's connection included. The
// engine then tells a file that is no database.
QString notADatabaseFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("файл %1 не найден").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 - не файл").arg(path);
    if (info.size() == 0)
        return QStringLiteral("файл %1 пуст: это не база данных").arg(path);
    return {};
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

// Data that the engine has handed to the system must be on the disk before
// a rename makes it the file of record.
bool syncFile(const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void syncFolderOf(const QString &path)
{
    // Best effort: the rename itself is atomic either way.
    const int fd = ::open(nativePath(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Replaces to with from in one step (QFile::rename refuses an existing target).
bool replaceFile(const QString &from, const QString &to)
{
    return std::rename(nativePath(from).constData(), nativePath(to).constData()) == 0;
}

[[noreturn]] void fail(const QString &path, const QString &why)
{
    throw StoreError(QStringLiteral("%1: %2").arg(path, why));
}

void copyFile(const QString &from, const QString &to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly))
        fail(from, in.errorString());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(to, out.errorString());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            fail(from, in.errorString());
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            fail(to, out.errorString());
    }
    if (!out.flush())
        fail(to, out.errorString());
    out.close();
    if (!syncFile(to))
        fail(to, QStringLiteral("данные не записаны на диск"));
}

// The first of name, name.2, name.3 ... that neither a file nor its log uses.
QString freeName(const QString &name)
{
    QString candidate = name;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo::exists(candidate + QStringLiteral("-wal")); ++n)
        candidate = QStringLiteral("%1.%2").arg(name).arg(n);
    return candidate;
}

int stopWhenAsked(void *keepGoing)
{
    return (*static_cast<const DatabaseBackup::KeepGoing *>(keepGoing))() ? 0 : 1;
}

// The file's fault, empty when pragma (an integrity check) finds none.
QString verify(const QString &path, const char *pragma, const DatabaseBackup::KeepGoing &keepGoing = {})
{
    const QString notDb = notADatabase(path);
    if (!notDb.isEmpty())
        return notDb;
    // Read as an unchanging file: no lock, no log and no index files beside
    // it, whatever journal mode its header names. A copy whose own log lies
    // beside it would be read without that log, so it is not taken.
    if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
        return QStringLiteral("часть данных копии лежит в файле журнала %1-wal").arg(path);
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()
        + "?mode=ro&immutable=1";
    Connection c;
    if (sqlite3_open_v2(uri.constData(), &c.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return c.error();
    if (keepGoing)
        sqlite3_progress_handler(c.db, 100000, stopWhenAsked, const_cast<DatabaseBackup::KeepGoing *>(&keepGoing));
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(c.db, pragma, -1, &stmt, nullptr) != SQLITE_OK)
        return c.error();
    QStringList found;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW && found.size() < 3)
        found << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return c.error();
    if (found == QStringList{QStringLiteral("ok")})
        return {};
    return QStringLiteral("%1: %2").arg(QLatin1String(pragma), found.join(QStringLiteral("; ")));
}

} // namespace

namespace DatabaseBackup {

QString fileName(QDate day)
{
    return QStringLiteral("WE-%1.sqlite").arg(day.toString(Qt::ISODate));
}

QDate dateOfName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^WE-(\\d{4}-\\d{2}-\\d{2})\\.sqlite$"));
    const QRegularExpressionMatch m = pattern.match(name);
    return m.hasMatch() ? QDate::fromString(m.captured(1), Qt::ISODate) : QDate();
}

bool take(const QString &source, const QString &destination, const KeepGoing &keepGoing, int pagesPerStep)
{
    const QString notDb = notADatabaseFile(source);
    if (!notDb.isEmpty())
        throw StoreError(notDb);
    if (sameFile(source, destination))
        fail(destination, QStringLiteral("копия не может быть записана поверх самой базы данных"));

    const QString part = partName(destination);
    PartLock claim;
    if (!claim.lock(part, true))
        fail(part, QStringLiteral("копию в этот файл уже делает другая программа"));
    // What a copy cut off earlier left there goes: this one starts afresh.
    if (::ftruncate(claim.fd(), 0) != 0)
        fail(part, QString::fromLocal8Bit(strerror(errno)));
    for (const QString &log : logsOf(part))
        QFile::remove(log);
    // Removed while the claim still holds the part.
    Leftovers leftovers{logsOf(part) << part};

    // The source opened for writing as well only so that, as its last
    // connection, it folds the log back into the file when it closes.
    Connection src;
    if (sqlite3_open_v2(nativePath(source).constData(), &src.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        fail(source, src.error());
    sqlite3_busy_timeout(src.db, 5000);
    // The copy reads under one read transaction from first step to last: it
    // sees the database as it was when it began, and a write by another
    // connection between two steps cannot make the engine start the copy
    // over (without it, a program posting now and then restarts it for
    // ever). In WAL mode, the mode the program keeps its database in, a
    // reader never holds a writer back.
    if (exec(src.db, "BEGIN; SELECT 1 FROM sqlite_master LIMIT 1") != SQLITE_OK)
        fail(source, src.error());

    // No rollback journal and no syncs while copying into a file nobody
    // reads yet; the finished copy is synced once before it is renamed.
    Connection dst;
    if (sqlite3_open_v2(nativePath(part).constData(), &dst.db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK
        || exec(dst.db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF") != SQLITE_OK)
        fail(part, dst.error());

    sqlite3_backup *backup = sqlite3_backup_init(dst.db, "main", src.db, "main");
    if (!backup)
        fail(part, dst.error());
    int rc;
    int busyRounds = 0;
    for (;;) {
        rc = sqlite3_backup_step(backup, pagesPerStep);
        if (rc == SQLITE_OK) {
            if (keepGoing && !keepGoing()) {
                sqlite3_backup_finish(backup);
                return false;
            }
        } else if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++busyRounds < 100) {
            sqlite3_sleep(50);
        } else {
            break;
        }
    }
    if (sqlite3_backup_finish(backup) != SQLITE_OK || rc != SQLITE_DONE)
        fail(destination, dst.error());
    exec(src.db, "COMMIT");
    src.close();

    // The pages carry the source's WAL mark; a copy in rollback mode is one
    // self-contained file that opens anywhere, even read-only.
    if (exec(dst.db, "PRAGMA journal_mode=DELETE") != SQLITE_OK)
        fail(destination, dst.error());
    if (dst.close() != SQLITE_OK)
        fail(destination, QStringLiteral("копия не записана"));

    // The quick check: every page and every tree, each row in order, but not
    // each index entry against its row, which is what makes the full check
    // ten times as long as the copy (10 s for a journal of a million rows).
    // The copy is the source page for page, so this is a check of the
    // source; the full one comes before a copy is put back (restore). It
    // reads from the system's cache while the disk takes the copy, so both
    // go on at once.
    bool synced = false;
    std::thread sync([&] { synced = syncFile(part); });
    const QString unsound = verify(part, "PRAGMA quick_check", keepGoing);
    sync.join();
    if (keepGoing && !keepGoing())
        return false;
    if (!unsound.isEmpty())
        fail(source, QStringLiteral("копия не прошла проверку (%1)").arg(unsound));
    if (!synced)
        fail(destination, QStringLiteral("копия не записана на диск"));
    if (!replaceFile(part, destination))
        fail(destination, QString::fromLocal8Bit(strerror(errno)));
    leftovers.done();
    syncFolderOf(destination);
    return true;
}

QString partName(const QString &destination)
{
    return destination + QStringLiteral(".part");
}

bool removeUnfinished(const QString &part)
{
    PartLock claim;
    if (claim.lock(part, false))
        QFile::remove(part);
    else if (QFileInfo::exists(part))
        return false;
    for (const QString &log : logsOf(part))
        QFile::remove(log);
    return true;
}

QString check(const QString &path)
{
    return verify(path, "PRAGMA integrity_check");
}

QString restore(const QString &backup, const QString &database)
{
    if (sameFile(backup, database))
        fail(backup, QStringLiteral("это и есть база данных, которую нужно восстановить"));
    const QString unsound = check(backup);
    if (!unsound.isEmpty())
        throw StoreError(QStringLiteral("Копия %1 не годится для восстановления: %2").arg(backup, unsound));

    // Nobody may have the database open while it is replaced: a running
    // program would go on writing into the file that is put aside. In WAL
    // mode BEGIN EXCLUSIVE does not see other connections (readers never
    // block there); leaving WAL mode does, since every open connection keeps
    // a shared lock. Rollback mode then lets BEGIN EXCLUSIVE hold everyone
    // off until the files are swapped.
    Connection live;
    const bool exists = QFileInfo::exists(database);
    if (exists) {
        if (sqlite3_open_v2(nativePath(database).constData(), &live.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                            nullptr)
            != SQLITE_OK)
            fail(database, live.error());
        sqlite3_busy_timeout(live.db, 1000);
        int rc = exec(live.db, "PRAGMA journal_mode=DELETE");
        if (rc == SQLITE_OK)
            rc = exec(live.db, "BEGIN EXCLUSIVE");
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
            throw StoreError(QStringLiteral("База данных %1 открыта другой программой (запущен Krodalin?). "
                                            "Закройте её и повторите восстановление; ничего не изменено")
                                 .arg(database));
        // Any other error: the database is too damaged for the engine to
        // lock it, and so for a program to run on it. It is replaced as it is.
        if (rc != SQLITE_OK)
            live.close();
    }

    const QString incoming = database + QStringLiteral(".restoring");
    Leftovers leftovers{{incoming}};
    if (!QDir().mkpath(QFileInfo(database).absolutePath()))
        fail(database, QStringLiteral("папка не создаётся"));
    copyFile(backup, incoming);

    QString kept;
    if (exists) {
        kept = freeName(database + QStringLiteral(".before-restore"));
        if (!replaceFile(database, kept))
            fail(database, QString::fromLocal8Bit(strerror(errno)));
        // The replaced file's log belongs to it: left here, the engine would
        // replay it into the restored one.
        for (const char *suffix : {"-wal", "-journal"})
            if (QFileInfo::exists(database + QLatin1String(suffix)))
                replaceFile(database + QLatin1String(suffix), kept + QLatin1String(suffix));
        QFile::remove(database + QStringLiteral("-shm"));
    }
    if (!replaceFile(incoming, database)) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        if (exists)
            replaceFile(kept, database);
        fail(database, why);
    }
    leftovers.done();
    syncFolderOf(database);
    return kept;
}

} // namespace DatabaseBackup

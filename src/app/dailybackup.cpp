#include "app/dailybackup.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#include "app/settingsfile.h"
#include "common/failure.h"
#include "store/databasebackup.h"
#include "store/tablestore.h"
#include "store/tablestore.h"

namespace {

// Keeps today's copy and the newest keep - 1 of the other days. Only files
// named as the program names its copies are touched (and the temporary files
// of copies of earlier days that were cut off).
void keepNewest(const QString &folder, int keep, QDate today)
{
    QDir dir(folder);
    QList<std::pair<QDate, QString>> older;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QDate day = DatabaseBackup::dateOfName(name);
        if (day.isValid() && day != today)
            older.append({day, name});
        const QString unfinished = name.chopped(std::min<qsizetype>(name.size(), 5));
        if (name.endsWith(QLatin1String(".part")) && DatabaseBackup::dateOfName(unfinished).isValid()
            && DatabaseBackup::dateOfName(unfinished) != today)
            dir.remove(name);
    }
    std::sort(older.begin(), older.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (qsizetype i = std::max(0, keep - 1); i < older.size(); ++i)
        dir.remove(older[i].second);
}

}

DailyBackup::DailyBackup(QString programDir, QDate today, QObject *parent)
    : QObject(parent), m_programDir(std::move(programDir)), m_today(today)
{
}

DailyBackup::~DailyBackup()
{
    m_stop = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

QString DailyBackup::folder(const QString &programDir)
{
    return QDir(programDir).filePath(QStringLiteral("data/backup"));
}

bool DailyBackup::start()
{
    // A journal on a server is the server's to back up (pg_dump); there is
    // no file here to copy.
    if (TableStore::engine() != TableStore::Engine::SQLite)
        return false;
    const int keep = LoadBackupCount(m_programDir);
    if (keep == 0 || m_thread)
        return false;
    const QString source = TableStore::databasePath(m_programDir);
    const QString dir = folder(m_programDir);
    const QDate today = m_today;
    m_thread = QThread::create([this, source, dir, today, keep] {
        // The window thread comes first: a nice value of its own for this
        // thread (Qt's thread priorities change nothing under Linux's normal
        // scheduling, and its idle one could starve the copy for good).
        setpriority(PRIO_PROCESS, pid_t(gettid()), 10);
        try {
            if (!QDir().mkpath(dir))
                throw Failure(QStringLiteral("папка %1 не создаётся").arg(dir));
            const QString target = QDir(dir).filePath(DatabaseBackup::fileName(today));
            // The first start of the day makes it; later ones find it there.
            if (!QFileInfo::exists(target)
                && !DatabaseBackup::take(source, target, [this] { return !m_stop; }))
                return;
            keepNewest(dir, keep, today);
        } catch (const Failure &e) {
            m_error = QStringLiteral("Резервная копия базы данных не сделана: %1").arg(e.message());
        }
    });
    connect(m_thread, &QThread::finished, this, [this] { emit finished(m_error); });
    m_thread->start();
    return true;
}

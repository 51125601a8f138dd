#include "app/dailybackup.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#include "app/settingsfile.h"
#include "common/errorreport.h"
#include "common/failure.h"
#include "store/databasebackup.h"
#include "store/tablestore.h"

namespace {

// Keeps today's copy and the newest keep - 1 of the other days. Only files
// named as the program names its copies are touched.
void keepNewest(const QString &folder, int keep, QDate today)
{
    QDir dir(folder);
    QList<std::pair<QDate, QString>> older;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QDate day = DatabaseBackup::dateOfName(name);
        if (day.isValid() && day != today)
            older.append({day, name});
    }
    std::sort(older.begin(), older.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (qsizetype i = std::max(0, keep - 1); i < older.size(); ++i)
        dir.remove(older[i].second);
}

// Removes what copies cut off by a killed program left (parts of any day and
// their logs); false when a copy into target is under way elsewhere (a
// second program, krodalin-db backup), whose part stays.
bool clearCutOffCopies(const QString &folder, const QString &target)
{
    static const QRegularExpression partName(QStringLiteral("^(WE-.*\\.sqlite)\\.part(-journal|-wal|-shm)?$"));
    QDir dir(folder);
    bool free = true;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = partName.match(name);
        if (!m.hasMatch() || !DatabaseBackup::dateOfName(m.captured(1)).isValid())
            continue;
        const QString copy = dir.filePath(m.captured(1));
        if (!DatabaseBackup::removeUnfinished(DatabaseBackup::partName(copy)) && copy == target)
            free = false;
    }
    return free;
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

void DailyBackup::startWhenPainted(QWidget *window)
{
    m_window = window;
    window->installEventFilter(this);
}

bool DailyBackup::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_window && e->type() == QEvent::Paint) {
        m_window->removeEventFilter(this);
        // Once this paint is over and the window stands on the screen.
        QTimer::singleShot(0, this, [this] { runGuarded([this] { start(); }); });
    }
    return false;
}

bool DailyBackup::start()
{
    // A journal on a server is the server's to back up (pg_dump); there is
    // no file here to copy.
    if (TableStore::location(m_programDir).engine != TableStore::Engine::SQLite)
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
            const bool free = clearCutOffCopies(dir, target);
            // The first start of the day makes it; later ones find it there.
            if (free && !QFileInfo::exists(target)
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

#include "pgcluster.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString serverBin()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    // The newest version first.
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &v : found) {
        const QString bin = versions.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

QString quoted(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

PgCluster &PgCluster::shared()
{
    static PgCluster cluster;
    return cluster;
}

PgCluster::PgCluster()
{
    m_bin = serverBin();
    if (m_bin.isEmpty()) {
        m_error = QStringLiteral("no PostgreSQL server under /usr/lib/postgresql/*/bin (scripts/setup installs it)");
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return;
    }
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres) {
        const struct passwd *pw = ::getpwnam("postgres");
        if (!pw) {
            m_error = QStringLiteral("running as root and there is no user postgres to run the server");
            return;
        }
        const QByteArray path = QFile::encodeName(m_dir.path());
        if (::chown(path.constData(), pw->pw_uid, pw->pw_gid) != 0 || ::chmod(path.constData(), 0700) != 0) {
            m_error = QStringLiteral("cannot hand %1 to the user postgres").arg(m_dir.path());
            return;
        }
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    // -N: no fsync of a cluster that lives for one test program.
    if (!run(m_bin + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-U"), user(), QStringLiteral("-N")}))
        return;
    if (start())
        watchOver();
}

// A program that dies without running its destructors (a crash, a kill by
// the test runner's timeout) must not leave its server running: a small
// watcher outlives it, stops the server and removes its folder.
void PgCluster::watchOver()
{
    QString stop = QStringLiteral("'%1/pg_ctl' -D '%2/data' -m immediate stop").arg(m_bin, m_dir.path());
    if (m_asPostgres)
        stop = QStringLiteral("runuser -u postgres -- ") + stop;
    const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 0.2; done; %2; rm -rf '%3'")
                               .arg(QCoreApplication::applicationPid())
                               .arg(stop, m_dir.path());
    QProcess watcher;
    watcher.setProgram(QStringLiteral("sh"));
    watcher.setArguments({QStringLiteral("-c"), script});
    // Not holding the test runner's pipes open after the program ends.
    watcher.setStandardInputFile(QProcess::nullDevice());
    watcher.setStandardOutputFile(QProcess::nullDevice());
    watcher.setStandardErrorFile(QProcess::nullDevice());
    watcher.startDetached();
}

PgCluster::~PgCluster()
{
    if (!m_running)
        return;
    // Static destruction: no event loop for QProcess any more, so a plain
    // fork and wait. Immediate: the test data is not worth a checkpoint.
    QString command = QStringLiteral("'%1/pg_ctl' -D '%2/data' -m immediate -w stop >/dev/null 2>&1")
                          .arg(m_bin, m_dir.path());
    if (m_asPostgres)
        command = QStringLiteral("runuser -u postgres -- ") + command;
    std::system(command.toLocal8Bit().constData());
}

bool PgCluster::run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (m_asPostgres)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                        QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2 %3")
                      .arg(program, p.errorString(), QString::fromLocal8Bit(p.readAll()).trimmed());
        return false;
    }
    return true;
}

bool PgCluster::pgCtl(const QStringList &args)
{
    return run(m_bin + QStringLiteral("/pg_ctl"),
               QStringList{QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-w")} + args);
}

bool PgCluster::start()
{
    if (m_running)
        return true;
    if (m_bin.isEmpty())
        return false;
    // Only the socket in the cluster's own folder, so that clusters of
    // test programs running side by side never meet. No fsync: what the
    // tests check survives a killed server without one (the page cache
    // outlives the server, and no test pulls the power).
    QString options = QStringLiteral("-k %1 -c listen_addresses=''").arg(m_dir.path());
    if (!m_durable)
        options += QStringLiteral(" -c fsync=off -c full_page_writes=off");
    m_running = pgCtl({QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                       options, QStringLiteral("start")});
    return m_running;
}

bool PgCluster::stop(bool immediate)
{
    if (!m_running)
        return true;
    const bool ok = pgCtl({QStringLiteral("-m"), immediate ? QStringLiteral("immediate") : QStringLiteral("fast"),
                           QStringLiteral("stop")});
    if (ok)
        m_running = false;
    return ok;
}

bool PgCluster::setDurable(bool on)
{
    if (on == m_durable)
        return m_running;
    m_durable = on;
    return stop() && start();
}

QString PgCluster::connectionString(const QString &database) const
{
    return QStringLiteral("host=%1 dbname=%2 user=%3").arg(quoted(socketDir()), quoted(database), user());
}

QString PgCluster::databaseIni(const QString &database) const
{
    return QStringLiteral("[WE]\nDriver=QPSQL\nHost=%1\nDatabase=%2\nUser=%3\n").arg(socketDir(), database, user());
}

bool PgCluster::addRoleWithPassword(const QString &name, const QString &password)
{
    if (!m_running)
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgcluster-admin"));
        db.setConnectOptions(connectionString(QStringLiteral("postgres")));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE ROLE \"%1\" LOGIN SUPERUSER PASSWORD '%2'").arg(name, password));
            if (!ok)
                m_error = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgcluster-admin"));
    QFile hba(m_dir.filePath(QStringLiteral("data/pg_hba.conf")));
    if (!ok || !hba.open(QIODevice::ReadWrite))
        return false;
    const QByteArray rules = hba.readAll();
    hba.seek(0);
    hba.write("local all " + name.toUtf8() + " scram-sha-256\n" + rules);
    hba.close();
    if (!pgCtl({QStringLiteral("reload")}))
        return false;
    // The server takes the rule up on its own time: until it refuses the
    // role without its password.
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool refused;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgcluster-probe"));
            db.setConnectOptions(QStringLiteral("host=%1 dbname=postgres user=%2 passfile=/dev/null")
                                     .arg(quoted(socketDir()), quoted(name)));
            refused = !db.open();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pgcluster-probe"));
        if (refused)
            return true;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("the server kept trusting %1").arg(name);
    return false;
}

bool PgCluster::createDatabase(const QString &name)
{
    if (!m_running)
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgcluster-admin"));
        db.setConnectOptions(connectionString(QStringLiteral("postgres"))
                             + QStringLiteral(" options='-c client_min_messages=warning'"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name))
                 && q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!ok)
                m_error = q.lastError().text();
        } else {
            m_error = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgcluster-admin"));
    return ok;
}

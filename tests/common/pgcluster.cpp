#include "pgcluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <csignal>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The postmaster's process id, for a program that dies of a signal: it
// takes its server with it (SIGQUIT is the server's immediate shutdown).
volatile sig_atomic_t g_postmaster = 0;
struct sigaction g_previous[NSIG];

void onFatalSignal(int sig)
{
    if (g_postmaster > 0)
        ::kill(pid_t(g_postmaster), SIGQUIT);
    ::sigaction(sig, &g_previous[sig], nullptr);
    ::raise(sig);
}

void stopOnFatalSignals()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (const int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTERM, SIGINT}) {
        struct sigaction sa = {};
        sa.sa_handler = onFatalSignal;
        sigemptyset(&sa.sa_mask);
        ::sigaction(sig, &sa, &g_previous[sig]);
    }
}

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
    stopOnFatalSignals();
    start();
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
    if (std::system(command.toLocal8Bit().constData()) != 0 && g_postmaster > 0)
        ::kill(pid_t(g_postmaster), SIGQUIT);
    g_postmaster = 0;
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
    if (m_running) {
        QFile pidFile(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
        if (pidFile.open(QIODevice::ReadOnly))
            g_postmaster = pidFile.readLine().trimmed().toInt();
    }
    return m_running;
}

bool PgCluster::stop(bool immediate)
{
    if (!m_running)
        return true;
    const bool ok = pgCtl({QStringLiteral("-m"), immediate ? QStringLiteral("immediate") : QStringLiteral("fast"),
                           QStringLiteral("stop")});
    if (ok) {
        m_running = false;
        g_postmaster = 0;
    }
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

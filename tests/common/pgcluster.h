#pragma once
// A throw-away PostgreSQL server for the tests: initdb into a temporary
// folder, the server listening only on a Unix socket in that folder, stopped
// when the test program ends (also when a test failed, and by a watcher
// process when the program died without cleaning up). The server refuses to run as root, so when the tests run as
// root initdb and pg_ctl run as the unprivileged user postgres.
//
// One server per test program: shared() starts it on first use. When it
// cannot start (no server binaries, say) isRunning() is false and error()
// says why; tests that need it fail on that, they do not skip.

#include <QString>
#include <QTemporaryDir>

class PgCluster
{
public:
    static PgCluster &shared();
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    bool isRunning() const { return m_running; }
    const QString &error() const { return m_error; }

    QString socketDir() const { return m_dir.path(); }
    static QString user() { return QStringLiteral("krodalin"); }
    // A libpq connection string for a database of this server.
    QString connectionString(const QString &database) const;
    // database.ini's [WE] section that points the alias at that database.
    QString databaseIni(const QString &database) const;

    // An empty database of that name (dropped first when it exists).
    bool createDatabase(const QString &name);

    // A login role that must give its password (every other role is trusted
    // on the socket), as a site's station account is.
    bool addRoleWithPassword(const QString &name, const QString &password);

    // For the fault tests: the server going away under the program and
    // coming back on the same socket. immediate: as a crash, no shutdown.
    bool stop(bool immediate = false);
    bool start();

    // The tests run without fsync; a benchmark of commits wants it, as a
    // real server has. Restarts the server when it runs.
    bool setDurable(bool on);

private:
    PgCluster();
    bool pgCtl(const QStringList &args);
    void watchOver();
    bool run(const QString &program, const QStringList &args);

    QTemporaryDir m_dir;
    QString m_bin;              // the server's bin folder
    bool m_asPostgres = false;  // root: run the server's tools as postgres
    bool m_running = false;
    bool m_durable = false;
    QString m_error;
};

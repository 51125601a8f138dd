#include "tempdatabase.h"

#include "store/truckregister.h"

#include <QFile>
#include <QSqlQuery>

#include "common/failure.h"
#include "pgcluster.h"
#include "store/passlog.h"
#include "store/schema.h"
#include "store/tablecursor.h"

namespace {
const QString ServerDatabase = QStringLiteral("krodalin_test");
const QString OtherProgram = QStringLiteral("other-program");
}

TempDatabase::TempDatabase(TableStore::Engine engine) : m_engine(engine)
{
    try {
        if (engine == TableStore::Engine::Server) {
            PgCluster &cluster = PgCluster::shared();
            static bool created = false;
            if (!cluster.isRunning() || (!created && !cluster.createDatabase(ServerDatabase))) {
                m_error = cluster.error().isEmpty() ? QStringLiteral("the test server is not running") : cluster.error();
                return;
            }
            created = true;
            QFile ini(m_dir.filePath(QStringLiteral("database.ini")));
            if (!ini.open(QIODevice::WriteOnly) || ini.write(cluster.databaseIni(ServerDatabase).toUtf8()) < 0) {
                m_error = ini.errorString();
                return;
            }
            ini.close();
            m_store = TableStore::openCreating(m_dir.path());
            // Each test starts from empty tables, ids from 1: the tables an
            // earlier test made are emptied, or made afresh when a test
            // changed them.
            const QStringList tables{Tables::Journal, Tables::Operators, Tables::Administrators, Tables::Audit,
                                     Tables::Passes, Tables::Chain, Tables::Trucks};
            QStringList names;
            for (const QString &t : tables)
                if (m_store->tableExists(t))
                    names << TableStore::sqlName(t);
            m_store->releaseReaders();
            QSqlQuery q(m_store->connection());
            if (names.size() == tables.size()) {
                TableStore::check(q.exec(QStringLiteral("TRUNCATE %1 RESTART IDENTITY").arg(names.join(", "))), q);
                HashChain::restart(*m_store);   // its first link, as a new database has it
                return;
            }
            TableStore::check(q.exec(QStringLiteral("DROP SCHEMA public CASCADE")), q);
            TableStore::check(q.exec(QStringLiteral("CREATE SCHEMA public")), q);
        } else {
            m_store = TableStore::openCreating(m_dir.path());
        }
        Schema::createTables(*m_store);
    } catch (const Failure &e) {
        m_error = e.message();
        m_store.reset();
    }
}

TempDatabase::~TempDatabase()
{
    if (QSqlDatabase::contains(OtherProgram)) {
        QSqlDatabase::database(OtherProgram, false).close();
        QSqlDatabase::removeDatabase(OtherProgram);
    }
}

QSqlDatabase TempDatabase::otherProgram()
{
    if (QSqlDatabase::contains(OtherProgram))
        return QSqlDatabase::database(OtherProgram);
    QSqlDatabase db;
    if (m_engine == TableStore::Engine::Server) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), OtherProgram);
        db.setConnectOptions(PgCluster::shared().connectionString(ServerDatabase));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), OtherProgram);
        db.setDatabaseName(TableStore::databasePath(programDir()));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    db.open();
    return db;
}

TableStore::Engine TempDatabase::engineNamed(const QString &name)
{
    return name == QLatin1String("server") ? TableStore::Engine::Server : TableStore::Engine::SQLite;
}

void TempDatabase::addJournalRow(TableStore &store, const QList<QPair<QString, QString>> &fields)
{
    TableCursor c(store, Tables::Journal);
    c.Open();
    c.Append();
    for (const auto &f : fields)
        c.SetFieldText(f.first, f.second);
    c.Post();
}

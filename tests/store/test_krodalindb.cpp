// The preparation tool on real folders and a real server: init adds the
// trail of hand edits to a folder prepared before it existed and touches
// nothing else; init --server prepares a server database as a folder's;
// copy moves a folder's tables onto a server row for row; audit prints the
// trail.

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include "common/failure.h"
#include "common/session.h"
#include "pgcluster.h"
#include "store/audittrail.h"
#include "store/rawquery.h"
#include "store/sqldialect.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolrun.h"

namespace {

int count(TableStore &store, const QString &table)
{
    QSqlQuery q(store.connection());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(TableStore::sqlName(table)));
    q.next();
    return q.value(0).toInt();
}

const QStringList AllTables{Tables::Journal, Tables::Operators, Tables::Administrators, Tables::Audit};

// What a store holds, engine aside: for each table its fields, the
// fields with an index of their own, and every row with its id.
QStringList contents(TableStore &store)
{
    QStringList out;
    for (const QString &t : AllTables) {
        TableCursor c(store, t);
        c.Open();
        QStringList indexed;
        for (const QString &f : c.fieldNames()) {
            RawQuery q(store, SqlDialect::indexOnFieldSql(c.store()), {TableStore::sqlName(t), f});
            if (q.next())
                indexed << f;
        }
        out << t + ": " + c.fieldNames().join(',') + " / indexed: " + indexed.join(',');
        for (const qint64 id : c.visibleIds(0, 0))
            out << QString::number(id) + '\t' + QStringList(c.rowById(id)).join('\t');
    }
    return out;
}

}

class TestKrodalinDb final : public QObject
{
    Q_OBJECT

private slots:
    void initAddsOnlyWhatIsMissing()
    {
        QTemporaryDir dir;
        // A folder as init made it before the trail and the index on the
        // make existed, with data in it.
        auto store = TableStore::openCreating(dir.path());
        Schema::createTables(*store);
        Schema::addAccount(*store, Tables::Administrators, "Админ", "1");
        {
            TableCursor journal(*store, Tables::Journal);
            journal.Open();
            journal.Append();
            journal.SetFieldText("N_Avto", "А001АА");
            journal.Post();
        }
        store->releaseReaders();
        QSqlQuery(store->connection()).exec("DROP TABLE bd_audit");
        QSqlQuery(store->connection()).exec("DROP INDEX bd_main_db_Marcka");
        store.reset();

        const Run first = krodalinDb({"init", dir.path()});
        QCOMPARE(first.code, 0);
        QVERIFY2(first.out.contains("BD_audit") && first.out.contains("по полям Marcka добавлены"),
                 qPrintable(first.out));
        const Run again = krodalinDb({"init", dir.path()});
        QVERIFY2(again.code == 0 && again.out.startsWith("Все таблицы уже есть"), qPrintable(again.out));

        store = TableStore::open(dir.path());
        QVERIFY(store->tableExists(Tables::Audit));
        QSqlQuery index(store->connection());
        QVERIFY(index.exec("SELECT 1 FROM pragma_index_list('bd_main_db') WHERE name = 'bd_main_db_Marcka'"));
        QVERIFY(index.next());
        index.finish();
        QCOMPARE(count(*store, Tables::Journal), 1);
        QCOMPARE(count(*store, Tables::Administrators), 1);
        QCOMPARE(count(*store, Tables::Operators), 0);
        QCOMPARE(count(*store, Tables::Audit), 0);
        store.reset();
    }

    void initPreparesAServerAsAFolder()
    {
        PgCluster &server = PgCluster::shared();
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        QVERIFY2(server.createDatabase("krodalin_init"), qPrintable(server.error()));
        const QString connection = server.connectionString("krodalin_init");
        const QStringList accounts{"--admin", "Админ", "--admin-password", "1", "--operator", "Иванов И.И.",
                                   "--operator-password", "2"};

        const Run made = krodalinDb(QStringList{"init", "--server", connection} + accounts);
        QVERIFY2(made.code == 0, qPrintable(made.err));
        QVERIFY2(made.out.contains("krodalin_init"), qPrintable(made.out));
        const Run again = krodalinDb({"init", "--server", connection});
        QVERIFY2(again.code == 0 && again.out.contains("Все таблицы уже есть"), qPrintable(again.out + again.err));

        QTemporaryDir dir;
        QCOMPARE(krodalinDb(QStringList{"init", dir.path()} + accounts).code, 0);
        auto store = TableStore::open(dir.path());
        const QStringList folder = contents(*store);
        store = TableStore::openServer(connection);
        QCOMPARE(contents(*store), folder);
        store.reset();
    }

    void copyMovesAFolderOntoAServer()
    {
        PgCluster &server = PgCluster::shared();
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        QVERIFY2(server.createDatabase("krodalin_copy"), qPrintable(server.error()));
        const QString connection = server.connectionString("krodalin_copy");

        // A site's folder: demo weighings, a deleted one (a gap in the ids),
        // texts that COPY's text form must escape, an empty date, accounts
        // and a trail of hand edits.
        QTemporaryDir dir;
        QCOMPARE(krodalinDb({"init", dir.path(), "--admin", "Админ", "--admin-password", "1", "--operator",
                             "Иванов И.И.", "--operator-password", "2"})
                     .code,
                 0);
        QCOMPARE(krodalinDb({"demo", dir.path(), "--rows", "40"}).code, 0);
        auto store = TableStore::open(dir.path());
        Session::OperatorName = QStringLiteral("Петров П.П.");
        {
            TableCursor journal(*store, Tables::Journal);
            journal.Open();
            journal.Next();
            journal.Delete();
            journal.Append();
            journal.SetFieldText("N_Avto", "tab\there\\back\nline\r\\N");
            journal.SetFieldText("Zakazchik", "O'Neil \"Trading\"");
            journal.SetFieldText("Dat", "");
            journal.Post();
            journal.setAudited(true);
            journal.Edit();
            journal.SetFieldText("Sum", "16,5");
            journal.Post();
        }
        const QStringList folder = contents(*store);
        const qint64 lastId = [&store] {
            TableCursor c(*store, Tables::Journal);
            c.Open();
            c.Last();
            return c.currentId();
        }();
        store.reset();

        const Run copied = krodalinDb({"copy", dir.path(), "--server", connection});
        QVERIFY2(copied.code == 0, qPrintable(copied.err));
        QVERIFY2(copied.out.contains("BD_main.db: 40"), qPrintable(copied.out));

        store = TableStore::openServer(connection);
        QCOMPARE(contents(*store), folder);
        // The next weighing gets the next number.
        TableCursor journal(*store, Tables::Journal);
        journal.Open();
        journal.Append();
        journal.SetFieldText("N_Avto", "А777АА");
        journal.Post();
        QCOMPARE(journal.currentId(), lastId + 1);
        journal.Close();

        // Copied once: a second copy is refused and changes nothing.
        const Run twice = krodalinDb({"copy", dir.path(), "--server", connection});
        QCOMPARE(twice.code, 1);
        QVERIFY2(twice.err.contains("уже содержит записи"), qPrintable(twice.err));
        QCOMPARE(count(*store, Tables::Journal), 41);
        store.reset();
    }

    // A station's database.ini names the server and the database, never a
    // password: libpq finds that in PGPASSFILE (or ~/.pgpass), and a service
    // file can stand for the keys. Without the password the station is
    // refused with the server's reason.
    void stationReachesTheServer_data()
    {
        QTest::addColumn<QString>("alias");   // database.ini's [WE] keys; SOCKET: the server's folder
        QTest::addColumn<QString>("services");   // the service file, or none
        QTest::addColumn<QString>("passwords");   // the password file
        QTest::addColumn<bool>("opens");
        const QString keys = "Driver=QPSQL\nHost=SOCKET\nDatabase=krodalin_station\nUser=station\n";
        const QString password = "*:*:krodalin_station:station:weigh-2024\n";
        QTest::newRow("keys, password from PGPASSFILE") << keys << QString() << password << true;
        QTest::newRow("service file")
            << "driver=qpsql\nservice=weighbridge\n"
            << "[weighbridge]\nhost=SOCKET\ndbname=krodalin_station\nuser=station\n" << password << true;
        QTest::newRow("no password") << keys << QString() << QString() << false;
    }

    void stationReachesTheServer()
    {
        QFETCH(QString, alias);
        QFETCH(QString, services);
        QFETCH(QString, passwords);
        QFETCH(bool, opens);
        PgCluster &server = PgCluster::shared();
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        static bool prepared = false;
        if (!prepared) {
            QVERIFY2(server.createDatabase("krodalin_station"), qPrintable(server.error()));
            QCOMPARE(krodalinDb({"init", "--server", server.connectionString("krodalin_station"), "--admin", "А",
                                 "--admin-password", "1", "--operator", "Иванов И.И.", "--operator-password", "2"})
                         .code,
                     0);
            QVERIFY2(server.addRoleWithPassword("station", "weigh-2024"), qPrintable(server.error()));
            prepared = true;
        }
        QTemporaryDir folder, home;
        const auto write = [](const QString &path, const QString &text) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0
                   && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        };
        QVERIFY(write(folder.filePath("database.ini"), "[WE]\n" + QString(alias).replace("SOCKET", server.socketDir())));
        QVERIFY(write(home.filePath("pgpass"), passwords));
        QVERIFY(write(home.filePath("services"), QString(services).replace("SOCKET", server.socketDir())));
        qputenv("PGPASSFILE", QFile::encodeName(home.filePath("pgpass")));
        qputenv("PGSERVICEFILE", QFile::encodeName(home.filePath("services")));
        const auto unset = qScopeGuard([] {
            qunsetenv("PGPASSFILE");
            qunsetenv("PGSERVICEFILE");
        });

        QString refusal;
        try {
            auto store = TableStore::open(folder.path());
            TableCursor operators(*store, Tables::Operators);
            operators.Open();
            QCOMPARE(operators.FieldText(0), QString("Иванов И.И."));
        } catch (const StoreError &e) {
            refusal = e.message();
        }
        if (opens) {
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        } else {
            QVERIFY2(refusal.startsWith("Нет связи с сервером базы данных (база krodalin_station на сервере")
                         && refusal.contains("password"),
                     qPrintable(refusal));
        }
    }

    void accountsListsAndMends_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("said");           // how its output begins
        QTest::addColumn<QStringList>("accounts");   // afterwards: table, name and password of every row
        const QString admin = "BD_tools2 Админ 1", op = "BD_tools.DB Иванов И.И. 2";
        QTest::newRow("both lists") << false << QStringList{}
            << "Администраторы (BD_tools2):\n  Админ\nПользователи (BD_tools.DB):\n  Иванов И.И.\n"
            << QStringList{admin, op};
        QTest::newRow("a new administrator") << false << QStringList{"--add-admin", "Главный", "--password", "g"}
            << "Администратор «Главный» добавлен\nАдминистраторы (BD_tools2):\n  Админ\n  Главный\n"
            << QStringList{admin, "BD_tools2 Главный g", op};
        QTest::newRow("a forgotten password, on a server") << true << QStringList{"--add-admin", "админ", "--password", "x"}
            << "Администратор «Админ»: пароль изменён\n" << QStringList{"BD_tools2 Админ x", op};
        QTest::newRow("an operator without a password") << false << QStringList{"--add-operator", "Петров", "--password", ""}
            << "Пользователь «Петров» добавлен\nАдминистраторы (BD_tools2):\n  Админ\nПользователи (BD_tools.DB):\n"
               "  Иванов И.И.\n  Петров  (без пароля)\n"
            << QStringList{admin, op, "BD_tools.DB Петров "};
    }

    // For a site locked out of its own program: the account lists, and an
    // account added or its password set, on a folder or a server.
    void accountsListsAndMends()
    {
        QFETCH(bool, onServer);
        QFETCH(QStringList, options);
        QFETCH(QString, said);
        QFETCH(QStringList, accounts);
        QTemporaryDir dir;
        QStringList where{dir.path()};
        if (onServer) {
            QVERIFY2(PgCluster::shared().createDatabase("krodalin_accounts"), qPrintable(PgCluster::shared().error()));
            where = QStringList{"--server", PgCluster::shared().connectionString("krodalin_accounts")};
        }
        QCOMPARE(krodalinDb(QStringList{"init"} + where + QStringList{"--admin", "Админ", "--admin-password", "1",
                                                                      "--operator", "Иванов И.И.", "--operator-password", "2"})
                     .code,
                 0);
        const Run run = krodalinDb(QStringList{"accounts"} + where + options);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(said), qPrintable(run.out + run.err));
        auto store = onServer ? TableStore::openServer(where[1]) : TableStore::open(dir.path());
        QStringList held;
        for (const QString &table : {Tables::Administrators, Tables::Operators}) {
            TableCursor c(*store, table);
            c.Open();
            for (const qint64 id : c.visibleIds(0, 0))
                held << table + ' ' + QStringList(c.rowById(id)).join(' ');
        }
        store.reset();
        QCOMPARE(held, accounts);
    }

    void auditPrintsTheTrail()
    {
        QTemporaryDir dir;
        auto store = TableStore::openCreating(dir.path());
        Schema::createTables(*store);
        Session::OperatorName = QStringLiteral("Петров П.П.");
        {
            TableCursor journal(*store, Tables::Journal);
            journal.Open();
            journal.Append();
            journal.SetFieldText("Sum", "15,32");
            journal.Post();
            journal.setAudited(true);
            journal.Edit();
            journal.SetFieldText("Sum", "16");
            journal.SetFieldText("N_Avto", "tab\there");
            journal.Post();
        }
        store.reset();

        const Run all = krodalinDb({"audit", dir.path()});
        QCOMPARE(all.code, 0);
        const QStringList lines = all.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        // One change of one field a line; a tab inside a text cannot split it.
        const QStringList avto = lines[0].split('\t');
        QCOMPARE(avto.mid(1), QStringList({"Петров П.П.", "edit", "BD_main.db", "1", "N_Avto", "", "tab\\there"}));
        const QStringList sum = lines[1].split('\t');
        QCOMPARE(sum.mid(1), QStringList({"Петров П.П.", "edit", "BD_main.db", "1", "Sum", "15,32", "16"}));

        const QString tomorrow = QDate::currentDate().addDays(1).toString("dd.MM.yyyy");
        const Run later = krodalinDb({"audit", dir.path(), "--since", tomorrow});
        QCOMPARE(later.code, 0);
        QCOMPARE(later.out, QString());
        const Run today = krodalinDb({"audit", dir.path(), "--since", QDate::currentDate().toString(Qt::ISODate)});
        QCOMPARE(today.out, all.out);
    }
};

QTEST_GUILESS_MAIN(TestKrodalinDb)
#include "test_krodalindb.moc"

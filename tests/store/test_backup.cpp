// Backups of the database while the program writes, and putting one back:
// the copy is the database as it stood when the copy began, whatever is
// posted meanwhile; krodalin-db restore takes only a sound copy, and only
// when no program has the database open.

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/failure.h"
#include "store/databasebackup.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolrun.h"

namespace {

void post(TableStore &store, const QString &truck)
{
    TableCursor c(store, Tables::Journal);
    c.Open();
    c.Append();
    c.SetFieldText("N_Avto", truck);
    c.SetFieldText("Tara", QStringLiteral("5,1"));
    c.Post();
}

// A program folder with the tables and the given trucks in the journal,
// closed again.
void prepare(const QString &folder, const QStringList &trucks)
{
    auto store = TableStore::openCreating(folder);
    Schema::createTables(*store);
    QSqlDatabase db = store->connection();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO bd_main_db (N_Avto, Tara) VALUES (?, '5,1')"));
    for (const QString &t : trucks) {
        q.addBindValue(t);
        q.exec();
    }
    q.finish();
    db.commit();
    store.reset();
}

// The first column of sql's rows on the database file at path, read-only.
QStringList column(const QString &path, const QString &sql)
{
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (db.open() && q.exec(sql))
            while (q.next())
                values << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return values;
}

QStringList trucksIn(const QString &path)
{
    return column(path, QStringLiteral("SELECT N_Avto FROM bd_main_db ORDER BY id"));
}

// Runs in a child process, as the program would: opens the database of
// folder, posts one truck, says "ready" and holds the database open until its
// standard input closes.
int holdOpen(const QString &folder, const QString &truck)
{
    auto store = TableStore::open(folder);
    post(*store, truck);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    store.reset();
    return 0;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes bytes at offset at of the file (a new file when it is missing).
bool overwrite(const QString &path, qint64 at, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.seek(at) && f.write(bytes) == bytes.size();
}

}

class TestBackup final : public QObject
{
    Q_OBJECT

private slots:
    // The program posts weighings on its thread while the copy is taken on
    // another, a post between every two steps of the copy. The copy holds
    // exactly the journal as it stood when it began: every weighing
    // confirmed before, none of the later ones, no gap.
    void backupWhilePosting()
    {
        QTemporaryDir dir, restored;
        QStringList before;
        for (int i = 0; i < 300; ++i)
            before << QStringLiteral("Р%1").arg(i);
        prepare(dir.path(), before);
        auto store = TableStore::open(dir.path());
        const QString source = TableStore::databasePath(dir.path());
        const QString copy = dir.filePath(QStringLiteral("copy.sqlite"));
        // Never a copy over the database itself.
        QVERIFY_THROWS_EXCEPTION(StoreError, DatabaseBackup::take(source, source));

        std::atomic_int confirmed{0};
        std::atomic_bool done{false};
        int steps = 0;
        bool finished = false;
        QString failure;
        std::thread backup([&] {
            try {
                // Two pages a step; between steps, wait for the next post.
                finished = DatabaseBackup::take(
                    source, copy,
                    [&] {
                        if (++steps > 2000)
                            return false;   // restarting for ever
                        const int seen = confirmed;
                        for (int i = 0; i < 5000 && confirmed == seen; ++i)
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        return true;
                    },
                    2);
            } catch (const Failure &e) {
                failure = e.message();
            }
            done = true;
        });
        int posted = 0;
        while (!done) {
            post(*store, QStringLiteral("П%1").arg(posted));
            confirmed = ++posted;
        }
        backup.join();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(finished);
        QVERIFY2(steps >= 10, qPrintable(QString::number(steps)));
        // The copy taken inside the program leaves the program's hold on its
        // database as it was: nobody can put a copy in its place meanwhile.
        const Run refused = krodalinDb({"restore", dir.path(), copy});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains("открыта другой программой"), qPrintable(refused.err));
        store.reset();

        const QString target = TableStore::databasePath(restored.path());
        QCOMPARE(DatabaseBackup::restore(copy, target), QString());
        QCOMPARE(DatabaseBackup::check(target), QString());
        const QStringList trucks = trucksIn(target);
        QCOMPARE(trucks.mid(0, before.size()), before);
        const qsizetype during = trucks.size() - before.size();
        QVERIFY2(during < posted, qPrintable(QStringLiteral("%1 of %2").arg(during).arg(posted)));
        for (qsizetype i = 0; i < during; ++i)
            QCOMPARE(trucks[before.size() + i], QStringLiteral("П%1").arg(i));
    }

    // A copy made by krodalin-db backup into a folder, the journal changed
    // after it, then the copy spoilt as a disk or a person spoils it (or the
    // program still running): restore puts back only a sound copy, and keeps
    // the replaced database; a refused one changes no file.
    void restoreChecksTheCopy_data()
    {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<bool>("programRuns");
        QTest::addColumn<QString>("refusal");   // empty: restored
        QTest::newRow("sound copy") << "" << false << "";
        QTest::newRow("copy from before the trail") << "no trail" << false << "";
        QTest::newRow("journal page overwritten") << "page" << false << "не годится";
        QTest::newRow("cut short") << "cut" << false << "не годится";
        QTest::newRow("not a database") << "text" << false << "не является базой данных SQLite";
        QTest::newRow("program still running") << "" << true << "открыта другой программой";
    }

    void restoreChecksTheCopy()
    {
        QFETCH(QString, spoil);
        QFETCH(bool, programRuns);
        QFETCH(QString, refusal);
        QTemporaryDir folder, copies;
        prepare(folder.path(), {"Р0", "Р1", "Р2"});
        const QString database = TableStore::databasePath(folder.path());
        if (spoil == QLatin1String("no trail")) {
            auto store = TableStore::open(folder.path());
            QVERIFY(QSqlQuery(store->connection()).exec(QStringLiteral("DROP TABLE bd_audit")));
            store.reset();
        }

        const Run backup = krodalinDb({"backup", folder.path(), copies.path()});
        QCOMPARE(backup.code, 0);
        const QString copy = copies.filePath(DatabaseBackup::fileName(QDate::currentDate()));
        QVERIFY2(backup.out.contains(copy), qPrintable(backup.out));
        QCOMPARE(QDir(copies.path()).entryList(QDir::Files), QStringList(DatabaseBackup::fileName(QDate::currentDate())));

        // The journal goes on after the copy: one more truck, posted by a
        // program that keeps the database open through the restore, or that
        // has ended.
        QProcess program;
        if (programRuns) {
            program.start(QCoreApplication::applicationFilePath(), {"--hold", folder.path(), "Р3"});
            QVERIFY(program.waitForReadyRead(20000));
            QCOMPARE(program.readLine(), QByteArray("ready\n"));
        } else {
            auto store = TableStore::open(folder.path());
            post(*store, QStringLiteral("Р3"));
            store.reset();
        }

        if (spoil == QLatin1String("page"))
            QVERIFY(overwrite(copy,
                              column(copy, "SELECT (rootpage - 1) * (SELECT page_size FROM pragma_page_size) "
                                           "FROM sqlite_master WHERE name = 'bd_main_db'")
                                  .value(0, "-1")
                                  .toLongLong(),
                              QByteArray(200, char(0xA5))));
        else if (spoil == QLatin1String("cut"))
            QVERIFY(QFile::resize(copy, QFileInfo(copy).size() / 2));
        else if (spoil == QLatin1String("text"))
            QVERIFY(QFile::remove(copy) && overwrite(copy, 0, "[Tool]\r\nCOM=com1\r\n"));
        const QByteArray copyBytes = bytesOf(copy);
        const QByteArray databaseBytes = bytesOf(database);

        const Run restore = krodalinDb({"restore", folder.path(), copy});
        const QByteArray databaseAfter = bytesOf(database);
        if (programRuns) {
            program.closeWriteChannel();
            QVERIFY(program.waitForFinished(20000));
            QCOMPARE(program.exitCode(), 0);
        }

        QCOMPARE(bytesOf(copy), copyBytes);
        if (!refusal.isEmpty()) {
            QCOMPARE(restore.code, 1);
            QVERIFY2(restore.err.contains(refusal), qPrintable(restore.err));
            QVERIFY(databaseAfter == databaseBytes);
            QVERIFY(!QFileInfo::exists(database + ".before-restore"));
            QCOMPARE(trucksIn(database), QStringList({"Р0", "Р1", "Р2", "Р3"}));
            return;
        }
        QCOMPARE(restore.code, 0);
        QVERIFY2(restore.out.contains(database + ".before-restore"), qPrintable(restore.out));
        QCOMPARE(trucksIn(database), QStringList({"Р0", "Р1", "Р2"}));
        QCOMPARE(trucksIn(database + ".before-restore"), QStringList({"Р0", "Р1", "Р2", "Р3"}));
        QCOMPARE(DatabaseBackup::check(database), QString());
        // The restored journal can be edited: it has the trail, added when the copy lacked it.
        QCOMPARE(column(database, "SELECT count(*) FROM bd_audit"), QStringList("0"));
        QCOMPARE(restore.out.contains("BD_audit"), spoil == QLatin1String("no trail"));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--hold") == 0)
        return holdOpen(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestBackup t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_backup.moc"

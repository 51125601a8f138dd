// The program's own backup at the first start of a day: which copies
// data/backup holds afterwards, and a copy that fails, reported once while
// the weighing goes on.

#include <QDir>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

#include <optional>
#include <sys/file.h>

#include "app/dailybackup.h"
#include "app/settingsfile.h"
#include "filesizelimit.h"
#include "messageboxes.h"
#include "store/databasebackup.h"
#include "weighfixture.h"

namespace {

const QDate Today(2026, 3, 15);

QString copyOf(int month, int day) { return DatabaseBackup::fileName(QDate(2026, month, day)); }

// Copies of the days before Today, the newest first.
QStringList olderCopies(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << DatabaseBackup::fileName(Today.addDays(-i));
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

}

class TestDailyBackup final : public QObject
{
    Q_OBJECT

private slots:
    // What tools.ini says and what data/backup held before the start, and
    // what it holds after it. A file that is no copy of the program's stays;
    // what a copy cut off by a killed program left goes, but a part that
    // another copy is writing stays.
    void copiesKept_data()
    {
        QTest::addColumn<QString>("backups");   // null: no such key
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("copied");   // today's copy made by this start
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("writing");   // a part that another copy holds

        const QStringList strangers = {"notes.txt", "WE-2026-03-01.sqlite.bak", "WE-latest.sqlite",
                                       "we-2026-03-02.sqlite"};
        QTest::newRow("three kept of five older")
            << "3"
            << olderCopies(5) + strangers + QStringList{copyOf(3, 13) + ".part"}
            << QStringList{copyOf(3, 15), copyOf(3, 14), copyOf(3, 13)} + strangers << true << "sqlite" << "";
        QTest::newRow("0 makes none and keeps all") << "0" << olderCopies(5) << olderCopies(5)
                                                    << false << "sqlite" << "";
        QTest::newRow("second start of the day")
            << "3" << QStringList{copyOf(3, 15)} + olderCopies(5)
            << QStringList{copyOf(3, 15), copyOf(3, 14), copyOf(3, 13)} << false << "sqlite" << "";
        QTest::newRow("not a number: 14") << "много" << olderCopies(20)
                                       << QStringList{copyOf(3, 15)} + olderCopies(13) << true << "sqlite" << "";
        QTest::newRow("no key: 14") << QString() << olderCopies(15) << QStringList{copyOf(3, 15)} + olderCopies(13) << true << "sqlite" << "";
        QTest::newRow("only today's") << "1" << olderCopies(2) << QStringList{copyOf(3, 15)}
                                      << true << "sqlite" << "";
        const QString part = copyOf(3, 15) + ".part";
        QTest::newRow("part of a killed copy, and its log")
            << "3" << QStringList{part, part + "-wal", copyOf(3, 14) + ".part-journal"} << QStringList{copyOf(3, 15)}
            << true << "sqlite" << "";
        QTest::newRow("second start of the day, a part left")
            << "3" << QStringList{copyOf(3, 15), part} << QStringList{copyOf(3, 15)} << false << "sqlite" << "";
        QTest::newRow("another copy under way") << "3" << QStringList{part, copyOf(3, 13) + ".part"}
                                                << QStringList{part} << false << "sqlite" << part;
        // A journal on a server is the server's to back up: nothing here.
        QTest::newRow("server station") << "3" << olderCopies(5) << olderCopies(5) << false << "server" << "";
    }

    void copiesKept()
    {
        QFETCH(QString, backups);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(bool, copied);
        QFETCH(QString, engine);
        QFETCH(QString, writing);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.addJournalRow({{"N_Avto", "А001АА"}, {"Tara", "5,1"}});
        IniFile ini(settingsFilePath(db.programDir()));
        ini.writeString(QStringLiteral("Tool"), QStringLiteral("COM"), QStringLiteral("com1"));
        if (!backups.isNull())
            ini.writeString(QStringLiteral("Tool"), QStringLiteral("backups"), backups);
        const QString folder = DailyBackup::folder(db.programDir());
        QVERIFY(QDir().mkpath(folder));
        const QByteArray earlier("a copy made earlier today");
        for (const QString &name : before) {
            QFile f(QDir(folder).filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(earlier) == earlier.size());
        }
        QFile held(QDir(folder).filePath(writing));
        if (!writing.isEmpty())
            QVERIFY(held.open(QIODevice::ReadWrite) && ::flock(held.handle(), LOCK_EX | LOCK_NB) == 0);

        DailyBackup backup(db.programDir(), Today);
        QSignalSpy finished(&backup, &DailyBackup::finished);
        if (backup.start()) {
            QVERIFY(finished.wait(20000));
            QCOMPARE(finished.first().first().toString(), QString());
        }

        QCOMPARE(sorted(QDir(folder).entryList(QDir::Files)), sorted(after));
        const QString today = QDir(folder).filePath(copyOf(3, 15));
        if (!after.contains(copyOf(3, 15)))
            return;
        QFile copy(today);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        if (!copied) {
            QCOMPARE(copy.readAll(), earlier);
            return;
        }
        copy.close();
        QCOMPARE(DatabaseBackup::check(today), QString());
        QSqlDatabase look = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        look.setDatabaseName(today);
        QVERIFY(look.open());
        QSqlQuery q(look);
        QVERIFY(q.exec(QStringLiteral("SELECT N_Avto, Tara FROM bd_main_db")) && q.next());
        QCOMPARE(q.value(0).toString() + "/" + q.value(1).toString(), QStringLiteral("А001АА/5,1"));
        QVERIFY(!q.next());
        q.finish();
        look = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("look"));
    }

    // No copy begins before the main window is up. One that cannot be made
    // is told once, in the program's error box, leaves no file behind, and
    // the next first pass is stored as ever.
    void failedCopyIsReportedOnce_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("backup folder cannot be made") << "folder";
        QTest::newRow("disk full while copying") << "full";
    }

    void failedCopyIsReportedOnce()
    {
        QFETCH(QString, fault);
        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;
        const QString folder = DailyBackup::folder(fx.db.programDir());
        if (fault == QLatin1String("folder"))
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));   // a file where the folder belongs
        std::optional<FileSizeLimit> full;
        if (fault == QLatin1String("full"))
            full.emplace(16 * 1024);

        // Nothing is copied before the main window, its lists filled, is up.
        const std::unique_ptr<DailyBackup> backup = startDailyBackup(fx.db.programDir(), *fx.form);
        QCoreApplication::processEvents();
        QVERIFY(!backup->isStarted());
        fx.form->show();
        QSignalSpy finished(backup.get(), &DailyBackup::finished);
        QVERIFY(finished.wait(20000));
        QVERIFY(watcher.waitForBoxes(1));
        full.reset();

        fx.fill(truck(QStringLiteral("А123ВС")));
        QVERIFY(fx.settle(5.1));
        fx.weigh();

        QCOMPARE(watcher.seen().size(), 2);
        const ModalWatcher::Box report = watcher.seen()[0];
        QCOMPARE(report.title, QStringLiteral("Krodalin"));
        QCOMPARE(report.icon, QMessageBox::Critical);
        QVERIFY2(report.text.startsWith(QStringLiteral("Резервная копия базы данных не сделана: ")) &&
                     report.text.contains(folder),
                 qPrintable(report.text));
        QCOMPARE(watcher.seen()[1].title, QStringLiteral("Взвешивание"));
        const QList<QStringList> rows = fx.journal();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(0, 13), truck(QStringLiteral("А123ВС")));
        if (QFileInfo(folder).isDir())
            QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestDailyBackup)
#include "test_dailybackup.moc"

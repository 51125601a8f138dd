// The whole start order as the program runs it, on databases a person may
// really find: a journal whose file is damaged, and a database.ini that names
// a file which is not a database at all.

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "common/session.h"
#include "app/startup.h"
#include "messageboxes.h"
#include "programfolder.h"
#include "store/schema.h"
#include "store/tablestore.h"

namespace {

const QString Operator = QStringLiteral("Сидоров");
const QString Password = QStringLiteral("pw");
const QString BackupFailed = QStringLiteral("Резервная копия базы данных не сделана: ");

// The tables with one operator and a few weighings, closed again.
void prepareDatabase(const QString &folder)
{
    auto store = TableStore::openCreating(folder);
    Schema::createTables(*store);
    Schema::addAccount(*store, Tables::Operators, Operator, Password);
    QSqlQuery q(store->connection());
    for (int i = 0; i < 20; ++i)
        QVERIFY(q.exec(QStringLiteral("INSERT INTO bd_main_db (N_Avto, Tovar, Ok_tara) VALUES ('А%1', 'песок', '1')")
                           .arg(i)));
    store.reset();
}

// Overwrites 200 bytes at the start of the journal's root page, as a failing
// disk or a half-copied file would.
void damageJournal(const QString &folder)
{
    auto store = TableStore::open(folder);
    QSqlQuery q(store->connection());
    QVERIFY(q.exec(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='bd_main_db'")) && q.next());
    const qint64 root = q.value(0).toLongLong();
    QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
    const qint64 pageSize = q.value(0).toLongLong();
    q.finish();
    const QString path = TableStore::databasePath(folder);
    store.reset();   // the last connection folds the log back into the file
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek((root - 1) * pageSize));
    QCOMPARE(file.write(QByteArray(200, char(0xA5))), qint64(200));
}

// What a person types, one key at a time (QTest::keyClicks knows Latin only).
void typeText(QWidget *w, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
}

QWidget *topLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

} // namespace

class TestStartOrder final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Session::LoginOk = 0;
        Session::OperatorName.clear();
    }

    // A damaged journal: each window that reads it reports the engine's
    // message, the day's backup refuses to copy it (once, and leaves no file
    // that could push a sound copy out), and the program runs on with empty
    // lists until the operator leaves it.
    void damagedJournalIsReportedAndTheProgramRuns()
    {
        ProgramFolder folder;
        prepareDatabase(folder.path());
        damageJournal(folder.path());

        ModalWatcher watcher;
        watcher.handleDialog([](QWidget *login) {
            typeText(login->findChild<QComboBox *>(QStringLiteral("OperatorName")), QStringLiteral("сид"));
            typeText(login->findChild<QWidget *>(QStringLiteral("OperatorPassword")), Password);
            login->findChild<QPushButton *>(QStringLiteral("ContinueButton"))->click();
        });

        // Once the program waits in its own loop: look at it as the operator
        // would, then leave through " Выход".
        int listItems = -1, gridRows = -1;
        QTimer operatorLeaves;
        connect(&operatorLeaves, &QTimer::timeout, [&] {
            QWidget *main = topLevel("MainForm");
            // The pending-truck window is made after the main window shows; a
            // tick between its error box and the end of its making finds it
            // without its grid model yet, so wait for that too.
            QWidget *pending = topLevel("DBnew");
            auto *pendingGrid = pending ? pending->findChild<QTableView *>(QStringLiteral("DBGrid1")) : nullptr;
            // The backup reports from its own thread whenever it is done.
            const bool backupReported = std::any_of(watcher.seen().begin(), watcher.seen().end(),
                                                    [](const auto &box) { return box.text.startsWith(BackupFailed); });
            if (!main || !main->isVisible() || QApplication::activeModalWidget() || !pendingGrid
                || !pendingGrid->model() || !backupReported)
                return;
            operatorLeaves.stop();
            listItems = main->findChild<QComboBox *>(QStringLiteral("ComboBox1"))->count();
            gridRows = pendingGrid->model()->rowCount();
            watcher.answer(QMessageBox::Yes);
            main->findChild<QPushButton *>(QStringLiteral("RxSpeedButton9"))->click();
        });
        operatorLeaves.start(20);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(20000);

        const int rc = runStartOrder(folder.path());

        QCOMPARE(rc, 0);
        QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
        QCOMPARE(Session::LoginOk, 1);
        QCOMPARE(Session::OperatorName, Operator);
        const auto &seen = watcher.seen();
        QVERIFY(seen.size() >= 3);
        int backupReports = 0;
        for (int i = 0; i < seen.size() - 1; ++i) {
            QCOMPARE(seen[i].title, QStringLiteral("Krodalin"));
            QCOMPARE(seen[i].icon, QMessageBox::Critical);
            if (seen[i].text.startsWith(BackupFailed)) {
                ++backupReports;
                continue;
            }
            QCOMPARE(seen[i].text, QStringLiteral("database disk image is malformed."));
        }
        QCOMPARE(backupReports, 1);
        QCOMPARE(QDir(folder.filePath(QStringLiteral("data/backup"))).entryList(QDir::Files), QStringList());
        QCOMPARE(seen.last().text, QStringLiteral("Вы хотите завершить работу программы?"));
        QCOMPARE(listItems, 0);
        QCOMPARE(gridRows, 0);
    }

    // database.ini names a file that is not a database: the program says what
    // it found, leaves the file as it was and does not start.
    void fileThatIsNotADatabaseIsLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("found");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("пуст");
        QTest::newRow("text file") << QByteArray("[Tool]\r\nCOM=com1\r\n") << QStringLiteral("не является базой данных");
    }

    void fileThatIsNotADatabaseIsLeftAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, found);
        ProgramFolder folder;
        QVERIFY(folder.writeFile(QStringLiteral("database.ini"), "[WE]\nPath=journal.db\n"));
        QVERIFY(folder.writeFile(QStringLiteral("journal.db"), content));

        ModalWatcher watcher;
        const int rc = runStartOrder(folder.path());

        QVERIFY(rc != 0);
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
        QVERIFY2(watcher.seen()[0].text.contains(found), qPrintable(watcher.seen()[0].text));
        QVERIFY2(watcher.seen()[0].text.contains(folder.filePath(QStringLiteral("journal.db"))),
                 qPrintable(watcher.seen()[0].text));
        QVERIFY(watcher.dialogs().isEmpty());   // no login window
        QCOMPARE(folder.readFile(QStringLiteral("journal.db")), content);
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("journal.db-wal"))));
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());   // nothing left open
    }

    // A journal never prepared: the program says which command prepares it,
    // makes no database file itself and does not start.
    void unpreparedJournalNamesTheCommand_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("new folder") << QStringLiteral("none");
        QTest::newRow("preparation stopped before the tables") << QStringLiteral("no tables");
        // As installed: data/ leads into the site's folder, named in quotes for its blank.
        QTest::newRow("data/ a link") << QStringLiteral("link");
    }

    void unpreparedJournalNamesTheCommand()
    {
        QFETCH(QString, how);
        ProgramFolder folder;
        QTemporaryDir site;
        const QString siteFolder = site.filePath(QStringLiteral("весовая 1"));
        QString database = folder.filePath(QStringLiteral("data/WE.sqlite"));
        QString named = folder.path();
        if (how == QLatin1String("no tables")) {
            auto store = TableStore::openCreating(folder.path());
            store.reset();
        } else if (how == QLatin1String("link")) {
            QVERIFY(QDir().mkpath(siteFolder + QStringLiteral("/data")));
            QVERIFY(QFile::link(siteFolder + QStringLiteral("/data"), folder.filePath(QStringLiteral("data"))));
            named = QStringLiteral("'%1'").arg(siteFolder);
            database = siteFolder + QStringLiteral("/data/WE.sqlite");
        }

        ModalWatcher watcher;
        const int rc = runStartOrder(folder.path());

        QVERIFY(rc != 0);
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
        QCOMPARE(watcher.seen()[0].icon, QMessageBox::Information);
        QCOMPARE(watcher.seen()[0].text,
                 QStringLiteral("Журнал ещё не подготовлен: в базе данных WE (%1) нет таблиц программы.\n\n"
                                "Подготовьте её один раз командой\n\n"
                                "    krodalin-db init %2\n\n"
                                "(она спросит имена и пароли первого администратора и оператора) "
                                "и запустите программу снова.")
                     .arg(database, named));
        QVERIFY(watcher.dialogs().isEmpty());   // no login window
        QCOMPARE(QFileInfo::exists(folder.filePath(QStringLiteral("data/WE.sqlite"))), how == QLatin1String("no tables"));
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());   // nothing left open
    }
};

QTEST_MAIN(TestStartOrder)
#include "test_startorder.moc"

// Two weighbridges on one journal, and the server going away under one.
//
// Station B lives in this process; station A is a second process of this
// test program (started with --station): its own connection, its own weigh
// operation and its own simulated indicator, as a second program is. The
// two-station cases run on both engines: a PostgreSQL server (this test
// program's throw-away one), and one SQLite file that two programs on one
// machine share.

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

#include "../indicator/linkfixture.h"
#include "common/failure.h"
#include "common/session.h"
#include "journal/journalpage.h"
#include "messageboxes.h"
#include "pgcluster.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "weighing/entryform.h"
#include "weighing/journalrecord.h"
#include "store/passlog.h"
#include "store/truckregister.h"
#include "weighing/tnewdb.h"
#include "weighing/truckchoice.h"
#include "weighing/weighoperation.h"

using Mode = WeighingMode;

namespace {

const QString OperatorA = QStringLiteral("Петров П.П.");
const QString OperatorB = QStringLiteral("Сидорова А.В.");
const QString CompletedElsewhere = QStringLiteral(
    "Эту машину только что взвесили на другом весовом посту. Второе взвешивание не записано. "
    "Выберите машину заново в списке ожидающих взвешивания.");
const QString NoLongerAwaiting = QStringLiteral(
    "Выбранная машина больше не ожидает взвешивания. Выберите машину заново в списке ожидающих взвешивания.");
const QString ServerLost = QStringLiteral("Нет связи с сервером базы данных");

QStringList truckTexts(const QString &number, const QString &driver)
{
    return {number, "КамАЗ", driver, "Автобаза 3", "ООО Карьер", "ЗАО Щебень", "ООО Стройка",
            "Склад 2", "щебень", "наличный", "104512", "", "Карьер 5"};
}

QStringList listOf(QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList stored(TableStore &store, qint64 id)
{
    TableCursor c(store, Tables::Journal);
    c.Open();
    return QStringList(c.rowById(id));
}

// One weighbridge: an entry form over its journal view, the pending-truck
// window, a link switched on to a simulated indicator.
class Station
{
public:
    Station(TableStore &store, const QString &operatorName) : journal(store, Tables::Journal)
    {
        Session::LoginOk = 1;
        Session::OperatorName = operatorName;
        lf.switchOn();
        journal.Open();
        form = std::make_unique<EntryForm>(EntryFormHost{nullptr, nullptr, &unit, &journal, lf.link.get()});
        form->fillReferenceLists();
        pending = std::make_unique<TnewDB>(form.get());
        form->weighing()->setPendingWindow(pending.get());
        trucks = std::make_unique<TruckChoice>(form.get());
        form->weighing()->setTruckChoice(trucks.get());
    }

    WeighOperation *weighing() const { return form->weighing(); }

    // "Тара перед погрузкой" with the truck's texts; the stored record's id, 0 when none.
    qint64 firstPass(const QStringList &texts, double weight)
    {
        QSignalSpy storedIds(weighing(), &WeighOperation::firstPassStored);
        form->modeButton(Mode::GrossBeforeUnloading)->click();
        form->modeButton(Mode::TareBeforeLoading)->click();
        for (int i = 0; i < texts.size(); ++i)
            form->setFieldText(i + 1, texts[i]);
        if (!weigh(weight))
            return 0;
        return storedIds.isEmpty() ? 0 : storedIds[0][0].toLongLong();
    }

    // "Брутто после погрузки": the record chosen in the pending-truck window
    // as the operator does, by its row in the list.
    bool choose(qint64 id)
    {
        watcher.handleDialog([id](QWidget *w) {
            auto *d = qobject_cast<TnewDB *>(w);
            if (!d)
                return;
            CursorModel *m = d->grid()->cursorModel();
            for (int row = 0; row < m->rowCount(); ++row)
                if (m->idAt(row) == id)
                    d->grid()->setCurrentIndex(m->index(row, 0));
            d->chooseButton()->click();
        });
        form->modeButton(Mode::GrossAfterLoading)->click();
        return weighing()->chosenRecordId() == id;
    }

    // "Брутто по сохранённой таре" on the register's first truck, weighed.
    bool onePass(double weight)
    {
        watcher.handleDialog([](QWidget *w) {
            if (auto *d = qobject_cast<TruckChoice *>(w))
                d->ChooseClick();
        });
        form->modeButton(Mode::GrossByStoredTare)->click();
        return weigh(weight);
    }

    bool weigh(double weight)
    {
        if (!settleLink(*lf.link, lf.sim, weight))
            return false;
        form->weighButton()->click();
        return true;
    }

    LinkFixture lf;
    TableCursor journal;
    QLabel unit{QStringLiteral("кг")};
    std::unique_ptr<EntryForm> form;
    std::unique_ptr<TnewDB> pending;
    std::unique_ptr<TruckChoice> trucks;
    ModalWatcher watcher;
};

// Station A's side: what it is told to do, then every box it showed, one a
// line ("stored ID", "chosen", "box TEXT").
int runStation(const QStringList &args)
{
    if (args.size() < 4)
        return 2;
    QTextStream out(stdout);
    try {
        auto store = TableStore::open(args[0]);
        Station a(*store, args[1]);
        if (args[2] == QLatin1String("first") && args.size() == 5) {
            out << "stored " << a.firstPass(truckTexts(args[3], QStringLiteral("Водитель А")), args[4].toDouble())
                << "\n";
        } else if (args[2] == QLatin1String("second") && args.size() >= 5) {
            if (!a.choose(args[3].toLongLong()))
                return 3;
            if (args.size() == 6) {
                // Chosen, as the other station's operator has too; "Взвесить" when told.
                out << "chosen\n" << Qt::flush;
                QTextStream(stdin).readLine();
            }
            a.weigh(args[4].toDouble());
        } else if (args[2] == QLatin1String("onepass")) {
            a.onePass(args[3].toDouble());
        } else {
            return 2;
        }
        for (const ModalWatcher::Box &box : a.watcher.seen())
            out << "box " << box.text << "\n";
    } catch (const Failure &e) {
        out << "failure " << e.message() << "\n";
        return 1;
    }
    return 0;
}

class StationA
{
public:
    StationA(const QString &programDir, const QStringList &command)
    {
        m_process.start(QCoreApplication::applicationFilePath(),
                        QStringList{"--station", programDir, OperatorA} + command);
    }

    // Until its line "chosen".
    bool waitUntilChosen()
    {
        while (!m_out.contains("chosen\n"))
            if (!m_process.waitForReadyRead(30000))
                return false;
            else
                m_out += m_process.readAllStandardOutput();
        return true;
    }
    void pressWeigh() { m_process.write("go\n"); }

    // Its lines once it is done.
    QStringList finish()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(60000))
            return {"did not finish"};
        m_out += m_process.readAllStandardOutput();
        QStringList lines = QString::fromUtf8(m_out).split('\n', Qt::SkipEmptyParts);
        if (m_process.exitCode() != 0)
            lines << QStringLiteral("exit %1: %2").arg(m_process.exitCode()).arg(QString::fromUtf8(m_process.readAllStandardError()));
        lines.removeAll("chosen");
        return lines;
    }

private:
    QProcess m_process;
    QByteArray m_out;
};

qint64 storedId(const QStringList &lines)
{
    for (const QString &l : lines)
        if (l.startsWith("stored "))
            return l.mid(7).toLongLong();
    return 0;
}

} // namespace

class TestSharedJournal final : public QObject
{
    Q_OBJECT

    static void engines()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("server") << "server";
        QTest::newRow("sqlite, two programs on one file") << "sqlite";
    }

private slots:
    void firstPassAtOneCompletedAtTheOther_data() { engines(); }

    // A's first pass shows in B's pending-truck window, B's reference lists
    // and B's journal page at their next rebuild, and B completes it.
    void firstPassAtOneCompletedAtTheOther()
    {
        QFETCH(QString, engine);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.addJournalRow({{"N_Avto", "В001ВВ"}, {"FIO", "Водитель Б"}, {"Ok_cicle", "2"}});
        Station b(db.store(), OperatorB);
        QVERIFY(b.lf.plugged);

        // B's journal page, visited once before A weighs.
        QWidget panel;
        QCheckBox editFlag;
        JournalPage page({&panel, &b.journal, &editFlag});
        panel.show();
        QCOMPARE(page.grid()->cursorModel()->rowCount(), 1);

        StationA a(db.programDir(), {"first", "А001АА", "5.1"});
        const QStringList told = a.finish();
        const qint64 id = storedId(told);
        QVERIFY2(id > 0, qPrintable(told.join(" | ")));
        QVERIFY(!listOf(b.form->entryField(1)).contains("А001АА"));

        // B's next rebuilds: a visit of its journal page ...
        panel.hide();
        panel.show();
        CursorModel *grid = page.grid()->cursorModel();
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->idAt(1), id);
        QTRY_VERIFY(listOf(page.searchList(2)).contains("А001АА"));   // read on a worker

        // ... and the form reset after a first pass of its own, whose row
        // lies after A's: the lists take both.
        const QStringList own = truckTexts("В002ВВ", "Водитель Б");
        for (int i = 0; i < own.size(); ++i)
            b.form->setFieldText(i + 1, own[i]);
        QVERIFY(b.weigh(7));
        const QStringList trucks = listOf(b.form->entryField(1));
        QCOMPARE(trucks.mid(trucks.size() - 2), QStringList({"А001АА", "В002ВВ"}));
        QVERIFY(listOf(b.form->entryField(3)).contains("Водитель А"));
        b.watcher.clear();

        // B's pending-truck window offers it; B completes it.
        QVERIFY(b.choose(id));
        QCOMPARE(b.form->fieldText(1), QString("А001АА"));
        QCOMPARE(b.form->weights().tare, QString("5,1"));
        QVERIFY(b.weigh(15.32));
        QCOMPARE(b.watcher.seen().size(), 1);
        QCOMPARE(b.watcher.seen()[0].text, WeighingModes::completionText(Mode::GrossAfterLoading));
        const QStringList row = stored(db.store(), id);
        QCOMPARE(row[WeighingRecord::Tara], QString("5,1"));
        QCOMPARE(row[WeighingRecord::Sum], QString("15,32"));
        QCOMPARE(row[WeighingRecord::Netto], QString("10,22"));
        QCOMPARE(row[WeighingRecord::Ok_cicle], WeighingRecord::Completed);
        QCOMPARE(row[WeighingRecord::Klad], OperatorB);
        QVERIFY(b.watcher.problems().isEmpty());
    }

    void bothPressWeighOnOneTruck_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("aFirst");   // A's press lands while B's is under way
        QTest::newRow("server, A completes inside B's press") << "server" << true;
        QTest::newRow("server, B completes before A presses") << "server" << false;
        QTest::newRow("sqlite, A completes inside B's press") << "sqlite" << true;
        QTest::newRow("sqlite, B completes before A presses") << "sqlite" << false;
    }

    // Both stations chose the same waiting truck and press "Взвесить": the
    // record is completed once, by one of them; the other is refused before
    // anything is written and keeps its form.
    void bothPressWeighOnOneTruck()
    {
        QFETCH(QString, engine);
        QFETCH(bool, aFirst);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        Station b(db.store(), OperatorB);
        QVERIFY(b.lf.plugged);
        StationA first(db.programDir(), {"first", "А002АА", "5.1"});
        const qint64 id = storedId(first.finish());
        QVERIFY(id > 0);
        QVERIFY(b.choose(id));
        const EntryWeights chosen = b.form->weights();

        QStringList aTold;
        if (aFirst) {
            // A completes the truck between B's look and B's write.
            QObject::connect(b.weighing(), &WeighOperation::weightTaken, b.weighing(),
                             [&] { aTold = StationA(db.programDir(), {"second", QString::number(id), "20"}).finish(); },
                             Qt::SingleShotConnection);
            QVERIFY(b.weigh(15));
        } else {
            StationA a(db.programDir(), {"second", QString::number(id), "20", "wait"});
            QVERIFY(a.waitUntilChosen());
            QVERIFY(b.weigh(15));
            a.pressWeigh();
            aTold = a.finish();
        }

        const QString completed = "box " + WeighingModes::completionText(Mode::GrossAfterLoading);
        const QStringList row = stored(db.store(), id);
        QCOMPARE(row[WeighingRecord::Ok_cicle], WeighingRecord::Completed);
        QCOMPARE(b.watcher.seen().size(), 1);
        if (aFirst) {
            QCOMPARE(aTold, QStringList{completed});
            QCOMPARE(b.watcher.seen()[0].text, CompletedElsewhere);
            QCOMPARE(b.watcher.seen()[0].icon, QMessageBox::Warning);
            QCOMPARE(row[WeighingRecord::Sum], QString("20"));
            QCOMPARE(row[WeighingRecord::Netto], QString("14,9"));
            QCOMPARE(row[WeighingRecord::Klad], OperatorA);
            // B's form keeps the truck, its displays what they showed before.
            QCOMPARE(b.form->fieldText(1), QString("А002АА"));
            QCOMPARE(b.form->weights().tare, chosen.tare);
            QCOMPARE(b.form->weights().gross, chosen.gross);
            QCOMPARE(b.weighing()->lastCompletedId(), 0);
        } else {
            QCOMPARE(aTold, QStringList{"box " + NoLongerAwaiting});
            QCOMPARE("box " + b.watcher.seen()[0].text, completed);
            QCOMPARE(row[WeighingRecord::Sum], QString("15"));
            QCOMPARE(row[WeighingRecord::Klad], OperatorB);
        }
    }

    void twoStationsOnOneStoredTare_data() { engines(); }

    // The truck's tare stored once; two weighbridges weigh it against that
    // tare at the same moment (A's press lands inside B's): both records
    // are completed against it, each pass naming the row it came from.
    void twoStationsOnOneStoredTare()
    {
        QFETCH(QString, engine);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        Station b(db.store(), OperatorB);
        QVERIFY(b.lf.plugged);
        const qint64 tareRow = b.firstPass(truckTexts("А005АА", "Водитель Б"), 5.1);
        QVERIFY(tareRow > 0);
        TruckRegister::storeTare(db.store(), {"А005АА", "5,1", "кг", QDate::currentDate(), OperatorB, tareRow, {}});
        b.watcher.clear();

        QStringList aTold;
        QObject::connect(b.weighing(), &WeighOperation::weightTaken, b.weighing(),
                         [&] { aTold = StationA(db.programDir(), {"onepass", "20"}).finish(); },
                         Qt::SingleShotConnection);
        QVERIFY(b.onePass(15.32));

        const QString completed = WeighingModes::completionText(Mode::GrossByStoredTare);
        QCOMPARE(aTold, QStringList{"box " + completed});
        QCOMPARE(b.watcher.seen().size(), 1);
        QCOMPARE(b.watcher.seen()[0].text, completed);
        QMap<QString, QString> nettoBySum;
        for (qint64 id : {tareRow + 1, tareRow + 2}) {
            const QStringList row = stored(db.store(), id);
            QCOMPARE(row[WeighingRecord::N_Avto], QString("А005АА"));
            QCOMPARE(row[WeighingRecord::Tara], QString("5,1"));
            QCOMPARE(row[WeighingRecord::Ok_cicle], WeighingRecord::Completed);
            nettoBySum[row[WeighingRecord::Sum]] = row[WeighingRecord::Netto];
            const QVector<PassRecord> passes = PassLog::forRow(db.store(), id);
            QCOMPARE(passes.size(), 1);
            QCOMPARE(passes[0].tareFrom, QString("stored"));
            QCOMPARE(passes[0].tareRow, tareRow);
        }
        QCOMPARE(nettoBySum, (QMap<QString, QString>{{"15,32", "10,22"}, {"20", "14,9"}}));
        // The tare stays stored for the next trip.
        QCOMPARE(TruckRegister::find(db.store(), "А005АА")->rowId, tareRow);
        QVERIFY(b.watcher.problems().isEmpty());
    }

    void serverGoesAwayUnderAPass_data()
    {
        QTest::addColumn<bool>("secondPass");
        QTest::addColumn<bool>("pressMode");   // "Брутто после погрузки" first, which cannot list its trucks
        QTest::newRow("first pass") << false << false;
        QTest::newRow("second pass") << true << false;
        QTest::newRow("first pass, the trucks asked for") << false << true;
        QTest::newRow("second pass, the trucks asked for again") << true << true;
    }

    // The server stops while the program runs: the press that needs it
    // shows one message and writes nothing (the pending-truck window does
    // not open, the mode and form stay); once the server is back the pass
    // works, without restarting the program. A pass is on the server
    // (committed, and kept through a crash of the server) while its
    // confirmation is on screen.
    void serverGoesAwayUnderAPass()
    {
        QFETCH(bool, secondPass);
        QFETCH(bool, pressMode);
        TempDatabase db(TableStore::Engine::Server);
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        PgCluster &server = PgCluster::shared();
        // The server is up again for the next test, whatever happens here.
        const auto restart = qScopeGuard([&] { server.start(); });
        Station b(db.store(), OperatorB);
        QVERIFY(b.lf.plugged);
        const qint64 waiting = b.firstPass(truckTexts("А003АА", "Водитель Б"), 5.1);
        QVERIFY(waiting > 0);
        if (secondPass)
            QVERIFY(b.choose(waiting));
        else
            for (int i = 0; i < 13; ++i)
                b.form->setFieldText(i + 1, truckTexts("А004АА", "Водитель Б")[i]);
        const QStringList fields = [&] {
            QStringList f;
            for (int i = 1; i <= 13; ++i)
                f << b.form->fieldText(i);
            return f;
        }();
        const EntryWeights before = b.form->weights();
        const Mode mode = b.form->mode();
        b.watcher.clear();

        QVERIFY(server.stop());
        if (pressMode)
            b.form->modeButton(Mode::GrossAfterLoading)->click();
        else
            QVERIFY(b.weigh(15.32));
        QVERIFY(b.form->mode() == mode && b.form->modeButton(mode)->isChecked());
        QCOMPARE(b.watcher.seen().size(), 1);
        QVERIFY2(b.watcher.seen()[0].text.startsWith(ServerLost), qPrintable(b.watcher.seen()[0].text));
        QCOMPARE(b.watcher.seen()[0].title, QString("Krodalin"));
        for (int i = 1; i <= 13; ++i)
            QCOMPARE(b.form->fieldText(i), fields[i - 1]);
        QCOMPARE(b.form->weights().tare, before.tare);
        QCOMPARE(b.form->weights().gross, before.gross);
        QVERIFY(server.start());
        QSqlQuery other(db.otherProgram());
        QVERIFY(other.exec("SELECT COUNT(*), MAX(\"Ok_tara\") FROM bd_main_db") && other.next());
        QCOMPARE(other.value(0).toInt(), 1);
        QCOMPARE(other.value(1).toString(), WeighingRecord::Awaiting);   // the waiting truck untouched

        // Back: the same press is stored. While its confirmation is shown,
        // another connection sees it, and the server crashing then keeps it.
        b.watcher.clear();
        QStringList seenWhileShown;
        b.watcher.whileShown([&](const ModalWatcher::Box &) {
            QSqlQuery look(db.otherProgram());
            look.exec("SELECT COUNT(*) FROM bd_main_db WHERE \"Ok_cicle\" = '2' OR \"N_Avto\" = 'А004АА'");
            seenWhileShown << (look.next() ? look.value(0).toString() : look.lastError().text());
            server.stop(true);
            server.start();
        });
        QVERIFY(b.weigh(15.32));
        QCOMPARE(b.watcher.seen().size(), 1);
        QCOMPARE(b.watcher.seen()[0].text, WeighingModes::completionText(secondPass ? Mode::GrossAfterLoading
                                                                                     : Mode::TareBeforeLoading));
        QCOMPARE(seenWhileShown, QStringList{"1"});
        b.watcher.whileShown({});
        QSqlDatabase::database("other-program").close();
        QSqlQuery after(db.otherProgram());
        QVERIFY(after.exec("SELECT COUNT(*) FROM bd_main_db") && after.next());
        QCOMPARE(after.value(0).toInt(), secondPass ? 1 : 2);
        if (secondPass)
            QCOMPARE(stored(db.store(), waiting)[WeighingRecord::Sum], QString("15,32"));
        QVERIFY(b.watcher.problems().isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--station") == 0)
        return runStation(app.arguments().mid(2));
    TestSharedJournal test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_sharedjournal.moc"

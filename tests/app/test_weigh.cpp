// The weigh operation through the real main window: readings come from a
// simulated indicator over a pseudo-terminal, records go to a real journal.

#include <QDate>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <unistd.h>

#include "indicator/numberform.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "print/expbd.h"
#include "print/printfm.h"
#include "store/audittrail.h"
#include "toolkit/report/previewwindow.h"
#include "indicator/weightdisplay.h"
#include "messageboxes.h"
#include "weighfixture.h"

namespace {

using Mode = WeighingMode;
using WeighingRecord::Field;

const QString UnstableText = QStringLiteral("Нестабильные показания прибора повторите взвешивание!");
const QString PortOffText = QStringLiteral("Для работы прибора необходимо включить СОМ Порт!");
const QString AlreadyCompletedText = QStringLiteral(
    "Взвешивание этой машины уже завершено. Выберите машину заново в списке ожидающих взвешивания.");
const QString NoLongerAwaitingText = QStringLiteral(
    "Выбранная машина больше не ожидает взвешивания. Выберите машину заново в списке ожидающих взвешивания.");

QString at(const QStringList &row, Field f) { return row.value(int(f)); }

// Takes a copy of the journal at the moment a completion message appears, so
// a test can tell whether the record was stored before the operator was told.
class CompletionObserver : public QObject
{
public:
    explicit CompletionObserver(TableStore &store) : m_store(store) { qApp->installEventFilter(this); }
    ~CompletionObserver() override { qApp->removeEventFilter(this); }
    QList<QList<QStringList>> journalAtMessage;

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show) {
            auto *box = qobject_cast<QMessageBox *>(o);
            if (box && box->windowTitle() == QStringLiteral("Взвешивание"))
                journalAtMessage << WeighFixture::journal(m_store);
        }
        return false;
    }

private:
    TableStore &m_store;
};

// A fault of the engine on every write of one kind to the journal, as a
// failing disk gives it: the engine's own error, raised while posting.
void journalFault(TableStore &store, const char *when, bool on)
{
    QSqlQuery q(store.connection());
    const QString table = TableStore::sqlName(Tables::Journal);
    const bool ok = on ? q.exec(QStringLiteral("CREATE TRIGGER journal_fault BEFORE %1 ON %2 "
                                               "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END")
                                    .arg(QLatin1String(when), table))
                       : q.exec(QStringLiteral("DROP TRIGGER journal_fault"));
    if (!ok)
        qWarning("trigger: %s", qPrintable(q.lastError().text()));
}

QStringList displays(const WeighFixture &fx)
{
    return {fx.entry->tareDisplay()->text(), fx.entry->grossDisplay()->text(), fx.entry->netDisplay()->text(),
            fx.liveWeight()->text()};
}

qint64 firstRowId(TableStore &store)
{
    TableCursor c(store, Tables::Journal);
    c.Open();
    return c.IsEmpty() ? 0 : c.currentId();
}

// Runs in a child process: one first pass; the process kills itself the
// moment the completion message is shown.
int firstPassChild()
{
    WeighFixture fx;
    const QByteArray dir = "DIR " + fx.db.programDir().toLocal8Bit() + "\n";
    if (::write(STDOUT_FILENO, dir.constData(), size_t(dir.size())) < 0 || !fx.plugged || !fx.switchOn())
        return 2;
    struct Killer : QObject
    {
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Show && qobject_cast<QMessageBox *>(o)) {
                const QByteArray line = "SHOWN " + static_cast<QMessageBox *>(o)->text().toUtf8() + "\n";
                if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) < 0)
                    ::_exit(3);
                ::raise(SIGKILL);
            }
            return false;
        }
    } killer;
    fx.fill(truck(QStringLiteral("К001КК")));
    if (!fx.settle(5.1))
        return 4;
    qApp->installEventFilter(&killer);
    fx.weigh();
    return 5; // not reached: the message kills the process
}

} // namespace

class TestWeigh final : public QObject
{
    Q_OBJECT

private slots:
    void twoPassCycle_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<double>("w1");
        QTest::addColumn<int>("second");
        QTest::addColumn<double>("w2");
        QTest::addColumn<QString>("tara");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("netto");
        // Null: the journal page in view mode; else in edit mode, and this done to the trail. A weighing is
        // no hand edit: it leaves no trail and is not stopped when none can be written.
        QTest::addColumn<QString>("trailFault");
        QTest::newRow("tare, then gross after loading")
            << int(Mode::TareBeforeLoading) << 5.1 << int(Mode::GrossAfterLoading) << 15.32 << "5,1" << "15,32"
            << "10,22" << QString();
        QTest::newRow("gross, then tare after unloading")
            << int(Mode::GrossBeforeUnloading) << 20.0 << int(Mode::TareAfterUnloading) << 7.5 << "7,5" << "20"
            << "12,5" << QString();
        QTest::newRow("lighter than the tare: negative net")
            << int(Mode::TareBeforeLoading) << 10.0 << int(Mode::GrossAfterLoading) << 9.5 << "10" << "9,5"
            << "-0,5" << QString();
        QTest::newRow("net exact on the decimals")
            << int(Mode::TareBeforeLoading) << 15.2 << int(Mode::GrossAfterLoading) << 15.3 << "15,2" << "15,3"
            << "0,1" << QString();
        QTest::newRow("tonnes, exact thousandths")
            << int(Mode::GrossBeforeUnloading) << 31.007 << int(Mode::TareAfterUnloading) << 12.999 << "12,999"
            << "31,007" << "18,008" << QString();
        QTest::newRow("journal in edit mode") << int(Mode::TareBeforeLoading) << 5.1 << int(Mode::GrossAfterLoading)
                                              << 15.32 << "5,1" << "15,32" << "10,22" << "";
        QTest::newRow("journal in edit mode, no trail table")
            << int(Mode::GrossBeforeUnloading) << 20.0 << int(Mode::TareAfterUnloading) << 7.5 << "7,5" << "20"
            << "12,5" << "DROP TABLE bd_audit";
    }

    void twoPassCycle()
    {
        QFETCH(int, first);
        QFETCH(double, w1);
        QFETCH(int, second);
        QFETCH(double, w2);
        QFETCH(QString, tara);
        QFETCH(QString, sum);
        QFETCH(QString, netto);
        QFETCH(QString, trailFault);
        const Mode firstMode = Mode(first);
        const Mode secondMode = Mode(second);

        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        if (!trailFault.isNull()) {
            fx.form->journalPage()->EnterEditMode();
            QVERIFY(fx.form->journalPage()->isEditMode());
            fx.db.store().releaseReaders();
            QVERIFY(trailFault.isEmpty() || QSqlQuery(fx.db.store().connection()).exec(trailFault));
        }
        ModalWatcher watcher;
        CompletionObserver observer(fx.db.store());

        // --- first pass: the mode first, then the fields
        if (firstMode != Mode::TareBeforeLoading)
            fx.modeButton(firstMode)->click();
        QVERIFY(fx.modeButton(firstMode)->isChecked());
        fx.fill(truck(QStringLiteral("А123ВС")));
        QVERIFY(fx.settle(w1));
        fx.weigh();

        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, WeighingModes::completionText(firstMode));
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Взвешивание"));
        QCOMPARE(watcher.seen()[0].icon, QMessageBox::Information);
        QList<QStringList> rows = fx.journal();
        QCOMPARE(rows.size(), 1);
        // The record was stored before the operator was told.
        QCOMPARE(observer.journalAtMessage.size(), 1);
        QCOMPARE(observer.journalAtMessage[0], rows);
        QStringList row = rows[0];
        QCOMPARE(row.mid(0, 13), truck(QStringLiteral("А123ВС")));
        const bool tareFirst = firstMode == Mode::TareBeforeLoading;
        QCOMPARE(at(row, WeighingRecord::Tara), tareFirst ? tara : QString());
        QCOMPARE(at(row, WeighingRecord::Sum), tareFirst ? QString() : sum);
        QCOMPARE(at(row, WeighingRecord::Netto), QString());
        QCOMPARE(at(row, WeighingRecord::Ok_tara), tareFirst ? "1" : "");
        QCOMPARE(at(row, WeighingRecord::Ok_brutto), tareFirst ? "" : "1");
        QCOMPARE(at(row, WeighingRecord::Ok_cicle), QString());
        QCOMPARE(at(row, WeighingRecord::Klad), QStringLiteral("Сидорова А.В."));
        QCOMPARE(at(row, WeighingRecord::Ed_izm), QStringLiteral("кг"));
        // Ready for the next truck, whichever first pass it was.
        QVERIFY(fx.modeButton(Mode::TareBeforeLoading)->isChecked());
        QCOMPARE(fx.entry->mode(), Mode::TareBeforeLoading);
        QCOMPARE(fx.fields(), QStringList(13, QString()));
        QVERIFY(fx.entry->tareDisplay()->text().isEmpty());
        QCOMPARE(fx.liveWeight()->text(), tareFirst ? tara : sum);

        // --- second pass on the record chosen in the pending-truck window
        QVERIFY(fx.settle(w2));
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(secondMode)->click();
        QCOMPARE(watcher.dialogs().size(), 1);
        QCOMPARE(fx.fields(), truck(QStringLiteral("А123ВС")));
        for (int i = 1; i <= 13; ++i)
            QVERIFY(!fx.entry->entryField(i)->isEnabled());
        fx.weigh();

        QCOMPARE(watcher.seen().size(), 2);
        QCOMPARE(watcher.seen()[1].text, WeighingModes::completionText(secondMode));
        QCOMPARE(watcher.seen()[1].icon, QMessageBox::Information);
        rows = fx.journal();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(observer.journalAtMessage.size(), 2);
        QCOMPARE(observer.journalAtMessage[1], rows);
        row = rows[0];
        QCOMPARE(row.mid(0, 13), truck(QStringLiteral("А123ВС")));
        QCOMPARE(at(row, WeighingRecord::Tara), tara);
        QCOMPARE(at(row, WeighingRecord::Sum), sum);
        QCOMPARE(at(row, WeighingRecord::Netto), netto);
        QCOMPARE(at(row, WeighingRecord::Ok_tara), QStringLiteral("0"));
        QCOMPARE(at(row, WeighingRecord::Ok_brutto), QStringLiteral("0"));
        QCOMPARE(at(row, WeighingRecord::Ok_cicle), QStringLiteral("2"));
        QCOMPARE(at(row, WeighingRecord::Ed_izm), QStringLiteral("кг"));

        // The form shows the completed weighing; the note can be printed,
        // and it is this record's.
        QCOMPARE(fx.entry->tareDisplay()->text(), tara);
        QCOMPARE(fx.entry->grossDisplay()->text(), sum);
        QCOMPARE(fx.entry->netDisplay()->text(), netto);
        QVERIFY(fx.modeButton(secondMode)->isChecked());
        QVERIFY(!fx.entry->entryField(1)->isEnabled());
        QVERIFY(fx.form->printButton()->isEnabled());
        QCOMPARE(fx.weighing()->lastCompletedId(), firstRowId(fx.db.store()));
        QVERIFY(watcher.problems().isEmpty());
        if (fx.db.store().tableExists(Tables::Audit))
            QCOMPARE(AuditTrail::read(fx.db.store()).size(), 0);
    }

    void checksInOrder_data()
    {
        QTest::addColumn<QString>("state");       // of the link
        QTest::addColumn<QList<int>>("emptied");  // entry fields left empty
        QTest::addColumn<QString>("blanks");      // a field given only blanks
        QTest::addColumn<QString>("message");     // empty: none at all
        QTest::addColumn<int>("focus");           // entry field given the focus, 0: none
        QTest::addColumn<int>("stored");

        const QList<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        const QString tareDone = WeighingModes::completionText(Mode::TareBeforeLoading);
        QTest::newRow("port off, fields empty: instability first")
            << "off" << all << "" << UnstableText << 0 << 0;
        QTest::newRow("port switch off, label shown") << "off, label shown" << QList<int>{} << "" << PortOffText
                                                      << 0 << 0;
        QTest::newRow("weight moving") << "moving" << QList<int>{} << "" << UnstableText << 0 << 0;
        QTest::newRow("truck number empty")
            << "stable" << QList<int>{1} << "" << "Введите номер автомобиля!" << 1 << 0;
        QTest::newRow("loading point empty")
            << "stable" << QList<int>{13} << "" << "Введите Пункт загрузки!" << 13 << 0;
        QTest::newRow("loading point before goods")
            << "stable" << QList<int>{9, 13} << "" << "Введите Пункт загрузки!" << 13 << 0;
        QTest::newRow("goods before payment and waybill")
            << "stable" << QList<int>{11, 10, 9} << "" << "Введите Наименование Товара!" << 9 << 0;
        QTest::newRow("waybill last") << "stable" << QList<int>{11} << "" << "Введите Номер путев. листа!" << 11 << 0;
        QTest::newRow("with the switch on, a missing field before instability")
            << "moving" << QList<int>{1} << "" << "Введите номер автомобиля!" << 1 << 0;
        QTest::newRow("no trailer: stored") << "stable" << QList<int>{12} << "" << tareDone << 0 << 1;
        QTest::newRow("blanks are a value") << "stable" << QList<int>{} << "5" << tareDone << 0 << 1;
        QTest::newRow("zero reading: nothing at all") << "zero" << QList<int>{} << "" << "" << 0 << 0;
    }

    void checksInOrder()
    {
        QFETCH(QString, state);
        QFETCH(QList<int>, emptied);
        QFETCH(QString, blanks);
        QFETCH(QString, message);
        QFETCH(int, focus);
        QFETCH(int, stored);

        WeighFixture fx;
        QVERIFY(fx.plugged);
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowActive(fx.form.get()));
        ModalWatcher watcher;

        if (state != QLatin1String("off") && state != QLatin1String("off, label shown")) {
            QVERIFY(fx.switchOn());
            QVERIFY(fx.settle(state == QLatin1String("zero") ? 0.0 : 4.25));
            if (state == QLatin1String("moving")) {
                fx.sim.setWeight(6.5);
                for (int i = 0; i < 10 && fx.link->StableFlag(); ++i)
                    QVERIFY(fx.second());
                QVERIFY(!fx.link->StableFlag());
            }
        } else if (state == QLatin1String("off, label shown")) {
            // Only the flag counts, and the switch is checked after it: a
            // compare tick with the link off, both samples and the reading 0,
            // shows the label.
            emit fx.link->clock()->Stabilno1()->timeout();
            QVERIFY(fx.link->StableFlag());
            QVERIFY(!fx.form->findChild<QLabel *>(QStringLiteral("RxLabel10"))->isHidden());
        }

        QStringList texts = truck(QStringLiteral("В777ВВ"));
        for (int i : emptied)
            texts[i - 1].clear();
        if (!blanks.isEmpty())
            texts[blanks.toInt() - 1] = QStringLiteral("   ");
        fx.fill(texts);
        fx.weigh();

        if (message.isEmpty()) {
            QTest::qWait(50);
            QVERIFY(watcher.seen().isEmpty());
        } else {
            QVERIFY(watcher.waitForBoxes(1));
            QCOMPARE(watcher.seen().size(), 1);
            QCOMPARE(watcher.seen()[0].text, message);
            if (stored == 0) {
                // A plain message: the program's title, no icon, only OK.
                QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
                QCOMPARE(watcher.seen()[0].icon, QMessageBox::NoIcon);
                QCOMPARE(watcher.seen()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            }
        }
        if (focus)
            QCOMPARE(fx.form->focusWidget(), fx.entry->entryField(focus)); // once the message has gone
        const QList<QStringList> rows = fx.journal();
        QCOMPARE(rows.size(), stored);
        if (stored)
            QCOMPARE(rows[0].mid(0, 13), texts);
    }

    void choosingAModeClearsWhatWasTyped()
    {
        WeighFixture fx;
        fx.fill(truck(QStringLiteral("Е001ЕЕ")));
        fx.modeButton(Mode::GrossBeforeUnloading)->click();
        QCOMPARE(fx.fields(), QStringList(13, QString()));
        QVERIFY(fx.modeButton(Mode::GrossBeforeUnloading)->isChecked());

        fx.fill(truck(QStringLiteral("Е002ЕЕ")));
        EntryWeights shown = fx.entry->weights();
        shown.tare = QStringLiteral("3");
        fx.entry->setWeights(shown);
        fx.modeButton(Mode::TareBeforeLoading)->click();
        QCOMPARE(fx.fields(), QStringList(13, QString()));
        QVERIFY(fx.entry->tareDisplay()->text().isEmpty());

        // The mode that is selected already, clicked again, keeps the form.
        fx.fill(truck(QStringLiteral("Е003ЕЕ")));
        fx.modeButton(Mode::TareBeforeLoading)->click();
        QCOMPARE(fx.fields(), truck(QStringLiteral("Е003ЕЕ")));
    }

    void dateAndTimeByModel_data()
    {
        QTest::addColumn<int>("model");
        QTest::newRow("clock model") << int(IndicatorSimulator::Model::Libra125Clock);
        QTest::newRow("Libra v.1_24") << int(IndicatorSimulator::Model::Libra124);
        QTest::newRow("Libra v.2_10") << int(IndicatorSimulator::Model::Libra210);
        QTest::newRow("WI2002") << int(IndicatorSimulator::Model::WI2002);
    }

    void dateAndTimeByModel()
    {
        QFETCH(int, model);
        const auto m = IndicatorSimulator::Model(model);
        WeighFixture fx(m);
        QVERIFY(fx.plugged);
        const bool clock = m == IndicatorSimulator::Model::Libra125Clock;
        if (clock)
            fx.sim.setClock(QDateTime(QDate(2024, 3, 21), QTime(14, 5)));
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;
        fx.fill(truck(QStringLiteral("М500ММ")));
        QVERIFY(fx.settle(8.4));
        const QDateTime before = QDateTime::currentDateTime();
        fx.weigh();
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(watcher.seen().size(), 1);

        const QStringList row = fx.journal().value(0);
        if (clock) {
            QCOMPARE(at(row, WeighingRecord::Time), QStringLiteral("14:05"));
            QCOMPARE(at(row, WeighingRecord::Dat), QStringLiteral("21.03.2024"));
        } else {
            const QString time = at(row, WeighingRecord::Time);
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(time).hasMatch(),
                     qPrintable(time));
            const QTime t = QTime::fromString(time, QStringLiteral("HH:mm:ss"));
            QVERIFY(t >= before.time().addSecs(-1) && t <= after.time().addSecs(1));
            QCOMPARE(at(row, WeighingRecord::Dat), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
        }
    }

    void secondPressAfterCompletionStoresNothing()
    {
        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;

        // Two trucks await their gross pass.
        for (const QString &number : {QStringLiteral("А001АА"), QStringLiteral("Б002ББ")}) {
            fx.fill(truck(number));
            QVERIFY(fx.settle(number.startsWith(QStringLiteral("А")) ? 5.1 : 6.2));
            fx.weigh();
        }
        QCOMPARE(fx.journal().size(), 2);

        QVERIFY(fx.settle(15.32));
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 3);
        const QList<QStringList> completed = fx.journal();
        QCOMPARE(at(completed[0], WeighingRecord::Ok_cicle), QStringLiteral("2"));
        QCOMPARE(at(completed[1], WeighingRecord::Ok_tara), QStringLiteral("1"));

        // The next truck drives on; the operator presses "Взвесить" again
        // without choosing it. Nothing may be stored, on either record.
        QVERIFY(fx.settle(16.4));
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 4);
        QCOMPARE(watcher.seen()[3].text, AlreadyCompletedText);
        QCOMPARE(watcher.seen()[3].title, QStringLiteral("Внимание"));
        QCOMPARE(watcher.seen()[3].icon, QMessageBox::Warning);
        QCOMPARE(fx.journal(), completed);
        QCOMPARE(fx.entry->netDisplay()->text(), QStringLiteral("10,22"));

        // Choosing again (the same mode clicked once more) weighs that truck.
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        QCOMPARE(fx.fields(), truck(QStringLiteral("Б002ББ")));
        fx.weigh();
        const QList<QStringList> rows = fx.journal();
        QCOMPARE(rows[0], completed[0]);
        QCOMPARE(at(rows[1], WeighingRecord::Sum), QStringLiteral("16,4"));
        QCOMPARE(at(rows[1], WeighingRecord::Netto), QStringLiteral("10,2"));
        QCOMPARE(at(rows[1], WeighingRecord::Ok_cicle), QStringLiteral("2"));
        QVERIFY(watcher.problems().isEmpty());
    }

    // The weighing page's note is the weighing just completed, even after the
    // journal page moved the main view to another row; the journal page's
    // note is that row.
    void weighingPagesNoteIsTheCompletedRecord()
    {
        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;
        printfm note;
        ExpBD journalReport(fx.db.store());
        connectPrinting(*fx.form, note, journalReport);

        for (const QString &number : {QStringLiteral("А001АА"), QStringLiteral("Б002ББ")}) {
            fx.fill(truck(number));
            QVERIFY(fx.settle(5.1));
            fx.weigh();
        }
        QVERIFY(fx.settle(15.32));
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        fx.weigh();
        QVERIFY(fx.form->printButton()->isEnabled());

        fx.form->show();
        fx.form->pageControl()->setCurrentIndex(MainForm::JournalPage);
        fx.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fx.form.get()));
        fx.form->journalPage()->grid()->setFocus();
        pressKey(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(fx.form->journalView()->FieldText(QStringLiteral("N_Avto")), QStringLiteral("Б002ББ"));

        fx.form->pageControl()->setCurrentIndex(MainForm::WorkPage);
        QTest::mouseClick(fx.form->printButton(), Qt::LeftButton);
        QCOMPARE(note.texts().value(3), QStringLiteral("КамАЗ, А001АА"));
        QCOMPARE(note.texts().value(15), QStringLiteral("10,22"));
        QVERIFY(note.report().preview());

        fx.form->journalPage()->printNoteButton()->click();
        QCOMPARE(note.texts().value(3), QStringLiteral("КамАЗ, Б002ББ"));
        QCOMPARE(note.texts().value(15), QString());
        QCOMPARE(fx.form->findChildren<report::PreviewWindow *>().size(), 1);
        QVERIFY(watcher.problems().isEmpty());
    }

    void choiceChangedElsewhereStoresNothing()
    {
        WeighFixture fx;
        QVERIFY(fx.switchOn());
        fx.db.addJournalRow({{"N_Avto", "Х100ХХ"}, {"Tara", "4"}, {"Ok_tara", "1"}});
        ModalWatcher watcher;
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        QCOMPARE(fx.entry->fieldText(1), QStringLiteral("Х100ХХ"));

        // Meanwhile the record is completed by an edit in the journal.
        {
            TableCursor other(fx.db.store(), Tables::Journal);
            other.Open();
            other.Edit();
            other.SetFieldText(WeighingRecord::Ok_tara, QStringLiteral("0"));
            other.Post();
        }
        const QList<QStringList> before = fx.journal();
        QVERIFY(fx.settle(12));
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, NoLongerAwaitingText);
        QCOMPARE(fx.journal(), before);
    }

    void storedWeightThatIsNoNumber()
    {
        WeighFixture fx;
        QVERIFY(fx.switchOn());
        fx.db.addJournalRow({{"N_Avto", "Х200ХХ"}, {"Tara", "5,1x"}, {"Ok_tara", "1"}});
        const QList<QStringList> before = fx.journal();
        ModalWatcher watcher;
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        QCOMPARE(fx.entry->tareDisplay()->text(), QStringLiteral("5,1x"));
        QVERIFY(fx.settle(15));
        fx.weigh();

        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
        QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
        QCOMPARE(watcher.seen()[0].text, QStringLiteral("'5,1x' не является правильным числом с плавающей точкой."));
        QCOMPARE(fx.journal(), before);
        QCOMPARE(fx.pending->journalView()->state(), TableCursor::State::Browse);
        QCOMPARE(fx.weighing()->lastCompletedId(), qint64(0));
        QVERIFY(!fx.form->printButton()->isEnabled());
    }

    void secondPassOnAWaitingRecord_data()
    {
        QTest::addColumn<QString>("tara");        // the record's first weight, as stored
        QTest::addColumn<QString>("recordUnit");  // its Ed_izm
        QTest::addColumn<QString>("unitSetting"); // the unit chosen at the second pass
        QTest::addColumn<QString>("netto");

        QTest::newRow("tare edited to four decimals") << "5,1234" << "кг" << "кг" << "13,2766";
        QTest::newRow("first pass in кг, now тонны") << "4800" << "кг" << "тонны" << "-4781,6";
        QTest::newRow("first pass in т, now кг") << "4,8" << "т" << "кг" << "13,6";
        QTest::newRow("a record without a unit") << "4,8" << "" << "тонны" << "13,6";
    }

    void secondPassOnAWaitingRecord()
    {
        QFETCH(QString, tara);
        QFETCH(QString, recordUnit);
        QFETCH(QString, unitSetting);
        QFETCH(QString, netto);

        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        fx.db.addJournalRow({{"N_Avto", "Т300ТТ"}, {"Tara", tara}, {"Ed_izm", recordUnit}, {"Ok_tara", "1"}});
        const QList<QStringList> before = fx.journal();
        fx.link->applyUnit(unitSetting);
        const QString shownUnit = fx.form->findChild<QLabel *>(QStringLiteral("izmer2"))->text();
        ModalWatcher watcher;
        watcher.handleDialog(WeighFixture::chooseRow(0));
        fx.modeButton(Mode::GrossAfterLoading)->click();
        QVERIFY(fx.settle(18.4));
        fx.weigh();

        const bool mixed = !recordUnit.isEmpty() && recordUnit != shownUnit;
        if (mixed) {
            // Refused before anything is written; the truck keeps waiting.
            QCOMPARE(watcher.seen().size(), 1);
            QCOMPARE(watcher.seen()[0].icon, QMessageBox::Warning);
            QVERIFY2(watcher.seen()[0].text.contains(QStringLiteral("«%1»").arg(recordUnit))
                         && watcher.seen()[0].text.contains(QStringLiteral("«%1»").arg(shownUnit)),
                     qPrintable(watcher.seen()[0].text));
            QCOMPARE(fx.journal(), before);
            QVERIFY(fx.entry->netDisplay()->text().isEmpty());
            QVERIFY(fx.entry->grossDisplay()->text().isEmpty());
            // Back in the record's unit, the same choice weighs.
            fx.link->applyUnit(recordUnit == QStringLiteral("т") ? QStringLiteral("тонны") : recordUnit);
            QCOMPARE(fx.form->findChild<QLabel *>(QStringLiteral("izmer2"))->text(), recordUnit);
            fx.weigh();
        }
        QCOMPARE(watcher.seen().size(), mixed ? 2 : 1);
        QCOMPARE(watcher.seen().last().text, WeighingModes::completionText(Mode::GrossAfterLoading));
        const QList<QStringList> rows = fx.journal();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(at(rows[0], WeighingRecord::Tara), tara);
        QCOMPARE(at(rows[0], WeighingRecord::Sum), QStringLiteral("18,4"));
        QCOMPARE(at(rows[0], WeighingRecord::Ok_cicle), QStringLiteral("2"));
        QCOMPARE(at(rows[0], WeighingRecord::Ed_izm), recordUnit);
        if (!mixed)
            QCOMPARE(at(rows[0], WeighingRecord::Netto), netto);
        else
            QCOMPARE(at(rows[0], WeighingRecord::Netto), NumberForm::difference(QStringLiteral("18,4"), tara).value());
        QCOMPARE(fx.entry->netDisplay()->text(), at(rows[0], WeighingRecord::Netto));
    }

    void longWeightsShowWhole_data()
    {
        QTest::addColumn<double>("weight");
        QTest::addColumn<QString>("text");
        QTest::newRow("six-figure negative") << -123456.789 << "-123456,789";
        QTest::newRow("twelve figures") << 123456789012.345 << "123456789012,345";
        QTest::newRow("short") << 5.1 << "5,1";
    }

    void longWeightsShowWhole()
    {
        QFETCH(double, weight);
        QFETCH(QString, text);

        WeighFixture fx;
        QVERIFY(fx.plugged);
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(fx.form.get()));
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;
        fx.fill(truck(QStringLiteral("Ф500ФФ")));
        QVERIFY(fx.settle(weight));

        // The live display: the whole text, in the font it is drawn in.
        QLabel *live = fx.liveWeight();
        const auto *fitting = qobject_cast<WeightLabel *>(live);
        const QFont drawn = fitting ? fitting->fittedFont() : live->font();
        QCOMPARE(live->text(), text);
        QVERIFY2(QFontMetrics(drawn).horizontalAdvance(text) <= live->contentsRect().width(),
                 qPrintable(QStringLiteral("%1 px of text in %2 px").arg(QFontMetrics(drawn).horizontalAdvance(text))
                                .arg(live->contentsRect().width())));
        // Only a weight that needs it gets the smaller font.
        QCOMPARE(drawn == live->font(),
                 QFontMetrics(live->font()).horizontalAdvance(text) <= live->contentsRect().width());

        // Weighed: the gross display shows it whole as well.
        fx.modeButton(Mode::GrossBeforeUnloading)->click();
        fx.fill(truck(QStringLiteral("Ф500ФФ")));
        const QLineEdit *gross = fx.entry->grossDisplay();
        const QFont large = gross->font();
        bool wholeWhileShown = false;
        QObject probe;
        connect(gross, &QLineEdit::textChanged, &probe, [&](const QString &t) {
            if (t == text)
                wholeWhileShown = QFontMetrics(gross->font()).horizontalAdvance(t) <= gross->contentsRect().width() - 4;
        });
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(at(fx.journal().value(0), WeighingRecord::Sum), text);
        QVERIFY(wholeWhileShown);
        // Cleared for the next truck, the display has its large font back.
        QVERIFY(gross->text().isEmpty());
        QCOMPARE(gross->font(), large);
    }

    void rampStoresNothing()
    {
        // A truck still rolling on: the weight climbs 37 a second and never
        // settles. "Взвесить" pressed every half second stores nothing.
        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;
        fx.fill(truck(QStringLiteral("Щ700ЩЩ")));
        fx.sim.setWeight(1000);
        QVERIFY(fx.settle(1000));
        fx.sim.drift(37);
        // The answer to this second's poll is the first that moved.
        QVERIFY(fx.second());
        int presses = 0;
        for (int i = 0; i < 15; ++i) {
            // Once right after the ticks, once with the answer in.
            fx.link->clock()->tick();
            fx.weigh();
            ++presses;
            QTRY_VERIFY(fx.link->ReceiveBuffer().endsWith(QLatin1String("\r\n")));
            fx.weigh();
            ++presses;
        }
        QCOMPARE(fx.journal().size(), 0);
        QCOMPARE(watcher.seen().size(), presses);
        for (const ModalWatcher::Box &box : watcher.seen())
            QCOMPARE(box.text, UnstableText);

        // It stops: weighed once, the weight it stands at.
        const double stopped = std::round(fx.sim.weight() * 1000) / 1000;
        QVERIFY(fx.settle(stopped));
        fx.weigh();
        const QList<QStringList> rows = fx.journal();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(at(rows[0], WeighingRecord::Tara), NumberForm::format(stopped));
    }

    void failedPostStoresNothing_data()
    {
        QTest::addColumn<bool>("secondPass");
        QTest::newRow("first pass") << false;
        QTest::newRow("second pass") << true;
    }

    void failedPostStoresNothing()
    {
        QFETCH(bool, secondPass);

        WeighFixture fx;
        QVERIFY(fx.plugged);
        QVERIFY(fx.switchOn());
        ModalWatcher watcher;
        if (secondPass) {
            fx.db.addJournalRow({{"N_Avto", "У400УУ"}, {"Tara", "5,1"}, {"Ed_izm", "кг"}, {"Ok_tara", "1"}});
            watcher.handleDialog(WeighFixture::chooseRow(0));
            fx.modeButton(Mode::GrossAfterLoading)->click();
        } else {
            fx.fill(truck(QStringLiteral("У400УУ")));
        }
        QVERIFY(fx.settle(15.32));
        const QList<QStringList> before = fx.journal();
        const QStringList shown = displays(fx);

        journalFault(fx.db.store(), secondPass ? "UPDATE" : "INSERT", true);
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
        QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
        QVERIFY2(watcher.seen()[0].text.contains(QStringLiteral("disk I/O error")), qPrintable(watcher.seen()[0].text));
        QCOMPARE(fx.journal(), before);
        // Nothing looks weighed that was not stored.
        QCOMPARE(displays(fx), shown);
        QVERIFY(!fx.form->printButton()->isEnabled());

        // The fault is gone; the same press stores exactly once.
        journalFault(fx.db.store(), nullptr, false);
        fx.weigh();
        QCOMPARE(watcher.seen().size(), 2);
        QCOMPARE(watcher.seen()[1].title, QStringLiteral("Взвешивание"));
        const QList<QStringList> rows = fx.journal();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].value(0), QStringLiteral("У400УУ"));
        if (secondPass) {
            QCOMPARE(at(rows[0], WeighingRecord::Sum), QStringLiteral("15,32"));
            QCOMPARE(at(rows[0], WeighingRecord::Netto), QStringLiteral("10,22"));
            QCOMPARE(at(rows[0], WeighingRecord::Ok_cicle), QStringLiteral("2"));
            QCOMPARE(displays(fx).mid(0, 3), QStringList({"5,1", "15,32", "10,22"}));
        } else {
            QCOMPARE(at(rows[0], WeighingRecord::Tara), QStringLiteral("15,32"));
            QCOMPARE(at(rows[0], WeighingRecord::Ok_tara), QStringLiteral("1"));
        }
        QVERIFY(watcher.problems().isEmpty());
    }

    void confirmedFirstPassSurvivesKill()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-pass-child")});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        while (!out.contains("SHOWN") && child.state() != QProcess::NotRunning)
            if (!child.waitForReadyRead(30000))
                break;
        child.waitForFinished(30000);
        out += child.readAllStandardOutput();
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished();
        }
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY2(out.contains("SHOWN " + WeighingModes::completionText(Mode::TareBeforeLoading).toUtf8()),
                 out.constData());

        const QRegularExpressionMatch dir = QRegularExpression(QStringLiteral("DIR (\\S+)\\n")).match(QString::fromLocal8Bit(out));
        QVERIFY(dir.hasMatch());
        auto store = TableStore::open(dir.captured(1));
        const QList<QStringList> rows = WeighFixture::journal(*store);
        store.reset();
        QDir(dir.captured(1)).removeRecursively();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].mid(0, 13), truck(QStringLiteral("К001КК")));
        QCOMPARE(at(rows[0], WeighingRecord::Tara), QStringLiteral("5,1"));
        QCOMPARE(at(rows[0], WeighingRecord::Ok_tara), QStringLiteral("1"));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--first-pass-child") == 0) {
        QApplication app(argc, argv);
        return firstPassChild();
    }
    QApplication app(argc, argv);
    TestWeigh t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_weigh.moc"

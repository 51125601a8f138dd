// The settings page on the whole main window with the administrator gate
// wired as at start, a real SQLite folder, tools.ini, and a simulated
// indicator behind a pseudo-terminal: unlocking, locking, saving and what
// each does to the serial link and the file.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSerialPort>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <termios.h>

#include "access/security.h"
#include "app/mainform.h"
#include "app/settingspage.h"
#include "app/startup.h"
#include "app/truckswindow.h"
#include "print/expbd.h"
#include "print/printfm.h"
#include "common/session.h"
#include "indicator/indicatorlink.h"
#include "indicator/linkclock.h"
#include "journal/journalpage.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "programfolder.h"
#include "simulator/simulator.h"
#include "linksecond.h"
#include "store/schema.h"
#include "weighing/entryform.h"
#include "weighing/tnewdb.h"
#include "weighing/truckchoice.h"
#include "weighing/weighoperation.h"
#include "store/tablestore.h"
#include "toolkit/lamp.h"
#include "toolkit/portswitch.h"

namespace {

const QString SettingsMessage =
    QStringLiteral("Все изменения вступят в силу только полсе нажания на кнопку <<Сохранить настройки>>");

// A weighbridge: the program folder with its tables, an administrator and
// tools.ini naming a port that is a link to the simulated indicator; the
// main window and the gate, wired as the start order wires them. The link's
// clock is driven by hand.
class Weighbridge
{
public:
    explicit Weighbridge(const QString &open)
    {
        QString error;
        if (!indicator.plug(&error) || !indicator.setLink(folder.filePath(QStringLiteral("ttyKRODALIN")), &error))
            qWarning("no pseudo-terminal: %s", qPrintable(error));
        indicator.setWeight(5100);
        folder.writeToolsIni(QStringLiteral("[Tool]\r\nizmer=кг\r\nCOM=%1\r\nSpeed=br9600\r\nwi=Libra v.1_24\r\n"
                                            "open=%2\r\n")
                                 .arg(indicator.linkPath(), open));
        store = TableStore::openCreating(folder.path());
        Schema::createTables(*store);
        Schema::addAccount(*store, Tables::Administrators, QStringLiteral("Администратор"), QStringLiteral("admin"));

        form = std::make_unique<MainForm>(*store, folder.path());
        link()->clock()->setManual(true);
        gate = std::make_unique<Security>(*store, form.get());
        connectAdministratorGate(*form, *gate);
        note = std::make_unique<printfm>();
        journalReport = std::make_unique<ExpBD>(*store);
        connectPrinting(*form, *note, *journalReport);
        truckChoice = std::make_unique<TruckChoice>(form->entryForm());
        trucks = std::make_unique<TrucksWindow>(*store, form.get());
        connectTruckRegister(*form, *truckChoice, *trucks);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->pageControl()->setCurrentIndex(MainForm::SettingsPage);
        iniAtStart = folder.toolsIniBytes();
    }
    ~Weighbridge()
    {
        trucks.reset();
        truckChoice.reset();
        journalReport.reset();
        note.reset();
        gate.reset();
        form.reset();
        store.reset();
    }

    IndicatorLink *link() const { return form->indicatorLink(); }
    template <typename T>
    T *child(const char *name) const { return form->findChild<T *>(QLatin1String(name)); }
    PortSwitch *portSwitch() const { return form->portSwitch(); }
    QWidget *panel() const { return form->settingsPanel(); }
    QString weight() const { return child<QLabel>("RxLabel2")->text(); }
    QString status() const { return child<QLabel>("RxLabel23")->text(); }
    bool lampsLit() const
    {
        const auto lamps = form->findChildren<Lamp *>();
        return std::all_of(lamps.begin(), lamps.end(), [](Lamp *l) { return l->isLit(); });
    }
    bool lampsDark() const
    {
        const auto lamps = form->findChildren<Lamp *>();
        return std::none_of(lamps.begin(), lamps.end(), [](Lamp *l) { return l->isLit(); });
    }

    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2)); }

    // A requester's button, and at the gate the administrator signs in.
    void signInAfter(QWidget *requester)
    {
        watcher.handleDialog([](QWidget *g) {
            key(g, Qt::Key_Tab);
            type(g, QStringLiteral("адм"));
            key(g, Qt::Key_Tab);
            type(g, QStringLiteral("admin"));
            key(g, Qt::Key_Return);
        });
        click(requester);
    }
    void unlock() { signInAfter(form->lockButton()); }

    // A new text in one of the panel's lists, typed as a person does.
    void retype(const char *list, const QString &text)
    {
        auto *box = child<QComboBox>(list);
        click(box->lineEdit());
        key(form.get(), Qt::Key_A, Qt::ControlModifier);
        type(form.get(), text);
    }

    // One second of the link, and the indicator's answer to the poll.
    bool second() { return linkSecond(*link(), indicator); }

    QStringList texts() const
    {
        QStringList t;
        for (const ModalWatcher::Box &b : watcher.seen())
            t << b.text;
        return t;
    }

    IndicatorSimulator indicator;
    ProgramFolder folder;
    std::unique_ptr<TableStore> store;
    ModalWatcher watcher;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<Security> gate;
    std::unique_ptr<printfm> note;
    std::unique_ptr<ExpBD> journalReport;
    std::unique_ptr<TruckChoice> truckChoice;
    std::unique_ptr<TrucksWindow> trucks;
    QByteArray iniAtStart;
};

} // namespace

class TestSettingsPage final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Session::LoginOk = 1;
        Session::OperatorName = QStringLiteral("Петров П.П.");
    }

    // The journal's mode button asks the same gate; a cancelled settings
    // request is granted along with it, edit mode first.
    void journalEditModeThroughTheGate()
    {
        Weighbridge w(QStringLiteral("0"));
        w.watcher.handleDialog([](QWidget *g) { key(g, Qt::Key_Escape); });
        w.click(w.form->lockButton());
        QVERIFY(w.panel()->isHidden());

        JournalPage *journal = w.form->journalPage();
        w.form->pageControl()->setCurrentIndex(MainForm::JournalPage);
        QVERIFY(!journal->isEditMode());
        w.signInAfter(journal->modeButton());

        QVERIFY(journal->isEditMode());
        QCOMPARE(journal->modeButton()->text(), QStringLiteral("Режим просмотра и поиска"));
        QVERIFY(!w.panel()->isHidden());
        QCOMPARE(w.texts(),
                 (QStringList{QStringLiteral("Для выхода из режима редактирования нажамите на кнопку <<Режим "
                                             "просмотра и поиска>>!"),
                              QStringLiteral("Все изменения вступят в силу только полсе нажания на кнопку "
                                             "<<Сохранить настройки>>")}));
    }

    void savingWhileLockedOnlyShowsTheFirstPage()
    {
        Weighbridge w(QStringLiteral("0"));
        w.click(w.child<QRadioButton>("Copies4"));
        w.click(w.form->saveSettingsButton());
        QCOMPARE(w.form->pageControl()->currentIndex(), int(MainForm::WorkPage));
        QCOMPARE(w.folder.toolsIniBytes(), w.iniAtStart);
        QVERIFY(w.watcher.seen().isEmpty());
        QVERIFY(w.watcher.dialogs().isEmpty());
    }

    // "   Настройки принтера" is the note's set-up: OK takes the choices into
    // the note's print settings, Cancel leaves them as they were.
    void printerSetupIsTheNotes_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void printerSetupIsTheNotes()
    {
        QFETCH(bool, accept);
        Weighbridge w(QStringLiteral("0"));
        const report::PrintSettings before = w.note->report().printSettings();
        w.watcher.handleDialog([&](QWidget *d) {
            auto *dialog = qobject_cast<QPrintDialog *>(d);
            if (!dialog) {
                d->close();
                return;
            }
            dialog->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(4);
            dialog->findChild<QRadioButton *>(QStringLiteral("printRange"))->click();
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        w.click(w.form->printerSetupButton());
        QCOMPARE(w.watcher.dialogs().size(), 1);
        QVERIFY(w.watcher.problems().isEmpty());
        report::PrintSettings expected = before;
        if (accept) {
            expected.copies = 4;
            expected.fromPage = expected.toPage = 1;   // no note prepared yet: the range the dialog offers
        }
        QCOMPARE(w.note->report().printSettings(), expected);
    }

    void signingInForTheSettingsSwitchesThePortOff()
    {
        Weighbridge w(QStringLiteral("1"));
        QVERIFY(w.link()->isPortOpen());
        QVERIFY(w.second() && w.second());
        QCOMPARE(w.weight(), QStringLiteral("5100"));
        QCOMPARE(w.status(), QStringLiteral("Прибор Включен"));

        qsizetype boxesWhenOff = -1;
        connect(w.portSwitch(), &PortSwitch::switchedOff, this, [&] { boxesWhenOff = w.watcher.seen().size(); });
        w.unlock();

        QVERIFY(w.watcher.problems().isEmpty());
        QCOMPARE(w.watcher.dialogs().size(), 1);
        QCOMPARE(w.texts(), QStringList{SettingsMessage});
        QCOMPARE(w.watcher.seen()[0].title, QStringLiteral("Внимание"));
        QCOMPARE(w.watcher.seen()[0].icon, QMessageBox::Information);
        QVERIFY(w.panel()->isVisible());
        QVERIFY(w.form->settingsUnlockFlag()->isChecked());
        // Switched off once the message was read; the display reset.
        QCOMPARE(boxesWhenOff, 1);
        QVERIFY(!w.portSwitch()->isOn());
        QVERIFY(!w.link()->isPortOpen());
        QVERIFY(w.lampsDark());
        QCOMPARE(w.weight(), QStringLiteral("0"));
        QCOMPARE(w.status(), QStringLiteral("Прибор Выключен"));
        QVERIFY(!w.link()->StableFlag());
        QCOMPARE(w.folder.toolsIniBytes(), w.iniAtStart);
    }

    // "Справочник машин" is on the panel only the administrator unlocks.
    void registerBehindTheGate()
    {
        Weighbridge w(QStringLiteral("0"));
        QPushButton *button = w.child<QPushButton>("TrucksButton");
        QVERIFY(!button->isVisible());
        w.unlock();
        QVERIFY(button->isVisible());
        w.click(button);
        QTRY_VERIFY(w.trucks->isVisible());
        QCOMPARE(w.trucks->windowTitle(), QStringLiteral("Справочник машин"));
        QVERIFY(w.watcher.problems().isEmpty());
    }

    void lockingKeepsTheEditsUnsaved()
    {
        Weighbridge w(QStringLiteral("0"));
        w.unlock();
        QVERIFY(w.panel()->isVisible());
        w.retype("comspeed", QStringLiteral("br4800"));

        // Locked again: nothing saved, nothing applied, the port stays closed.
        w.click(w.form->lockButton());
        QVERIFY(w.panel()->isHidden());
        QVERIFY(!w.form->settingsUnlockFlag()->isChecked());
        QCOMPARE(w.watcher.dialogs().size(), 1);
        QCOMPARE(w.folder.toolsIniBytes(), w.iniAtStart);
        QCOMPARE(int(w.link()->port()->baudRate()), 9600);
        QVERIFY(!w.link()->isPortOpen());

        // The box kept its text; a later unlock and save writes it.
        w.unlock();
        QCOMPARE(w.watcher.dialogs().size(), 2);
        QCOMPARE(w.child<QComboBox>("comspeed")->currentText(), QStringLiteral("br4800"));
        w.click(w.form->saveSettingsButton());
        QVERIFY(w.folder.toolsIni().contains(QStringLiteral("Speed=br4800\r\n")));
        QCOMPARE(int(w.link()->port()->baudRate()), 4800);
        QVERIFY(w.watcher.problems().isEmpty());
    }

    void savingAppliesAndWrites_data()
    {
        QTest::addColumn<bool>("switchOn");
        // Typed into the scale's limits beside the unit; empty: left empty, no keys written.
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("min");
        QTest::newRow("port switched on on the panel") << true << "" << "";
        QTest::newRow("port left off") << false << "" << "";
        QTest::newRow("limits typed") << false << "60,5" << "0,2";
    }

    void savingAppliesAndWrites()
    {
        QFETCH(bool, switchOn);
        QFETCH(QString, max);
        QFETCH(QString, min);
        Weighbridge w(QStringLiteral("1"));
        const QString portAtStart = w.link()->port()->portName();
        w.unlock();
        for (const auto &[name, text] : {std::pair{"MaxWeight", max}, std::pair{"MinWeight", min}})
            if (!text.isEmpty()) {
                w.click(w.child<QLineEdit>(name));
                type(w.form.get(), text);
            }
        w.retype("Pribor", QStringLiteral("WI2002"));
        w.retype("comspeed", QStringLiteral("br4800"));
        w.retype("izmer", QStringLiteral("тонны"));
        w.retype("comselect", QStringLiteral("com2"));
        if (switchOn) {
            w.click(w.portSwitch());
            // The switch-on takes the lists as retyped, unsaved.
            QCOMPARE(int(w.link()->port()->baudRate()), 4800);
            QCOMPARE(w.link()->port()->parity(), QSerialPort::NoParity);
        }
        QCOMPARE(w.link()->isPortOpen(), switchOn);

        w.click(w.form->saveSettingsButton());

        QCOMPARE(w.texts(), QStringList{SettingsMessage});
        QCOMPARE(w.folder.toolsIni(), QStringLiteral("[Tool]\r\nizmer=тонны\r\nCOM=com2\r\nSpeed=br4800\r\n"
                                                     "wi=WI2002\r\nopen=%1\r\n%2")
                                          .arg(switchOn ? "1" : "0",
                                               max.isEmpty() ? QString()
                                                             : QStringLiteral("max=%1\r\nmin=%2\r\n").arg(max, min)));
        // The weigh operation refuses by the limits as saved.
        QCOMPARE(w.form->entryForm()->weighing()->limits().max, max);
        QCOMPARE(w.form->entryForm()->weighing()->limits().min, min);
        QCOMPARE(w.form->openComFlag()->text(), QLatin1String(switchOn ? "1" : "0"));
        // Model, speed and unit apply at once; the port name waits for the next start.
        QSerialPort *port = w.link()->port();
        QCOMPARE(w.link()->isPortOpen(), switchOn);
        QCOMPARE(w.portSwitch()->isOn(), switchOn);
        QCOMPARE(int(port->baudRate()), 4800);
        QCOMPARE(port->parity(), QSerialPort::NoParity);
        QCOMPARE(port->flowControl(), QSerialPort::HardwareControl);
        QCOMPARE(port->portName(), portAtStart);
        QCOMPARE(w.child<QLabel>("izmer2")->text(), QStringLiteral("т"));
        // The weight display was reset, not merely switched off ("0").
        QCOMPARE(w.weight(), QStringLiteral("0,000"));
        QCOMPARE(w.status(), QStringLiteral("Прибор Выключен"));
        if (switchOn) {
            // The line itself runs with the new settings.
            const termios t = w.indicator.lineSettings().value_or(termios{});
            QCOMPARE(cfgetospeed(&t), speed_t(B4800));
            QVERIFY(t.c_cflag & CRTSCTS);
        }
        // Locked again, on the first page.
        QVERIFY(w.panel()->isHidden());
        QVERIFY(!w.form->settingsUnlockFlag()->isChecked());
        QCOMPARE(w.form->pageControl()->currentIndex(), int(MainForm::WorkPage));
        QVERIFY(w.watcher.problems().isEmpty());

        if (!switchOn) {
            // The next start keeps the port closed.
            MainForm next(*w.store, w.folder.path());
            QCOMPARE(next.openComFlag()->text(), QStringLiteral("0"));
            QVERIFY(!next.indicatorLink()->isPortOpen());
        }
    }

    void portThatCannotOpenAtSaveWritesNothing()
    {
        Weighbridge w(QStringLiteral("0"));
        w.unlock();
        w.indicator.unplug(); // the adapter is pulled while the panel is open
        w.click(w.portSwitch());
        QCOMPARE(w.watcher.seen().size(), 2);
        QVERIFY(w.watcher.seen()[1].text.startsWith(QStringLiteral("Unable to open com port")));
        QVERIFY(w.portSwitch()->isOn());
        QVERIFY(!w.link()->isPortOpen());

        w.retype("comspeed", QStringLiteral("br4800"));
        w.click(w.form->saveSettingsButton());

        // The open failed again at the end of the save: reported, nothing
        // written, and the panel stays unlocked for another try.
        QCOMPARE(w.watcher.seen().size(), 3);
        QCOMPARE(w.watcher.seen()[2].title, QStringLiteral("Krodalin"));
        QVERIFY(w.watcher.seen()[2].text.startsWith(QStringLiteral("Unable to open com port")));
        QCOMPARE(w.folder.toolsIniBytes(), w.iniAtStart);
        QVERIFY(w.panel()->isVisible());
        QVERIFY(w.form->settingsUnlockFlag()->isChecked());
        QCOMPARE(w.form->pageControl()->currentIndex(), int(MainForm::SettingsPage));

        // Plugged in again, the same save goes through.
        QVERIFY(w.indicator.plug());
        w.click(w.form->saveSettingsButton());
        QCOMPARE(w.watcher.seen().size(), 3);
        QVERIFY(w.link()->isPortOpen());
        QVERIFY(w.folder.toolsIni().contains(QStringLiteral("Speed=br4800\r\nwi=Libra v.1_24\r\nopen=1\r\n")));
        QVERIFY(w.panel()->isHidden());
    }

    void lineErrorThenOnAgainFromThePanel()
    {
        Weighbridge w(QStringLiteral("1"));
        QVERIFY(w.second() && w.second());
        QCOMPARE(w.weight(), QStringLiteral("5100"));

        // The cable is pulled: one line error, the link goes off.
        w.indicator.unplug();
        QVERIFY(w.watcher.waitForBoxes(1));
        QCOMPARE(w.texts(), QStringList{QStringLiteral("Ошибка записи в ComPort!")});
        QTRY_VERIFY(!w.portSwitch()->isOn());
        QVERIFY(!w.link()->isPortOpen());

        // Plugged in again: the administrator unlocks the panel and switches
        // the link on, without restarting the program.
        QVERIFY(w.indicator.plug());
        w.indicator.clearReceived();
        w.unlock();
        QCOMPARE(w.texts().last(), SettingsMessage);
        w.click(w.portSwitch());
        QVERIFY(w.link()->isPortOpen());
        QVERIFY(w.lampsLit());
        QVERIFY(w.second() && w.second());
        QVERIFY(w.indicator.received().startsWith("s"));
        QCOMPARE(w.weight(), QStringLiteral("5100"));
        QCOMPARE(w.status(), QStringLiteral("Прибор Включен"));

        // Saved so, the next start opens the port again.
        w.click(w.form->saveSettingsButton());
        QVERIFY(w.link()->isPortOpen());
        QVERIFY(w.folder.toolsIni().contains(QStringLiteral("open=1\r\n")));
        QCOMPARE(w.watcher.seen().size(), 2);
        QVERIFY(w.watcher.problems().isEmpty());
    }
};

QTEST_MAIN(TestSettingsPage)
#include "test_settingspage.moc"

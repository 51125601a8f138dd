// The main window: its pages and hidden flags, the creation steps with the
// settings file and a real serial port (a pseudo-terminal), and the two ways
// out of the program.

#include <QCheckBox>
#include <functional>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <optional>

#include "common/session.h"
#include "app/helptext.h"
#include "app/mainform.h"
#include "app/startup.h"
#include "toolkit/clocklabel.h"
#include "indicator/indicatorlink.h"
#include "toolkit/lamp.h"
#include "toolkit/portswitch.h"
#include "simulator/simulator.h"
#include "messageboxes.h"
#include "programfolder.h"
#include "common/failure.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"

namespace {

const QString ExitText = QStringLiteral("Вы хотите завершить работу программы?");
const QString ExitTitle = QStringLiteral("Завершение работы программы");

// A program folder with tools.ini (or none) and the tables, open as WE.
class Folder
{
public:
    explicit Folder(const std::optional<QString> &toolsIni, bool withTables = true)
    {
        if (toolsIni)
            m_dir.writeToolsIni(*toolsIni);
        m_store = TableStore::openCreating(m_dir.path());
        if (withTables)
            Schema::createTables(*m_store);
    }
    QString path() const { return m_dir.path(); }
    TableStore &store() const { return *m_store; }

private:
    ProgramFolder m_dir;
    std::unique_ptr<TableStore> m_store;
};

// The indicator at the far end of a pseudo-terminal.
class Indicator : public IndicatorSimulator
{
public:
    Indicator()
    {
        QString error;
        if (!plug(&error))
            qWarning("no pseudo-terminal: %s", qPrintable(error));
    }
    QString deviceName() const { return devicePath(); }
};

QString toolsIni(const QString &com, const QString &open, const QString &model = QStringLiteral("Libra v.1_24"))
{
    return QStringLiteral("[Tool]\r\nizmer=кг\r\nCOM=%1\r\nSpeed=br9600\r\nwi=%2\r\nopen=%3\r\n")
        .arg(com, model, open);
}

QString today() { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat); }

template <typename T>
T *child(const MainForm &f, const char *name)
{
    T *w = f.findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qWarning("no widget %s", name);
    return w;
}

// A main window whose creation step 3 is the test's to watch; the window's
// own step fills the entry form's lists. Only later runs of the steps see it.
class WatchedMainForm : public MainForm
{
public:
    using MainForm::MainForm;
    std::function<void()> fillReferenceListsStep;

protected:
    void fillReferenceLists() override
    {
        if (fillReferenceListsStep)
            fillReferenceListsStep();
    }
};

} // namespace

class TestMainForm final : public QObject
{
    Q_OBJECT

private slots:
    // As the start order does before the first window.
    void initTestCase() { QVERIFY(installToolkitTranslation()); }

    void init()
    {
        Session::LoginOk = 1;
        Session::OperatorName = QStringLiteral("Петров П.П.");
    }

    void windowAndPages()
    {
        Folder folder(std::nullopt);
        MainForm form(folder.store(), folder.path());

        QCOMPARE(form.objectName(), QStringLiteral("MainForm"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Кродалин для автомобильных весов v.11.0.5 "));
        QCOMPARE(form.minimumSize(), QSize(673, 493));
        QCOMPARE(form.maximumSize(), QSize(673, 493));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);

        auto *pages = child<QTabWidget>(form, "PageControl1");
        QVERIFY(pages);
        const QStringList captions = {QStringLiteral("Работа с прибором"),
                                      QStringLiteral("Поиск, Просмотр и Редактирование БД"),
                                      QStringLiteral("Настройка программы"), QStringLiteral("О программе"),
                                      QStringLiteral("Помощь")};
        QCOMPARE(pages->count(), captions.size());
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(pages->tabText(i), captions[i]);
        QCOMPARE(pages->currentIndex(), 0);

        // Each page holds what other parts of the program build on.
        auto onPage = [&](int page, const char *name) {
            auto *w = form.findChild<QWidget *>(QString::fromLatin1(name));
            return w && pages->widget(page)->isAncestorOf(w);
        };
        for (const char *name : {"EntryPanel", "NewButtonSlot", "Panel4", "RxLabel2", "printme", "RxSpeedButton9"})
            QVERIFY2(onPage(0, name), name);
        QVERIFY(onPage(1, "JournalPanel"));
        for (const char *name : {"panel_controls", "Pribor", "izmer", "comselect", "comspeed", "RxSwitch1",
                                 "LockButton", "SaveSettingsButton", "Copies1"})
            QVERIFY2(onPage(2, name), name);
        // Every control of every page shows whole: none is cut by the box it lies in.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            for (const QWidget *w : pages->widget(page)->findChildren<QWidget *>()) {
                if (!w->isVisibleTo(pages->widget(page)) || !qobject_cast<const QAbstractButton *>(w)
                    && !qobject_cast<const QComboBox *>(w))
                    continue;
                const QRect within = w->parentWidget()->rect();
                QVERIFY2(within.contains(w->geometry()),
                         qPrintable(QStringLiteral("%1 on page %2").arg(w->objectName()).arg(page)));
            }
        }
        pages->setCurrentIndex(0);
        QVERIFY(onPage(3, "Image1"));
        QVERIFY(onPage(4, "Memo1"));
        auto *image = child<QLabel>(form, "Image1");
        QCOMPARE(image->pixmap().size(), QSize(660, 411));

        // The manual: read-only, and every section is there.
        auto *memo = child<QPlainTextEdit>(form, "Memo1");
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const QString manual = memo->toPlainText();
        int at = -1;
        for (const QString &heading : {QStringLiteral("<<< Аппаратные и программные требования >>>"),
                                       QStringLiteral("<<< Инструкция по работе с программой >>>"),
                                       QStringLiteral("<<< Режимы работы программы: >>>"),
                                       QStringLiteral("<<< Назначение кнопок: >>."),
                                       QStringLiteral("<<< Предостережения: >>>")}) {
            const int next = manual.indexOf(heading);
            QVERIFY2(next > at, qPrintable(heading));
            at = next;
        }
    }

    void settingsLists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("model") << "Pribor"
                               << QStringList{"Libra v.1_24", "Libra v.1_25 укомпл. часами",
                                              "Libra v.2_10 двухканальная", "WI2002"};
        QTest::newRow("unit") << "izmer" << QStringList{"кг", "тонны"};
        QTest::newRow("port") << "comselect" << QStringList{"com1", "com2", "com3", "com4", "com5"};
        QTest::newRow("speed") << "comspeed"
                               << QStringList{"br115200", "br1200", "br14400", "br19200", "br2400",
                                              "br38400", "br4800", "br56000", "br57600", "br9600"};
    }

    void settingsLists()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        Folder folder(std::nullopt);
        MainForm form(folder.store(), folder.path());
        auto *box = form.findChild<QComboBox *>(name);
        QVERIFY(box);
        QVERIFY(box->isEditable());
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown, items);

        // Typed text stays as typed and does not join the list.
        form.show();
        form.pageControl()->setCurrentIndex(MainForm::SettingsPage);
        form.settingsPanel()->show();
        box->lineEdit()->clear();
        QTest::keyClicks(box, QStringLiteral("Br9"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->currentText(), QStringLiteral("Br9"));
        QCOMPARE(box->count(), items.size());
    }

    void startState()
    {
        Folder folder(std::nullopt);
        MainForm form(folder.store(), folder.path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        auto *stability = child<QLabel>(form, "RxLabel10");
        QCOMPARE(stability->text(), QStringLiteral("Стабильность"));
        QVERIFY(stability->isHidden());
        QVERIFY(!form.indicatorLink()->StableFlag());
        QCOMPARE(child<QLabel>(form, "RxLabel2")->text(), QStringLiteral("0,000"));
        QCOMPARE(child<QLabel>(form, "izmer2")->text(), QStringLiteral("кг"));
        auto *status = child<QLabel>(form, "RxLabel23");
        QCOMPARE(status->text(), QStringLiteral("Прибор Выключен"));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(status->font().bold());

        // Both time widgets show, the computer's clock in front.
        auto *clock = form.findChild<ClockLabel *>();
        auto *panel5 = child<QLabel>(form, "Panel5");
        QVERIFY(clock && clock->isVisible());
        QVERIFY(panel5->isVisible());
        QCOMPARE(panel5->text(), QStringLiteral("12:00"));
        QCOMPARE(clock->geometry(), panel5->geometry());
        const QObjectList stacked = clock->parentWidget()->children();
        QVERIFY(stacked.indexOf(clock) > stacked.indexOf(panel5));

        QVERIFY(!child<QPushButton>(form, "printme")->isEnabled());
        QVERIFY(child<QWidget>(form, "panel_controls")->isHidden());
        QVERIFY(child<QRadioButton>(form, "Copies1")->isChecked());
        QCOMPARE(form.copiesChoice(), 1);
        QVERIFY(!form.findChild<PortSwitch *>()->isOn());
        for (Lamp *lamp : form.findChildren<Lamp *>())
            QVERIFY(!lamp->isLit());
        QCOMPARE(form.findChildren<Lamp *>().size(), 2);
        QVERIFY(form.journalView()->isOpen());
    }

    void hiddenFlagsNeverShow()
    {
        Folder folder(std::nullopt);
        MainForm form(folder.store(), folder.path());
        form.show();
        for (int page = 0; page < form.pageControl()->count(); ++page) {
            form.pageControl()->setCurrentIndex(page);
            for (const char *name : {"CheckBox1", "CheckBox2", "Checkexit", "opencom"}) {
                auto *w = child<QWidget>(form, name);
                QVERIFY2(w && !w->isVisible(), name);
            }
        }
        QVERIFY(!child<QCheckBox>(form, "CheckBox1")->isChecked());
        QVERIFY(!child<QCheckBox>(form, "CheckBox2")->isChecked());
        QVERIFY(!child<QCheckBox>(form, "Checkexit")->isChecked());
    }

    void statusBarShowsHint_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("toolTip");

        const QString panelTip = QStringLiteral("если на идикаторе не отображаеться \n")
                                 + QString(18, QLatin1Char(' '))
                                 + QStringLiteral("\"Стабильность\" \nзначит показания прибора нестабильны! ");
        QTest::newRow("indicator panel")
            << 0 << "Panel4"
            << "если на идикаторе не отображаеться \"Стабильность\" значит показания прибора нестабильны!"
            << panelTip;
        QTest::newRow("exit") << 0 << "RxSpeedButton9" << "Завершение работы" << "Завершение работы";
        QTest::newRow("print") << 0 << "printme" << "Печать путев. листа по выбранному АВТО"
                               << "Печать путев. листа по выбранному АВТО";
        QTest::newRow("lamp") << 0 << "RxLamp1" << "Индикатор работы СОМ порта" << "Индикатор работы СОМ порта";
        QTest::newRow("clock") << 0 << "RxClock1" << "Время" << "Время";
        QTest::newRow("date") << 0 << "Panel3" << "Дата" << "Дата";
        QTest::newRow("copies") << 2 << "Copies4" << "4 копии" << "4 копии";
        QTest::newRow("lock")
            << 2 << "LockButton"
            << "Административные настройки программы для работы с прибором нужен пароль Администратора!"
            << "Административные настройки\nпрограммы для работы с прибором \nнужен пароль Администратора!";
        QTest::newRow("port switch")
            << 2 << "RxSwitch1"
            << "Производит включение и выключение СОМ порта прибора и индикатора работы прибора"
            << "Производит включение и выключение СОМ порта прибора и индикатора работы прибора";
        QTest::newRow("picture") << 3 << "Image1" << "О программе" << "О программе";
        QTest::newRow("about ok") << 3 << "RxSpeedButton4" << "Переход на закладку работы с прибором"
                                  << "Переход на закладку работы с прибором";
        QTest::newRow("manual") << 4 << "Memo1" << "Помощь" << "Помощь";
    }

    void statusBarShowsHint()
    {
        QFETCH(int, page);
        QFETCH(QString, name);
        QFETCH(QString, statusText);
        QFETCH(QString, toolTip);

        Folder folder(std::nullopt);
        MainForm form(folder.store(), folder.path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.pageControl()->setCurrentIndex(page);
        form.settingsPanel()->show();

        auto *w = form.findChild<QWidget *>(name);
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->toolTip(), toolTip);
        QTest::mouseMove(w, QPoint(w->width() / 2, w->height() / 2));
        QTRY_COMPARE(form.statusBar()->currentMessage(), statusText);
    }

    void failedLoginEndsTheLoop()
    {
        Session::LoginOk = 0;
        Folder folder(QStringLiteral("[Tool]\r\nCOM=com3\r\nopen=1\r\n"));
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());

        QVERIFY(!form.pageControl()->isEnabled());
        // Nothing of the later steps ran.
        QVERIFY(!form.journalView()->isOpen());
        QCOMPARE(form.openComFlag()->text(), QStringLiteral("0"));
        QCOMPARE(child<QComboBox>(form, "comselect")->currentText(), QStringLiteral("com1"));
        QVERIFY(!form.findChild<PortSwitch *>()->isOn());

        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(watcher.seen().isEmpty());
    }

    void settingsFillTheBoxes_data()
    {
        QTest::addColumn<std::optional<QString>>("ini");
        QTest::addColumn<QStringList>("boxes"); // comselect, comspeed, Pribor, opencom, izmer
        QTest::addColumn<QString>("unitLabel");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<bool>("clockShown");
        QTest::addColumn<bool>("indicatorTimeShown");

        const int even = QSerialPort::EvenParity;
        QTest::newRow("written by the program")
            << std::optional<QString>("[Tool]\r\nizmer=тонны\r\nCOM=com3\r\nSpeed=br4800\r\nwi=WI2002\r\nopen=0\r\n")
            << QStringList{"com3", "br4800", "WI2002", "0", "тонны"} << "т" << 4800
            << int(QSerialPort::NoParity) << true << false;
        QTest::newRow("model key in capitals")
            << std::optional<QString>("[Tool]\r\nCOM=com2\r\nSpeed=br115200\r\nWI=Libra v.1_25 укомпл. часами\r\n"
                                      "open=0\r\nizmer=кг\r\n")
            << QStringList{"com2", "br115200", "Libra v.1_25 укомпл. часами", "0", "кг"} << "кг" << 115200
            << even << false << true;
        QTest::newRow("names in any case, blanks around values")
            << std::optional<QString>("[TOOL]\r\ncom= com5 \r\nSPEED=br1200\r\nWi=Libra v.2_10 двухканальная\r\n"
                                      "OPEN=0\r\nIzmer=  кг\r\n")
            << QStringList{"com5", "br1200", "Libra v.2_10 двухканальная", "0", "кг"} << "кг" << 1200 << even
            << true << false;
        QTest::newRow("texts outside the lists")
            << std::optional<QString>("[Tool]\r\nCOM=/dev/ttyUSB7\r\nSpeed=BR4800\r\nwi=libra v.1_24\r\n"
                                      "open=yes\r\nizmer=граммы\r\n")
            << QStringList{"/dev/ttyUSB7", "BR4800", "libra v.1_24", "yes", "граммы"} << "кг" << 9600 << even
            << true << true;
        QTest::newRow("missing keys")
            << std::optional<QString>("[Tool]\r\nCOM=com4\r\n[Other]\r\nSpeed=br2400\r\n")
            << QStringList{"com4", " ", " ", " ", " "} << "кг" << 9600 << even << true << true;
        QTest::newRow("no settings file")
            << std::optional<QString>() << QStringList{" ", " ", " ", " ", " "} << "кг" << 9600 << even << true
            << true;
    }

    void settingsFillTheBoxes()
    {
        QFETCH(std::optional<QString>, ini);
        QFETCH(QStringList, boxes);
        QFETCH(QString, unitLabel);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(bool, clockShown);
        QFETCH(bool, indicatorTimeShown);

        Folder folder(ini);
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());

        const QStringList shown = {child<QComboBox>(form, "comselect")->currentText(),
                                   child<QComboBox>(form, "comspeed")->currentText(),
                                   child<QComboBox>(form, "Pribor")->currentText(),
                                   child<QLineEdit>(form, "opencom")->text(),
                                   child<QComboBox>(form, "izmer")->currentText()};
        QCOMPARE(shown, boxes);
        QCOMPARE(child<QLabel>(form, "izmer2")->text(), unitLabel);

        QSerialPort *port = form.indicatorLink()->port();
        QCOMPARE(int(port->baudRate()), baud);
        QCOMPARE(int(port->parity()), parity);
        QCOMPARE(!form.findChild<ClockLabel *>()->isHidden(), clockShown);
        QCOMPARE(!child<QLabel>(form, "Panel5")->isHidden(), indicatorTimeShown);

        QVERIFY(!form.indicatorLink()->isPortOpen());
        QVERIFY(!form.findChild<PortSwitch *>()->isOn());
        QCOMPARE(child<QLabel>(form, "Panel3")->text(), today());
        QVERIFY(watcher.seen().isEmpty());
    }

    void openFlag_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<bool>("opened");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("1 with blanks") << "  1  " << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("01") << "01" << false;
        QTest::newRow("yes") << "yes" << false;
    }

    void openFlag()
    {
        QFETCH(QString, open);
        QFETCH(bool, opened);

        Indicator line;
        QVERIFY(!line.deviceName().isEmpty());
        Folder folder(toolsIni(line.deviceName(), open));
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());

        QVERIFY2(watcher.seen().isEmpty(), qPrintable(watcher.seen().value(0).text));
        QCOMPARE(form.indicatorLink()->isPortOpen(), opened);
        QCOMPARE(form.findChild<PortSwitch *>()->isOn(), opened);
        for (Lamp *lamp : form.findChildren<Lamp *>())
            QCOMPARE(lamp->isLit(), opened);
        QCOMPARE(child<QLabel>(form, "Panel3")->text(), today());
    }

    // End to end, on the real clock: a start with the port switched on in
    // the settings polls the indicator and shows its weight.
    void startWithOpenPortShowsTheWeight()
    {
        Indicator line;
        line.setWeight(211.515);
        Folder folder(toolsIni(line.deviceName(), QStringLiteral("1")));
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());
        form.show();

        QVERIFY(form.indicatorLink()->isPortOpen());
        // About two seconds: one poll, then the decode of its answer. The
        // margin is for a loaded machine.
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(form, "RxLabel2")->text(), QStringLiteral("211,515"), 15000);
        QCOMPARE(child<QLabel>(form, "RxLabel23")->text(), QStringLiteral("Прибор Включен"));
        QVERIFY(line.received().startsWith("s"));
        QVERIFY(watcher.seen().isEmpty());
    }

    void portThatCannotOpenSkipsTheDate()
    {
        // A model whose date comes from the indicator, so that switching on
        // does not fill the date display by itself.
        Folder folder(toolsIni(QStringLiteral("/dev/no-such-krodalin-port"), QStringLiteral("1"),
                               QStringLiteral("Libra v.1_25 укомпл. часами")));
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());

        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
        QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
        QVERIFY2(watcher.seen()[0].text.startsWith(QStringLiteral("Unable to open com port")),
                 qPrintable(watcher.seen()[0].text));
        // The switch shows on while the port is closed; the date step never ran.
        QVERIFY(form.findChild<PortSwitch *>()->isOn());
        QVERIFY(!form.indicatorLink()->isPortOpen());
        QCOMPARE(child<QLabel>(form, "Panel3")->text(), QString());
    }

    void missingJournalSkipsTheRest()
    {
        Folder folder(QStringLiteral("[Tool]\r\nCOM=com3\r\nizmer=тонны\r\n"), false);
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());

        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].title, QStringLiteral("Krodalin"));
        QCOMPARE(watcher.seen()[0].icon, QMessageBox::Critical);
        QVERIFY(!form.journalView()->isOpen());
        QCOMPARE(child<QComboBox>(form, "comselect")->currentText(), QStringLiteral("com1"));
        QCOMPARE(child<QLabel>(form, "izmer2")->text(), QStringLiteral("кг"));
        QCOMPARE(child<QLabel>(form, "Panel3")->text(), QString());
        // The window still works: the pages switch, and leaving asks as usual.
        form.Panel4DblClick();
        QCOMPARE(form.pageControl()->currentIndex(), int(MainForm::SettingsPage));
    }

    void referenceListsRunBeforeTheSettings()
    {
        Folder folder(QStringLiteral("[Tool]\r\nCOM=com3\r\n"));
        ModalWatcher watcher;
        WatchedMainForm form(folder.store(), folder.path());
        auto *comselect = child<QComboBox>(form, "comselect");
        auto *date = child<QLabel>(form, "Panel3");

        QString seenPort;
        bool viewOpen = false;
        form.fillReferenceListsStep = [&] {
            seenPort = comselect->currentText();
            viewOpen = form.journalView()->isOpen();
        };
        comselect->setCurrentText(QStringLiteral("edited"));
        form.FormCreate();
        QVERIFY(viewOpen);
        QCOMPARE(seenPort, QStringLiteral("edited"));
        QCOMPARE(comselect->currentText(), QStringLiteral("com3"));

        // A failure while filling the lists is reported and ends the steps.
        form.fillReferenceListsStep = [] { throw Failure(QStringLiteral("Справочник недоступен")); };
        comselect->setCurrentText(QStringLiteral("edited"));
        date->clear();
        form.FormCreate();
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, QStringLiteral("Справочник недоступен."));
        QCOMPARE(comselect->currentText(), QStringLiteral("edited"));
        QCOMPARE(date->text(), QString());
    }

    void exitButton()
    {
        Indicator line;
        Folder folder(toolsIni(line.deviceName(), QStringLiteral("1")));
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());
        TableCursor pending(folder.store(), Tables::Journal);
        pending.Open();
        form.setPendingView(&pending);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.indicatorLink()->isPortOpen());
        auto *exit = child<QPushButton>(form, "RxSpeedButton9");
        QCOMPARE(exit->text(), QStringLiteral(" Выход"));

        // No: everything goes on as before.
        watcher.answer(QMessageBox::No);
        QTest::mouseClick(exit, Qt::LeftButton);
        QCOMPARE(watcher.seen().size(), 1);
        const ModalWatcher::Box box = watcher.seen()[0];
        QCOMPARE(box.text, ExitText);
        QCOMPARE(box.title, ExitTitle);
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        // The toolkit's own button texts are Russian too.
        QCOMPARE(box.buttonTexts.join(u'|').remove(u'&'), QStringLiteral("Да|Нет"));
        QVERIFY(form.isVisible());
        QVERIFY(!form.exitConfirmedFlag()->isChecked());
        QVERIFY(form.indicatorLink()->isPortOpen());
        QVERIFY(form.findChild<PortSwitch *>()->isOn());
        QVERIFY(form.journalView()->isOpen());
        QVERIFY(pending.isOpen());

        // Yes: asked once although the close handler runs too.
        watcher.answer(QMessageBox::Yes);
        QTest::mouseClick(exit, Qt::LeftButton);
        QCOMPARE(watcher.seen().size(), 2);
        QVERIFY(!form.isVisible());
        QVERIFY(form.exitConfirmedFlag()->isChecked());
        QVERIFY(!form.findChild<PortSwitch *>()->isOn());
        QVERIFY(!form.indicatorLink()->isPortOpen());
        QCOMPARE(child<QLabel>(form, "RxLabel23")->text(), QStringLiteral("Прибор Выключен"));
        QVERIFY(!form.journalView()->isOpen());
        QVERIFY(!pending.isOpen());
        QVERIFY(watcher.problems().isEmpty());
    }

    void closeBox()
    {
        Indicator line;
        Folder folder(toolsIni(line.deviceName(), QStringLiteral("1")));
        ModalWatcher watcher;
        MainForm form(folder.store(), folder.path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        watcher.answer(QMessageBox::No);
        QVERIFY(!form.close());
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen()[0].text, ExitText);
        QCOMPARE(watcher.seen()[0].title, ExitTitle);
        QVERIFY(form.isVisible());
        QVERIFY(form.indicatorLink()->isPortOpen());
        QVERIFY(form.journalView()->isOpen());
        form.journalView()->First(); // still usable

        // The pending-truck window may not exist (yet): no view to close.
        QVERIFY(!form.pendingView());
        watcher.answer(QMessageBox::Yes);
        QVERIFY(form.close());
        QCOMPARE(watcher.seen().size(), 2);
        QVERIFY(!form.isVisible());
        QVERIFY(form.exitConfirmedFlag()->isChecked());
        QVERIFY(!form.indicatorLink()->isPortOpen());
        QVERIFY(!form.findChild<PortSwitch *>()->isOn());
        QVERIFY(!form.journalView()->isOpen());
    }

    void destroyingTheWindowClosesThePort()
    {
        Indicator line;
        Folder folder(toolsIni(line.deviceName(), QStringLiteral("1")));
        auto form = std::make_unique<MainForm>(folder.store(), folder.path());
        QVERIFY(form->indicatorLink()->isPortOpen());
        form.reset();

        // The device is free again: another port can take it.
        QSerialPort again(line.deviceName());
        QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
    }

    void pageSwitching()
    {
        Folder folder(std::nullopt);
        MainForm form(folder.store(), folder.path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTabWidget *pages = form.pageControl();

        // Double click anywhere on the indicator panel: the settings page.
        for (const char *name : {"RxLabel2", "izmer2", "RxLabel23", "Panel4"}) {
            pages->setCurrentIndex(MainForm::WorkPage);
            auto *w = child<QWidget>(form, name);
            QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(3, 3));
            QVERIFY2(pages->currentIndex() == MainForm::SettingsPage, name);
        }

        for (const auto &[page, name] : {std::pair{MainForm::AboutPage, "RxSpeedButton4"},
                                         std::pair{MainForm::HelpPage, "RxSpeedButton5"}}) {
            pages->setCurrentIndex(page);
            auto *ok = child<QPushButton>(form, name);
            QCOMPARE(ok->text(), QStringLiteral("Ок"));
            QTest::mouseClick(ok, Qt::LeftButton);
            QCOMPARE(pages->currentIndex(), int(MainForm::WorkPage));
        }
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"

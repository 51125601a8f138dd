// The indicator panel over a real link and port: its widgets show what the
// link reports, its switch and the link's PortSwitch follow each other, and
// the link's faults reach the operator as message boxes over the panel's
// window while the link's clock goes on.

#include <QLabel>
#include <QTest>
#include <QWidget>

#include "indicator/indicatorpanel.h"
#include "linkfixture.h"
#include "messageboxes.h"
#include "toolkit/clocklabel.h"
#include "toolkit/lamp.h"
#include "toolkit/portswitch.h"

namespace {

using Model = IndicatorSimulator::Model;

const QColor Green(0, 128, 0);
const QColor Red(Qt::red);

// The panel's widgets as the main window makes them, over a LinkFixture's link.
struct PanelFixture
{
    explicit PanelFixture(Model model = Model::Libra124) : f(model)
    {
        w.weight = label("RxLabel2", QStringLiteral("0,000"));
        w.unit = label("izmer2", QStringLiteral("кг"));
        w.status = label("RxLabel23", QStringLiteral("Прибор Выключен"));
        w.stability = label("RxLabel10", QStringLiteral("Стабильность"));
        w.stability->hide();
        w.indicatorTime = label("Panel5", QStringLiteral("12:00"));
        w.date = label("Panel3", QString());
        w.pcClock = new ClockLabel(&window);
        w.portSwitch = new PortSwitch(&window);
        w.portSwitch->setObjectName(QStringLiteral("RxSwitch1"));
        w.lampMain = new Lamp(&window);
        w.lampSettings = new Lamp(&window);
        panel = std::make_unique<IndicatorPanel>(f.link.get(), w);
    }

    QColor statusColour() const { return w.status->palette().color(QPalette::WindowText); }
    bool lampsLit() const { return w.lampMain->isLit() && w.lampSettings->isLit(); }
    bool lampsDark() const { return !w.lampMain->isLit() && !w.lampSettings->isLit(); }

    LinkFixture f;
    QWidget window;
    IndicatorWidgets w;
    std::unique_ptr<IndicatorPanel> panel;

private:
    QLabel *label(const char *name, const QString &text)
    {
        auto *l = new QLabel(text, &window);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    }
};

void expectPanelOff(PanelFixture &p)
{
    QVERIFY(!p.w.portSwitch->isOn());
    QVERIFY(p.w.stability->isHidden());
    QVERIFY(p.lampsDark());
    QCOMPARE(p.w.status->text(), QStringLiteral("Прибор Выключен"));
    QCOMPARE(p.statusColour(), Red);
    QCOMPARE(p.w.weight->text(), QStringLiteral("0"));
}

} // namespace

class TestIndicatorPanel final : public QObject
{
    Q_OBJECT

private slots:
    void showsWhatTheLinkReports();
    void faultsAreMessageBoxes_data();
    void faultsAreMessageBoxes();
};

void TestIndicatorPanel::showsWhatTheLinkReports()
{
    PanelFixture p(Model::Libra125Clock);
    QVERIFY(p.f.plugged);
    p.f.sim.setWeight(211.515);
    p.f.sim.setClock(QDateTime(QDate(2024, 3, 21), QTime(14, 5)));
    p.f.link->applyUnit(QStringLiteral("тонны"));
    QCOMPARE(p.w.unit->text(), QStringLiteral("т"));

    // The operator's switch switches the link on.
    p.w.portSwitch->setOn(true);
    QVERIFY(p.f.link->isSwitchOn() && p.f.link->isPortOpen());
    QVERIFY(p.lampsLit());
    QVERIFY(p.w.pcClock->isHidden() && !p.w.indicatorTime->isHidden());

    // The label shows exactly StableFlag, second by second.
    QList<bool> label, flag;
    while (p.f.link->clock()->elapsed() < 8) {
        QVERIFY(p.f.second());
        label << !p.w.stability->isHidden();
        flag << p.f.link->StableFlag();
    }
    QCOMPARE(label, flag);
    QVERIFY(label.contains(false) && label.last());
    QCOMPARE(p.w.weight->text(), QStringLiteral("211,515"));
    QCOMPARE(p.w.status->text(), QStringLiteral("Прибор Включен"));
    QCOMPARE(p.statusColour(), Green);
    QCOMPARE(p.w.indicatorTime->text(), QStringLiteral("14:05"));
    QCOMPARE(p.w.date->text(), QStringLiteral("21.03.24"));

    // The link switched off elsewhere: the switch follows it.
    p.f.link->setPortSwitch(false);
    expectPanelOff(p);
}

void TestIndicatorPanel::faultsAreMessageBoxes_data()
{
    QTest::addColumn<bool>("poll");          // the device vanishes just before a poll
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<bool>("offWhileShown"); // the link is off before the box shows
    QTest::addColumn<int>("ticksWhileShown");

    QTest::newRow("line error") << false << "Ошибка записи в ComPort!" << "Ошибка" << QMessageBox::Critical << false
                                << 2;
    QTest::newRow("poll write failure")
        << true
        << QStringLiteral("Ошибка записи в Последовательный порт(ComPort) или Ошибка прибора!")
               + QString(32, QLatin1Char(' ')) + QStringLiteral("Последовательный порт(ComPort) Выключен Автоматически!")
               + QString(59, QLatin1Char(' ')) + QStringLiteral("Рекомендуеться Перезагрузить программу!")
        << "Ошибка работы с прибором" << QMessageBox::Warning << true << 0;
}

void TestIndicatorPanel::faultsAreMessageBoxes()
{
    QFETCH(bool, poll);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(bool, offWhileShown);
    QFETCH(int, ticksWhileShown);

    PanelFixture p;
    QVERIFY(p.f.plugged);
    p.f.sim.setWeight(50);
    p.w.portSwitch->setOn(true);
    QVERIFY(p.f.secondsUntil(3));

    ModalWatcher watcher;
    bool switchOnWhileShown = !offWhileShown;
    int ticks = -1;
    watcher.whileShown([&](const ModalWatcher::Box &) {
        switchOnWhileShown = p.w.portSwitch->isOn();
        // The box's loop runs the link's clock.
        const int before = p.f.link->clock()->elapsed();
        p.f.link->clock()->tick();
        p.f.link->clock()->tick();
        ticks = p.f.link->clock()->elapsed() - before;
    });
    p.f.sim.unplug();
    if (poll)
        p.f.link->clock()->tick();
    QVERIFY(watcher.waitForBoxes(1, 3000));

    QCOMPARE(watcher.seen().size(), 1);
    const ModalWatcher::Box box = watcher.seen()[0];
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, title);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.textFormat, Qt::PlainText);
    QCOMPARE(box.parent.data(), &p.window);
    QCOMPARE(switchOnWhileShown, !offWhileShown);
    QCOMPARE(ticks, ticksWhileShown);
    QTRY_VERIFY(!p.f.link->isSwitchOn());
    expectPanelOff(p);
    QTest::qWait(200);
    QCOMPARE(watcher.seen().size(), 1);
    QVERIFY(watcher.problems().isEmpty());
}

QTEST_MAIN(TestIndicatorPanel)
#include "test_indicatorpanel.moc"

// The link as the main window sees it: the state at start, the unit label,
// the reset of the settings save, the model's time widgets, a switch that is
// set to the state it already has, and the link on its own: handed line
// settings as a value, reporting through signals.

#include <QSignalSpy>
#include <QTest>

#include "linkfixture.h"

using Model = IndicatorSimulator::Model;

class TestIndicatorLink final : public QObject
{
    Q_OBJECT

private slots:
    void stateAtStart();
    void unitLabel_data();
    void unitLabel();
    void resetOfTheSettingsSave();
    void timeWidgetsPerModel_data();
    void timeWidgetsPerModel();
    void switchingToTheSameStateDoesNothing();
    void portNames_data();
    void portNames();
    void handedSettingsReportedBySignals();
};

void TestIndicatorLink::stateAtStart()
{
    LinkFixture f;
    QCOMPARE(f.link->port()->objectName(), QStringLiteral("ComPort1"));
    QVERIFY(!f.link->isPortOpen());
    QVERIFY(!f.link->isSwitchOn());
    QVERIFY(!f.link->clock()->isRunning());
    QVERIFY(!f.shown.lampsLit);
    QVERIFY(!f.link->StableFlag());
    QCOMPARE(f.link->ReceiveBuffer(), QStringLiteral(" 0,00"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
    QCOMPARE(f.link->ReadingText(), QString());

    // The port before any setting: 9600, 8 bits, even parity, 1 stop bit, handshake.
    IndicatorLink fresh;
    QCOMPARE(fresh.port()->portName(), QStringLiteral("ttyS0")); // "COM1"
    QCOMPARE(fresh.port()->baudRate(), 9600);
    QCOMPARE(fresh.port()->dataBits(), QSerialPort::Data8);
    QCOMPARE(fresh.port()->parity(), QSerialPort::EvenParity);
    QCOMPARE(fresh.port()->stopBits(), QSerialPort::OneStop);
    QCOMPARE(fresh.port()->flowControl(), QSerialPort::HardwareControl);
}

void TestIndicatorLink::unitLabel_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("label");

    QTest::newRow("тонны") << "кг" << "тонны" << "т";
    QTest::newRow("кг") << "т" << "кг" << "кг";
    QTest::newRow("blank leaves it") << "т" << " " << "т";
    QTest::newRow("capital leaves it") << "кг" << "Тонны" << "кг";
    QTest::newRow("т itself leaves it") << "кг" << "т" << "кг";
}

void TestIndicatorLink::unitLabel()
{
    QFETCH(QString, before);
    QFETCH(QString, unit);
    QFETCH(QString, label);

    LinkFixture f;
    QVERIFY(f.plugged);
    f.shown.unit = before;
    f.sim.setWeight(1500);
    f.switchOn();
    QVERIFY(f.secondsUntil(2));

    f.link->applyUnit(unit);
    QCOMPARE(f.shown.unit, label);
    // Only a label: the number stays as the indicator sends it.
    QVERIFY(f.second());
    QCOMPARE(f.shown.weight, QStringLiteral("1500"));
    QCOMPARE(f.link->CurrentReading(), 1500.0);
}

void TestIndicatorLink::resetOfTheSettingsSave()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(75.25);
    f.switchOn();
    QVERIFY(f.secondsUntil(7));
    QVERIFY(f.link->StableFlag());
    QCOMPARE(f.shown.weight, QStringLiteral("75,25"));

    f.link->resetDisplay();
    QCOMPARE(f.link->ReadingText(), QStringLiteral("0,000"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
    QCOMPARE(f.shown.weight, QStringLiteral("0,000"));
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Выключен"));
    QVERIFY(!f.link->StableFlag());
    QVERIFY(!f.shown.stability);
    // It resets the display only: the link stays as it was.
    QVERIFY(f.link->isPortOpen());
}

void TestIndicatorLink::timeWidgetsPerModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("indicatorClock");
    QTest::addColumn<bool>("dateRefreshed");

    QTest::newRow("Libra v.1_24") << DeviceModel::Libra124 << false << true;
    QTest::newRow("Libra v.1_25") << DeviceModel::Libra125Clock << true << false;
    QTest::newRow("Libra v.2_10") << DeviceModel::Libra210 << false << true;
    QTest::newRow("WI2002") << DeviceModel::WI2002 << false << true;
}

void TestIndicatorLink::timeWidgetsPerModel()
{
    QFETCH(QString, model);
    QFETCH(bool, indicatorClock);
    QFETCH(bool, dateRefreshed);

    LinkFixture f;
    // At start both widgets are there; an unknown model leaves them so.
    f.link->applyModel(QStringLiteral("wi2002"), true);
    QVERIFY(f.shown.pcClockShown && f.shown.indicatorTimeShown);
    QCOMPARE(f.shown.date, QString());

    // At start-up the date is left to the main window.
    f.link->applyModel(model, false);
    QCOMPARE(!f.shown.indicatorTimeShown, !indicatorClock);
    QCOMPARE(!f.shown.pcClockShown, indicatorClock);
    QCOMPARE(f.shown.date, QString());

    f.link->applyModel(model, true);
    QCOMPARE(f.shown.date, dateRefreshed ? IndicatorLink::todayText() : QString());
}

void TestIndicatorLink::switchingToTheSameStateDoesNothing()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    QSignalSpy lamp(f.link->clock()->Timer1(), &LinkTimer::activeChanged);
    f.switchOff(); // off while off
    QCOMPARE(lamp.count(), 0);
    QCOMPARE(f.shown.weight, QStringLiteral("0,000")); // no switch-off ran

    f.switchOn();
    QVERIFY(f.secondsUntil(3));
    f.switchOn(); // on while on: the clock goes on counting
    QCOMPARE(f.link->clock()->elapsed(), 3);
    QCOMPARE(lamp.count(), 1);
    QCOMPARE(f.sim.received(), QByteArray(3, 's'));
}

void TestIndicatorLink::portNames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("device");

    QTest::newRow("com1") << "com1" << "/dev/ttyS0";
    QTest::newRow("COM5") << "COM5" << "/dev/ttyS4";
    QTest::newRow("Com9") << "Com9" << "/dev/ttyS8";
    QTest::newRow("com10 as typed") << "com10" << "com10";
    QTest::newRow("com0 as typed") << "com0" << "com0";
    QTest::newRow("trailing blank as typed") << "com1 " << "com1 ";
    QTest::newRow("a path as typed") << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("blank as typed") << " " << " ";
}

void TestIndicatorLink::portNames()
{
    QFETCH(QString, text);
    QFETCH(QString, device);
    QCOMPARE(DeviceModel::portDevice(text), device);
}

void TestIndicatorLink::handedSettingsReportedBySignals()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    // Nobody shows its reports and no list is handed on: what the link is
    // handed is all it knows, and what it reports it tells through signals.
    f.stopShowing();
    QSignalSpy reading(f.link.get(), &IndicatorLink::readingShown);
    QSignalSpy status(f.link.get(), &IndicatorLink::deviceStatusChanged);
    QSignalSpy stable(f.link.get(), &IndicatorLink::stabilityChanged);
    QSignalSpy unit(f.link.get(), &IndicatorLink::unitChanged);
    QSignalSpy lamps(f.link.get(), &IndicatorLink::portOpenChanged);

    f.link->apply(LineSettings{f.sim.devicePath(), QStringLiteral("br4800"), DeviceModel::WI2002,
                               QStringLiteral("тонны")},
                  false);
    QCOMPARE(f.link->port()->baudRate(), 4800);
    QCOMPARE(f.link->port()->parity(), QSerialPort::NoParity);
    QCOMPARE(unit.count(), 1);
    QCOMPARE(unit.at(0).at(0).toString(), QStringLiteral("т"));

    // Handed only: the port keeps the line until the switch-on applies it.
    f.link->setLineSettings(LineSettings{f.sim.devicePath(), QStringLiteral("br19200"),
                                         IndicatorSimulator::modelText(Model::Libra124), QStringLiteral("кг")});
    QCOMPARE(f.link->port()->baudRate(), 4800);
    QCOMPARE(f.lists.speed, QStringLiteral("br9600"));

    f.sim.setWeight(75.25);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    QCOMPARE(f.link->port()->baudRate(), 19200); // the lists still say br9600
    QCOMPARE(f.link->port()->parity(), QSerialPort::EvenParity);
    QCOMPARE(lamps.count(), 1);
    QCOMPARE(lamps.at(0).at(0).toBool(), true);
    QVERIFY(f.secondsUntil(7));

    QVERIFY(!reading.isEmpty());
    QCOMPARE(reading.last().at(0).toString(), QStringLiteral("75,25"));
    QVERIFY(!status.isEmpty());
    QCOMPARE(status.last().at(0).toBool(), true);
    QVERIFY(f.link->StableFlag());
    QCOMPARE(stable.last().at(0).toBool(), true);
    QCOMPARE(f.shown.weight, QStringLiteral("0,000"));
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Выключен"));
    QVERIFY(!f.shown.lampsLit);

    f.switchOff();
    QCOMPARE(reading.last().at(0).toString(), QStringLiteral("0"));
    QCOMPARE(status.last().at(0).toBool(), false);
    QCOMPARE(stable.last().at(0).toBool(), false);
    QVERIFY(!f.link->StableFlag());
    QCOMPARE(lamps.last().at(0).toBool(), false);
}

QTEST_MAIN(TestIndicatorLink)
#include "test_indicatorlink.moc"

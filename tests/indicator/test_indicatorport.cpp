// The link on the real QSerialPort over a pseudo-terminal, against the
// simulated indicator: what goes over the line, the line settings per model
// and speed name, and the failures with what the operator is told.

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>

#include "common/errorreport.h"
#include "common/failure.h"
#include "indicator/framedecoder.h"
#include "linkfixture.h"

namespace {

using Model = IndicatorSimulator::Model;

// The texts of the general error report while it lives.
class ReportedErrors
{
public:
    ReportedErrors() : m_before(setErrorReporter([this](const QString &text) { texts << text; })) {}
    ~ReportedErrors() { setErrorReporter(m_before); }

    QStringList texts;

private:
    ErrorReporter m_before;
};

bool hardwareFlow(const IndicatorSimulator &sim) { return sim.lineSettings().value_or(termios{}).c_cflag & CRTSCTS; }

speed_t lineSpeed(const IndicatorSimulator &sim)
{
    const termios t = sim.lineSettings().value_or(termios{});
    return ::cfgetospeed(&t);
}

void expectLinkOff(LinkFixture &f)
{
    QVERIFY(!f.link->isSwitchOn());
    QVERIFY(!f.link->isPortOpen());
    QVERIFY(!f.link->clock()->isRunning());
    QVERIFY(!f.shown.lampsLit);
    QVERIFY(!f.link->StableFlag());
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Выключен"));
    QCOMPARE(f.shown.weight, QStringLiteral("0"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
}

} // namespace

class TestIndicatorPort final : public QObject
{
    Q_OBJECT

private slots:
    void libraIsPolledOncePerSecond_data();
    void libraIsPolledOncePerSecond();
    void wi2002IsNeverWrittenTo();
    void lineSettingsFollowTheModel_data();
    void lineSettingsFollowTheModel();
    void saveWhileOnTakesNewSettings();
    void speedNames_data();
    void speedNames();
    void openFailure_data();
    void openFailure();
    void unplugGivesOneLineError();
    void pollWriteFailure();
    void rejectedLineSettings();
    void realClockShowsTheWeight();
    void wi2002ByteStreamShowsWholeWeight();
    void libraAnswerCutByThePoll_data();
    void libraAnswerCutByThePoll();
};

void TestIndicatorPort::libraIsPolledOncePerSecond_data()
{
    QTest::addColumn<Model>("model");
    QTest::newRow("Libra v.1_24") << Model::Libra124;
    QTest::newRow("Libra v.1_25 with clock") << Model::Libra125Clock;
    QTest::newRow("Libra v.2_10") << Model::Libra210;
}

void TestIndicatorPort::libraIsPolledOncePerSecond()
{
    QFETCH(Model, model);
    LinkFixture f(model);
    QVERIFY(f.plugged);
    f.sim.setWeight(211.515);
    f.sim.setClock(QDateTime(QDate(2024, 3, 21), QTime(14, 5)));

    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    QVERIFY(f.shown.lampsLit);
    QTest::qWait(50);
    QCOMPARE(f.sim.received(), QByteArray()); // opening sends nothing

    for (int t = 1; t <= 5; ++t) {
        QVERIFY(f.second());
        QCOMPARE(f.sim.received(), QByteArray(t, 's')); // one byte, no line end
    }
    QCOMPARE(f.link->ReadingText(), QStringLiteral(" 211,515"));
    QCOMPARE(f.link->CurrentReading(), 211.515);
    QCOMPARE(f.shown.weight, QStringLiteral("211,515"));
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Включен"));

    if (model == Model::Libra125Clock) {
        QCOMPARE(f.link->IndicatorTime(), QStringLiteral("14:05"));
        QCOMPARE(f.link->IndicatorDate(), QStringLiteral("21.03.24"));
        QCOMPARE(f.shown.indicatorTime, QStringLiteral("14:05"));
        QCOMPARE(f.shown.date, QStringLiteral("21.03.24"));
    } else {
        QCOMPARE(f.link->IndicatorTime(), QString());
        QCOMPARE(f.shown.indicatorTime, QStringLiteral("12:00"));
        QCOMPARE(f.shown.date, IndicatorLink::todayText());
    }

    f.switchOff();
    expectLinkOff(f);
    f.link->clock()->tick();
    QTest::qWait(20);
    QCOMPARE(f.sim.received(), QByteArray(5, 's'));
}

void TestIndicatorPort::wi2002IsNeverWrittenTo()
{
    LinkFixture f(Model::WI2002);
    QVERIFY(f.plugged);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    for (int t = 1; t <= 5; ++t) {
        QVERIFY(f.send(f.sim.frame(12.5).chopped(2)));
        QVERIFY(f.second());
    }
    QTest::qWait(50);
    QCOMPARE(f.sim.received(), QByteArray());
    QCOMPARE(f.link->CurrentReading(), 12.5);
    QCOMPARE(f.shown.weight, QStringLiteral("12,5"));

    // Several lines between two decodes: only the first counts.
    QVERIFY(f.send("=    1.25kg"));
    QVERIFY(f.send("=    7.75kg"));
    QVERIFY(f.second());
    QCOMPARE(f.link->CurrentReading(), 1.25);
}

void TestIndicatorPort::lineSettingsFollowTheModel_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<bool>("hardwareFlow");
    QTest::addColumn<bool>("indicatorClock");
    QTest::addColumn<bool>("dateFromComputer");

    QTest::newRow("Libra v.1_24") << Model::Libra124 << QSerialPort::EvenParity << false << false << true;
    QTest::newRow("Libra v.1_25") << Model::Libra125Clock << QSerialPort::EvenParity << false << true << false;
    QTest::newRow("Libra v.2_10") << Model::Libra210 << QSerialPort::EvenParity << false << false << true;
    QTest::newRow("WI2002") << Model::WI2002 << QSerialPort::NoParity << true << false << true;
}

void TestIndicatorPort::lineSettingsFollowTheModel()
{
    QFETCH(Model, model);
    QFETCH(QSerialPort::Parity, parity);
    QFETCH(bool, hardwareFlow);
    QFETCH(bool, indicatorClock);
    QFETCH(bool, dateFromComputer);

    LinkFixture f(model);
    QVERIFY(f.plugged);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());

    // A pseudo-terminal keeps speed and handshake but reports no parity, so
    // the parity is read back from the port.
    QCOMPARE(::hardwareFlow(f.sim), hardwareFlow);
    QCOMPARE(f.link->port()->parity(), parity);
    QCOMPARE(f.link->port()->flowControl(), hardwareFlow ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
    QCOMPARE(f.link->port()->dataBits(), QSerialPort::Data8);
    QCOMPARE(f.link->port()->stopBits(), QSerialPort::OneStop);
    QCOMPARE(lineSpeed(f.sim), speed_t(B9600));

    QCOMPARE(!f.shown.indicatorTimeShown, !indicatorClock);
    QCOMPARE(!f.shown.pcClockShown, indicatorClock);
    QCOMPARE(f.shown.date, dateFromComputer ? IndicatorLink::todayText() : QString());
}

void TestIndicatorPort::saveWhileOnTakesNewSettings()
{
    // The settings save: off, apply, on again. The port name stays.
    LinkFixture f(Model::WI2002);
    QVERIFY(f.plugged);
    f.switchOn();
    QVERIFY(::hardwareFlow(f.sim));
    const QString device = f.link->port()->portName();

    f.switchOff();
    f.link->resetDisplay();
    f.choose(&LineSettings::model, DeviceModel::Libra124);
    f.choose(&LineSettings::speed, QStringLiteral("br19200"));
    f.choose(&LineSettings::portName, QStringLiteral("com2"));
    f.link->applySpeed(f.lists.speed);
    f.link->applyModel(f.lists.model, true);
    f.switchOn();

    QVERIFY(f.link->isPortOpen());
    QVERIFY(!::hardwareFlow(f.sim));
    QCOMPARE(f.link->port()->parity(), QSerialPort::EvenParity);
    QCOMPARE(lineSpeed(f.sim), speed_t(B19200));
    QCOMPARE(f.link->port()->portName(), device);

    // A model change on the open port takes effect at once.
    f.link->applyModel(DeviceModel::WI2002, false);
    QVERIFY(::hardwareFlow(f.sim));
    QCOMPARE(f.link->port()->parity(), QSerialPort::NoParity);

    // Any other text changes nothing.
    f.link->applyModel(QStringLiteral("Libra v.1_24 "), true);
    QVERIFY(::hardwareFlow(f.sim));
    QCOMPARE(f.link->port()->parity(), QSerialPort::NoParity);
}

void TestIndicatorPort::speedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("speed"); // termios speed after switching on

    QTest::newRow("br1200") << "br1200" << int(B1200);
    QTest::newRow("br19200") << "br19200" << int(B19200);
    QTest::newRow("br57600") << "br57600" << int(B57600);
    QTest::newRow("br115200") << "br115200" << int(B115200);
    // Anything else leaves the speed as it was (4800 here).
    QTest::newRow("trailing blank") << "br9600 " << int(B4800);
    QTest::newRow("capitals") << "BR9600" << int(B4800);
    QTest::newRow("blank from a missing setting") << " " << int(B4800);
    QTest::newRow("bare number") << "9600" << int(B4800);
}

void TestIndicatorPort::speedNames()
{
    QFETCH(QString, name);
    QFETCH(int, speed);

    LinkFixture f;
    QVERIFY(f.plugged);
    f.link->applySpeed(QStringLiteral("br4800"));
    f.choose(&LineSettings::speed, name);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    QCOMPARE(int(lineSpeed(f.sim)), speed);
}

void TestIndicatorPort::openFailure_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("code");

    QTest::newRow("no such device") << "/dev/no-such-krodalin-port" << ENOENT;
    QTest::newRow("blank name") << " " << ENOENT;
    QTest::newRow("in use by another program") << "in use" << EBUSY;
}

void TestIndicatorPort::openFailure()
{
    QFETCH(QString, port);
    QFETCH(int, code);

    LinkFixture f;
    QVERIFY(f.plugged);
    QSerialPort other;
    if (port == QLatin1String("in use")) {
        other.setPortName(f.sim.devicePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
    } else {
        f.link->setPortName(port);
    }

    ReportedErrors reports;
    f.switchOn();
    QCOMPARE(reports.texts, QStringList{QStringLiteral("Unable to open com port (win error code: %1)").arg(code)});

    // On but not open: no lamp, no timer, nothing sent.
    QVERIFY(f.link->isSwitchOn());
    QVERIFY(!f.link->isPortOpen());
    QVERIFY(!f.link->clock()->isRunning());
    QVERIFY(!f.shown.lampsLit);
    QVERIFY(!f.link->StableFlag());

    // Off and on again retries the open.
    other.close();
    f.link->setPortName(f.sim.devicePath());
    f.switchOff();
    f.switchOn();
    QCOMPARE(reports.texts.size(), 1);
    QVERIFY(f.link->isPortOpen());
    QVERIFY(f.link->clock()->isRunning());
}

void TestIndicatorPort::unplugGivesOneLineError()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(50);
    f.switchOn();
    QVERIFY(f.secondsUntil(3));
    QCOMPARE(f.link->CurrentReading(), 50.0);

    int reports = 0;
    bool portClosedWhileOpen = false;
    bool switchOnWhileOpen = false;
    bool anotherReportOnTop = false;
    QString statusWhileOpen;
    QObject::connect(f.link.get(), &IndicatorLink::lineErrorOccurred, f.link.get(), [&] {
        const int mine = ++reports;
        portClosedWhileOpen = !f.link->isPortOpen() && !f.shown.lampsLit;
        switchOnWhileOpen = f.link->isSwitchOn();
        // The operator's message waits here in a loop of its own: the clock
        // goes on, nothing stacks on it, and the display no longer shows the
        // weight of the vanished device.
        f.link->clock()->tick();
        f.link->clock()->tick();
        QTest::qWait(100);
        anotherReportOnTop = reports != mine;
        statusWhileOpen = f.shown.status + QLatin1Char('|') + f.shown.weight;
    });
    f.sim.unplug();

    QTRY_COMPARE_WITH_TIMEOUT(reports, 1, 3000);
    QTRY_VERIFY(!f.link->isSwitchOn());
    QVERIFY(portClosedWhileOpen);
    QVERIFY(switchOnWhileOpen); // off once the message is read
    QVERIFY(!anotherReportOnTop);
    QCOMPARE(statusWhileOpen, QStringLiteral("Прибор Выключен|0,000"));
    expectLinkOff(f);

    QTest::qWait(200);
    QCOMPARE(reports, 1);

    // Plugged in again, the link comes back on the operator's switch.
    QVERIFY(f.sim.plug());
    f.link->setPortName(f.sim.devicePath());
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    QVERIFY(f.secondsUntil(2));
    QCOMPARE(f.link->CurrentReading(), 50.0);
    QCOMPARE(reports, 1);
}

void TestIndicatorPort::pollWriteFailure()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(50);
    f.switchOn();
    QVERIFY(f.secondsUntil(2));

    int reports = 0;
    bool offBeforeTheReport = false;
    int ticksWhileOpen = 0;
    QObject::connect(f.link.get(), &IndicatorLink::pollWriteFailed, f.link.get(), [&] {
        ++reports;
        offBeforeTheReport = !f.link->isSwitchOn() && !f.link->isPortOpen() && !f.link->clock()->isRunning();
        const int before = f.link->clock()->elapsed();
        f.link->clock()->tick();
        ticksWhileOpen = f.link->clock()->elapsed() - before;
    });
    QSignalSpy lineErrors(f.link.get(), &IndicatorLink::lineErrorOccurred);
    // The device vanishes just before the poll, before any port event.
    f.sim.unplug();
    f.link->clock()->tick();

    QCOMPARE(reports, 1);
    QVERIFY(offBeforeTheReport);
    QCOMPARE(ticksWhileOpen, 0);
    expectLinkOff(f);

    // The line error the same failure raised is not reported on top of it.
    QTest::qWait(200);
    QCOMPARE(reports, 1);
    QCOMPARE(lineErrors.count(), 0);
}

void TestIndicatorPort::rejectedLineSettings()
{
    // A pseudo-terminal cannot do parity: on the open port it refuses it, as
    // a device refuses settings it cannot take. The port stays open.
    LinkFixture f(Model::WI2002);
    QVERIFY(f.plugged);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    QSignalSpy lineErrors(f.link.get(), &IndicatorLink::lineErrorOccurred);
    ReportedErrors reports;
    try {
        f.link->applyModel(DeviceModel::Libra124, false);
        QFAIL("the terminal took parity");
    } catch (const Failure &e) {
        QCOMPARE(e.message(), QStringLiteral("SetCommState function failed (win error code: %1)").arg(EINVAL));
    }
    QVERIFY(f.link->isPortOpen());
    QVERIFY(f.link->isSwitchOn());
    QVERIFY(f.link->clock()->isRunning());
    QTest::qWait(50);
    QCOMPARE(lineErrors.count(), 0); // no line error follows
    QVERIFY(reports.texts.isEmpty());
}

void TestIndicatorPort::realClockShowsTheWeight()
{
    // End to end on the real clock: switched on, the weight is polled, shown
    // and judged once a second without anybody ticking.
    LinkFixture f;
    QVERIFY(f.plugged);
    f.link->clock()->setManual(false);
    f.sim.setWeight(1500);
    f.switchOn();
    QTRY_COMPARE_WITH_TIMEOUT(f.shown.weight, QStringLiteral("1500"), 4000);
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Включен"));
    QVERIFY(!f.sim.received().isEmpty());
    QCOMPARE(f.sim.received().count('s'), f.sim.received().size());
    f.switchOff();
    expectLinkOff(f);
}

void TestIndicatorPort::wi2002ByteStreamShowsWholeWeight()
{
    // "=23456.78" CR LF back to back at 9600 baud, the buffer emptied by the
    // poll at whatever byte has arrived.
    LinkFixture f(Model::WI2002);
    QVERIFY(f.plugged);
    f.sim.setWeight(23456.78);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    f.sim.setStreaming(true);

    int cutsInsideAFrame = 0;
    QStringList shown;
    for (int i = 0; i < 20; ++i) {
        // Enough for the rest of a cut frame and at least one whole frame.
        QTest::qWait(40 + (i * 11) % 30);
        if (!FrameDecoder::endsAtFrameBoundary(f.link->ReceiveBuffer()))
            ++cutsInsideAFrame;
        QVERIFY(f.second());
        shown << f.shown.weight;
    }
    QCOMPARE(shown, QStringList(20, QStringLiteral("23456,78")));
    QCOMPARE(f.link->CurrentReading(), 23456.78);
    QVERIFY(f.link->StableFlag());
    // The stream really was cut inside frames.
    QVERIFY2(cutsInsideAFrame > 0, "every poll fell between two frames");
    f.sim.setStreaming(false);
}

void TestIndicatorPort::libraAnswerCutByThePoll_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<int>("cut"); // bytes of the answer in before the poll empties the buffer

    // The Libra v.1_24's answer has 41 bytes, the clock model's 60.
    for (int cut : {5, 10, 12, 26}) {
        QTest::addRow("Libra v.1_24, cut after %d", cut) << Model::Libra124 << cut;
        QTest::addRow("Libra v.1_25, cut after %d", cut) << Model::Libra125Clock << cut;
    }
}

void TestIndicatorPort::libraAnswerCutByThePoll()
{
    QFETCH(Model, model);
    QFETCH(int, cut);

    // A late answer: its bytes are still arriving, at the line rate, when the
    // next poll empties the buffer; the rest of it begins the next buffer.
    LinkFixture f(model);
    QVERIFY(f.plugged);
    f.sim.setClock(QDateTime(QDate(2024, 3, 21), QTime(14, 5)));
    f.sim.setWeight(211.515);
    f.switchOn();
    QVERIFY(f.secondsUntil(2));
    QCOMPARE(f.shown.weight, QStringLiteral("211,515"));
    f.sim.setPaced(true);
    const auto waitFor = [&](auto condition) {
        QDeadlineTimer deadline(3000);
        while (!condition() && !deadline.hasExpired())
            QTest::qWait(1);
        return condition();
    };

    const auto onlyWholeReadings = [&] {
        const QString w = f.shown.weight;
        // A buffer that begins with the line break of a cut answer has an
        // empty first line: nothing received, "0,000" for that second.
        const bool zero = w == QLatin1String("0") || w == QLatin1String("0,000");
        return (w == QLatin1String("211,515") || (zero && !f.link->StableFlag()))
            && (model != Model::Libra125Clock
                || (f.link->IndicatorTime() == QLatin1String("14:05")
                    && f.link->IndicatorDate() == QLatin1String("21.03.24")));
    };
    // The poll; the answer starts arriving byte by byte.
    f.link->clock()->tick();
    QVERIFY(waitFor([&] { return f.link->ReceiveBuffer().size() >= cut; }));
    // The next second falls inside the answer.
    f.link->clock()->tick();
    QVERIFY2(onlyWholeReadings(), qPrintable(f.shown.weight));
    // The rest of it, then the whole answer to that poll.
    QVERIFY(waitFor([&] { return f.link->ReceiveBuffer().count(QLatin1String("\r\n")) == 2; }));
    f.link->clock()->tick();
    QVERIFY2(onlyWholeReadings(), qPrintable(f.shown.weight));
    QVERIFY(waitFor([&] { return f.link->ReceiveBuffer().endsWith(QLatin1String("\r\n")); }));
    f.sim.setPaced(false);
}

QTEST_MAIN(TestIndicatorPort)
#include "test_indicatorport.moc"

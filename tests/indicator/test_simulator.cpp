// The simulated indicator the tests and the demo lean on: its frames read
// back as the weight it was given, its command language, and the
// indicator-sim tool on a real terminal.

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

#include "indicator/devicemodel.h"
#include "indicator/framedecoder.h"
#include "simulator/simulator.h"

using Model = IndicatorSimulator::Model;

class TestSimulator final : public QObject
{
    Q_OBJECT

private slots:
    void framesReadBack_data();
    void framesReadBack();
    void answersOnlyPolls();
    void jitterStaysWithinItsAmplitude();
    void script();
    void waitHoldsTheFollowingCommands();
    void linkFollowsPlugAndUnplug();
    void tool();
    void killedClientLeavesThePortUsable();
};

void TestSimulator::framesReadBack_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<double>("weight");

    for (Model m : {Model::Libra124, Model::Libra125Clock, Model::Libra210, Model::WI2002}) {
        const QByteArray name = IndicatorSimulator::modelText(m).toUtf8();
        for (double w : {0.0, 211.515, -5.5, 1500.0, 9999.999})
            QTest::addRow("%s %g", name.constData(), w) << m << w;
    }
}

void TestSimulator::framesReadBack()
{
    QFETCH(Model, model);
    QFETCH(double, weight);

    IndicatorSimulator sim(model);
    sim.setClock(QDateTime(QDate(2024, 12, 31), QTime(23, 59)));
    const QByteArray frame = sim.frame(weight);
    QVERIFY(frame.endsWith("\r\n"));
    QCOMPARE(frame.count("\r\n"), 1);

    const FrameReading r =
        FrameDecoder::decode(FrameDecoder::takeFrameLine(QString::fromLatin1(frame)), IndicatorSimulator::modelText(model));
    QCOMPARE(r.reading, weight);
    QVERIFY(r.deviceOn);
    if (model == Model::Libra125Clock) {
        QCOMPARE(r.indicatorTime, QStringLiteral("23:59"));
        QCOMPARE(r.indicatorDate, QStringLiteral("31.12.24"));
    }
}

void TestSimulator::answersOnlyPolls()
{
    IndicatorSimulator sim(Model::Libra124);
    QVERIFY(sim.plug());
    QSerialPort port(sim.devicePath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    sim.setWeight(7);

    port.write("xs\r\ns");
    QTRY_COMPARE(sim.received(), QByteArray("xs\r\ns"));
    QTRY_COMPARE(sim.framesSent(), 2);
    QTRY_COMPARE(port.bytesAvailable(), qint64(2 * sim.frame(7).size()));
    QCOMPARE(port.readAll(), sim.frame(7) + sim.frame(7));

    sim.setSilent(true);
    port.write("s");
    QTRY_COMPARE(sim.received().size(), 6);
    QTest::qWait(50);
    QCOMPARE(sim.framesSent(), 2);
    QCOMPARE(port.bytesAvailable(), qint64(0));
}

void TestSimulator::jitterStaysWithinItsAmplitude()
{
    IndicatorSimulator sim(Model::Libra210);
    QVERIFY(sim.plug());
    QSerialPort port(sim.devicePath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    sim.setWeight(12.5);
    sim.setJitter(0.5);

    port.write(QByteArray(100, 's'));
    QTRY_COMPARE(sim.framesSent(), 100);
    QSet<double> readings;
    while (readings.size() < 100 && (port.canReadLine() || port.waitForReadyRead(1000))) {
        while (port.canReadLine()) {
            const double r = FrameDecoder::decode(FrameDecoder::takeFrameLine(QString::fromLatin1(port.readLine())),
                                                  DeviceModel::Libra210)
                                 .reading;
            QVERIFY2(r >= 12.0 && r <= 13.0, qPrintable(QString::number(r)));
            readings << r;
        }
    }
    QVERIFY(readings.size() > 10); // it does move
}

void TestSimulator::script()
{
    IndicatorSimulator sim(Model::Libra124);
    SimulatorScript script(&sim);
    QSignalSpy failed(&script, &SimulatorScript::failed);
    QSignalSpy quit(&script, &SimulatorScript::quitRequested);

    script.feed(QStringLiteral("weight 211,515"));
    QCOMPARE(sim.weight(), 211.515);
    script.feed(QStringLiteral("  WEIGHT 12.5  "));
    QCOMPARE(sim.weight(), 12.5);
    script.feed(QStringLiteral("# a comment"));
    script.feed(QString());
    QCOMPARE(failed.count(), 0);

    script.feed(QStringLiteral("ramp 20 0,2"));
    const double midway = sim.weight();
    QVERIFY(midway >= 12.5 && midway < 20);
    QTRY_COMPARE(sim.weight(), 20.0);

    script.feed(QStringLiteral("silence"));
    QVERIFY(sim.isSilent());
    script.feed(QStringLiteral("talk"));
    QVERIFY(!sim.isSilent());
    script.feed(QStringLiteral("model wi2002"));
    QCOMPARE(sim.model(), Model::WI2002);
    script.feed(QStringLiteral("model Libra v.1_25 укомпл. часами"));
    QCOMPARE(sim.model(), Model::Libra125Clock);
    script.feed(QStringLiteral("clock 08:30 01.02.24"));
    QVERIFY(sim.frame(1).contains(" t 08:30 d 01.02.24 "));

    // A drift never settles; a weight stops it.
    script.feed(QStringLiteral("weight 100"));
    script.feed(QStringLiteral("drift 37"));
    const double before = sim.weight();
    QTRY_VERIFY(sim.weight() > before);
    script.feed(QStringLiteral("weight 5"));
    QCOMPARE(sim.weight(), 5.0);
    script.feed(QStringLiteral("pace on"));
    QVERIFY(sim.isPaced());
    script.feed(QStringLiteral("PACE off"));
    QVERIFY(!sim.isPaced());
    script.feed(QStringLiteral("delay 0,5"));
    script.feed(QStringLiteral("split 10 0.2"));
    QCOMPARE(failed.count(), 0);

    for (const char *bad : {"weight", "weight x", "ramp 5", "model Libra", "fly 3", "wait -1", "clock 25:00 01.01.24",
                            "drift", "pace maybe", "stream", "delay -1", "split 10"})
        script.feed(QString::fromLatin1(bad));
    QCOMPARE(failed.count(), 12);

    script.feed(QStringLiteral("quit"));
    QCOMPARE(quit.count(), 1);
}

void TestSimulator::waitHoldsTheFollowingCommands()
{
    IndicatorSimulator sim;
    SimulatorScript script(&sim);
    script.feed(QStringLiteral("weight 1"));
    script.feed(QStringLiteral("wait 0.2"));
    script.feed(QStringLiteral("weight 2"));
    QCOMPARE(sim.weight(), 1.0);
    QVERIFY(!script.isIdle());
    QTRY_COMPARE(sim.weight(), 2.0);
    QVERIFY(script.isIdle());
}

void TestSimulator::linkFollowsPlugAndUnplug()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scale"));
    IndicatorSimulator sim;
    QVERIFY(sim.setLink(link));
    QVERIFY(!QFileInfo::exists(link)); // nothing to point at yet

    QVERIFY(sim.plug());
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath());
    sim.unplug();
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(sim.plug());
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath());

    // A file in the way is never replaced.
    const QString file = dir.filePath(QStringLiteral("file"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QString why;
    QVERIFY(!sim.setLink(file, &why));
    QVERIFY(QFileInfo(file).isFile());
}

void TestSimulator::tool()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scale"));
    QProcess sim;
    sim.start(QStringLiteral(KRODALIN_BIN_DIR "/indicator-sim"),
              {QStringLiteral("--model"), QStringLiteral("libra125"), QStringLiteral("--weight"),
               QStringLiteral("42,5"), QStringLiteral("--link"), link});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), qPrintable(device));
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    QSerialPort port(link);
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.write("s");
    QTRY_VERIFY(port.canReadLine());
    const QString frame = QString::fromLatin1(port.readLine());
    const FrameReading r = FrameDecoder::decode(FrameDecoder::takeFrameLine(frame), DeviceModel::Libra125Clock);
    QCOMPARE(r.reading, 42.5);
    QCOMPARE(r.indicatorTime.size(), 5);

    // Commands on standard input.
    sim.write("weight 7\nquit\n");
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink()); // no dangling link behind
    port.close();

    QProcess help;
    help.start(QStringLiteral(KRODALIN_BIN_DIR "/indicator-sim"), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(5000));
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char *command : {"weight W", "ramp W S", "jitter X", "silence", "unplug", "wait S", "--script"})
        QVERIFY2(text.contains(QLatin1String(command)), command);
}

void TestSimulator::killedClientLeavesThePortUsable()
{
    // A program that polls a Libra (even parity, no handshake) is killed
    // while the answer waits unread; started again, it opens the port.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scale"));
    QProcess sim;
    sim.start(QStringLiteral(KRODALIN_BIN_DIR "/indicator-sim"),
              {QStringLiteral("--weight"), QStringLiteral("12,5"), QStringLiteral("--link"), link});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));

    QProcess client;
    client.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--killed-client"), link});
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitStatus(), QProcess::CrashExit);
    QVERIFY2(client.readAllStandardOutput().contains("POLLED"), "the client did not get the port");

    QSerialPort again(link);
    again.setParity(QSerialPort::EvenParity);
    again.setFlowControl(QSerialPort::NoFlowControl);
    // The simulator notices within a quarter of a second that the client
    // has gone; until then the port is as the client left it.
    bool opened = false;
    QDeadlineTimer deadline(3000);
    while (!(opened = again.open(QIODevice::ReadWrite)) && !deadline.hasExpired())
        QTest::qWait(20);
    QVERIFY2(opened, qPrintable(again.errorString()));
    again.write("s");
    QTRY_VERIFY(again.canReadLine());
    const FrameReading r = FrameDecoder::decode(
        FrameDecoder::takeFrameLine(QString::fromLatin1(again.readLine())), DeviceModel::Libra124);
    QCOMPARE(r.reading, 12.5);
    again.close();

    sim.write("quit\n");
    QVERIFY(sim.waitForFinished(5000));
}

namespace {

// The program that dies: opens the port as the link does for a Libra, polls,
// and is killed before it reads the answer or closes the port.
int killedClient(const QString &port)
{
    QSerialPort p(port);
    p.setParity(QSerialPort::EvenParity);
    p.setFlowControl(QSerialPort::NoFlowControl);
    if (!p.open(QIODevice::ReadWrite))
        return 2;
    p.write("s");
    p.waitForBytesWritten(1000);
    QTest::qWait(200);
    std::printf("POLLED\n");
    std::fflush(stdout);
    ::raise(SIGKILL);
    return 3;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--killed-client") == 0)
        return killedClient(QString::fromLocal8Bit(argv[2]));
    TestSimulator t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_simulator.moc"

// What the decode tick makes of the receive buffer, per indicator model.
// Buffers are given as the bytes on the line and read as Windows-1251, the
// way the link reads them.

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

#include <cmath>

#include "indicator/devicemodel.h"
#include "indicator/framedecoder.h"
#include "indicator/numberform.h"

namespace {

QString fromLine(const QByteArray &bytes)
{
    QStringDecoder cp1251("windows-1251");
    return cp1251.decode(bytes);
}

FrameReading decodeBuffer(const QByteArray &bytes, const QString &model)
{
    return FrameDecoder::decode(FrameDecoder::takeFrameLine(fromLine(bytes)), model);
}

const QByteArray Example = "A 01  N  211.515 Kg  T 00.515 Kg r 0 00\r\n";

} // namespace

class TestFrameDecoder final : public QObject
{
    Q_OBJECT

private slots:
    void frameLine_data();
    void frameLine();
    void reading_data();
    void reading();
    void clock_data();
    void clock();
    void wi2002Stream_data();
    void wi2002Stream();
    void randomBytes();
};

void TestFrameDecoder::frameLine_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("line");

    QTest::newRow("one frame") << Example << QString::fromLatin1(Example.chopped(2));
    QTest::newRow("two frames") << QByteArray("first\r\nsecond\r\n") << "first";
    QTest::newRow("no line break") << QByteArray(" 0,00") << " 0,00";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("starts with a break") << QByteArray("\r\nlater") << "";
    QTest::newRow("lone LF is no break") << QByteArray("a\nb\r\nc") << "a\nb";
    QTest::newRow("lone CR is no break") << QByteArray("a\rb") << "a\rb";
    QTest::newRow("Cyrillic byte") << QByteArray("\xC1 0!p\r\n") << QString::fromUtf8("Б 0!p");
}

void TestFrameDecoder::frameLine()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, line);
    QCOMPARE(FrameDecoder::takeFrameLine(fromLine(buffer)), line);
}

void TestFrameDecoder::reading_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<QString>("readingText");
    QTest::addColumn<double>("reading");
    QTest::addColumn<QString>("display");
    QTest::addColumn<bool>("deviceOn");
    QTest::addColumn<bool>("hidesStability");

    const QString libra = DeviceModel::Libra124;
    const QString wi = DeviceModel::WI2002;

    // Libra frames, every Libra model alike.
    for (const QString &m : {DeviceModel::Libra124, DeviceModel::Libra125Clock, DeviceModel::Libra210})
        QTest::addRow("example, %s", qPrintable(m))
            << Example << m << true << " 211,515" << 211.515 << "211,515" << true << false;
    QTest::newRow("no Kg: up to T") << QByteArray("A 01  N  12.5 T 00.000 r 0 00\r\n") << libra << true << " 12,5"
                                    << 12.5 << "12,5" << true << false;
    QTest::newRow("no point") << QByteArray("A 01  N  1500 Kg  T 0 Kg\r\n") << libra << true << " 1500" << 1500.0
                              << "1500" << true << false;
    QTest::newRow("two frames: the first") << QByteArray("A 01  N  1.000 Kg  T\r\nA 01  N  2.000 Kg  T\r\n")
                                           << libra << true << " 1,000" << 1.0 << "1" << true << false;
    QTest::newRow("negative") << QByteArray("A 01  N  -0.020 Kg  T 0 Kg\r\n") << libra << true << " -0,020" << -0.02
                              << "-0,02" << true << false;
    QTest::newRow(" 1,2344 -> 1,234") << QByteArray("A 01  N  1,2344 Kg \r\n") << libra << true << " 1,2344" << 1.234
                                      << "1,234" << true << false;
    QTest::newRow(" 1,2346 -> 1,235") << QByteArray("A 01  N  1,2346 Kg \r\n") << libra << true << " 1,2346" << 1.235
                                      << "1,235" << true << false;
    QTest::newRow("1,2345 -> 1,234 (half to even)") << QByteArray("A 01  N 1,2345 Kg \r\n") << libra << true
                                                    << "1,2345" << 1.234 << "1,234" << true << false;
    QTest::newRow("1,2355 -> 1,236 (half to even)") << QByteArray("A 01  N 1,2355 Kg \r\n") << libra << true
                                                    << "1,2355" << 1.236 << "1,236" << true << false;
    QTest::newRow("start value of the buffer") << QByteArray(" 0,00") << libra << true << "0,000" << 0.0 << "0" << true
                                               << true;
    QTest::newRow("not a number") << QByteArray("A 01  N  12a.5 Kg  T\r\n") << libra << true << "0,000" << 0.0 << "0"
                                  << true << true;
    QTest::newRow("two points") << QByteArray("A 01  N  1.2.3 Kg  T\r\n") << libra << true << "0,000" << 0.0 << "0"
                                << true << true;
    QTest::newRow("no N marker") << QByteArray("A 01  211.515 Kg  T\r\n") << libra << true << "0,000" << 0.0 << "0"
                                 << true << true;
    QTest::newRow("end before N") << QByteArray("Kg  N  5 \r\n") << libra << true << "0,000" << 0.0 << "0" << true
                                  << true;
    // The tail of a late answer: the number in it is a piece of the weight.
    for (const QString &m : {DeviceModel::Libra124, DeviceModel::Libra125Clock, DeviceModel::Libra210})
        QTest::addRow("fragment without N, %s", qPrintable(m))
            << QByteArray("11.515 Kg  T 00.000 Kg r 0 00\r\nA 01  N  211.515 Kg  T 00.000 Kg r 0 00\r\n") << m
            << true << "0,000" << 0.0 << "0" << true << true;
    QTest::newRow("fragment ending in a number") << QByteArray("A 01  N  211") << libra << true << "0,000" << 0.0
                                                 << "0" << true << true;
    QTest::newRow("lowercase model is unknown") << Example << "libra v.1_24" << false << "" << 0.0 << "" << false
                                                << false;

    // WI2002 lines.
    QTest::newRow("x0001.5") << QByteArray("x0001.5\r\n") << wi << true << "0001,5" << 1.5 << "1,5" << true << false;
    QTest::newRow("simulator line") << QByteArray("= 211.515kg\r\n") << wi << true << " 211,515" << 211.515
                                    << "211,515" << true << false;
    QTest::newRow("short line") << QByteArray("x5") << wi << true << "5" << 5.0 << "5" << true << false;
    QTest::newRow("start value with WI2002") << QByteArray(" 0,00") << wi << true << "0,00" << 0.0 << "0" << true
                                             << false;
    QTest::newRow("0!p") << QByteArray("0!p\r\n") << wi << true << "0,000" << 0.0 << "0" << true << false;
    QTest::newRow("Б 0!p") << QByteArray("\xC1 0!p\r\n") << wi << true << "0,000" << 0.0 << "0" << true << false;
    QTest::newRow("!fБ 16") << QByteArray("!f\xC1 16\r\n") << wi << true << "0,000" << 0.0 << "0" << true << false;
    QTest::newRow("special line must be whole") << QByteArray("0!p \r\n") << wi << true << "0,000" << 0.0 << "0"
                                                << true << true;
    QTest::newRow("WI2002 not a number") << QByteArray("=abc\r\n") << wi << true << "0,000" << 0.0 << "0" << true
                                         << true;
    QTest::newRow("Libra frame to a WI2002") << Example << wi << true << "0,000" << 0.0 << "0" << true << true;

    // Nothing received: the same for every model text.
    for (const QString &m : {libra, wi, QStringLiteral("no such model")})
        QTest::addRow("empty buffer, %s", qPrintable(m))
            << QByteArray() << m << true << "0,000" << 0.0 << "0,000" << false << true;
    QTest::newRow("unknown model") << Example << "Libra" << false << "" << 0.0 << "" << false << false;
}

void TestFrameDecoder::reading()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, model);
    QFETCH(bool, applies);
    QFETCH(QString, readingText);
    QFETCH(double, reading);
    QFETCH(QString, display);
    QFETCH(bool, deviceOn);
    QFETCH(bool, hidesStability);

    const FrameReading r = decodeBuffer(buffer, model);
    QCOMPARE(r.applies, applies);
    if (!applies)
        return;
    QCOMPARE(r.readingText, readingText);
    QCOMPARE(r.reading, reading);
    QCOMPARE(r.display, display);
    QCOMPARE(r.deviceOn, deviceOn);
    QCOMPARE(r.hideStability, hidesStability);
    QVERIFY(!r.hasTime && !r.hasDate); // none of these frames carries a clock
}

void TestFrameDecoder::clock_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QString>("time"); // null: left as it was
    QTest::addColumn<QString>("date");

    QTest::newRow("simulator frame") << QByteArray("A 01  N  211.515 Kg  T 00.000 Kg t 14:05 d 21.03.24 r 0 00\r\n")
                                     << "14:05" << "21.03.24";
    // A frame without a marker, or cut inside a value, never gives a time or
    // a date: a fragment must not date a weighing.
    QTest::newRow("no time marker") << QByteArray("A 01  N  211.515 Kg d 21.03.24\r\n") << QString() << "21.03.24";
    QTest::newRow("no date marker") << QByteArray("A 01  N  211.515 Kg t 14:05\r\n") << "14:05" << QString();
    QTest::newRow("line ends in the time") << QByteArray("A 01  N  5 Kg t 1") << QString() << QString();
    QTest::newRow("line ends in the date") << QByteArray("A 01  N  5 Kg t 14:05 d 21.0") << "14:05" << QString();
    QTest::newRow("marker at the very end") << QByteArray("A 01  N  5 Kg d ") << QString() << QString();
    QTest::newRow("tail of a frame with its clock")
        << QByteArray("Kg t 09:41 d 01.02.25 r 0 00\r\n") << "09:41" << "01.02.25";
}

void TestFrameDecoder::clock()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QString, time);
    QFETCH(QString, date);

    const FrameReading r = decodeBuffer(buffer, DeviceModel::Libra125Clock);
    QCOMPARE(r.hasTime, !time.isNull());
    QCOMPARE(r.hasDate, !date.isNull());
    if (r.hasTime)
        QCOMPARE(r.indicatorTime, time);
    if (r.hasDate)
        QCOMPARE(r.indicatorDate, date);

    // The other Libras read the same weight but no clock.
    const FrameReading other = decodeBuffer(buffer, DeviceModel::Libra124);
    QVERIFY(!other.hasTime && !other.hasDate);
    QCOMPARE(other.reading, r.reading);
}

void TestFrameDecoder::wi2002Stream_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("startsMidFrame");
    QTest::addColumn<QString>("display");
    QTest::addColumn<bool>("hidesStability");

    // "=23456.78" CR LF back to back, the buffer emptied at any byte.
    const QByteArray frame = "=23456.78\r\n";
    const QByteArray stream = frame + frame + frame;
    for (int cut = 0; cut <= frame.size(); ++cut) {
        const bool mid = cut != 0 && cut != frame.size();
        QTest::addRow("cut after byte %d, two frames follow", cut) << stream.mid(cut) << mid << "23456,78" << false;
        // Only the rest of the cut frame and a frame still arriving.
        if (mid)
            QTest::addRow("cut after byte %d, a frame still arriving", cut)
                << stream.mid(cut, frame.size() - cut) + "=2345" << mid << "0" << true;
    }
    QTest::newRow("a frame still arriving at a boundary") << QByteArray("=2345") << false << "0" << true;
    QTest::newRow("start value, port just opened") << QByteArray(" 0,00") << true << "0" << true;
    QTest::newRow("start value and a joined stream")
        << QByteArray(" 0,0056.78\r\n=23456.78\r\n") << true << "23456,78" << false;
    QTest::newRow("special line after a tail") << QByteArray("78\r\n0!p\r\n") << true << "0" << false;
    QTest::newRow("special line at a boundary") << QByteArray("\xC1 0!p\r\n=1.5\r\n") << false << "0" << false;
}

void TestFrameDecoder::wi2002Stream()
{
    QFETCH(QByteArray, buffer);
    QFETCH(bool, startsMidFrame);
    QFETCH(QString, display);
    QFETCH(bool, hidesStability);

    const FrameReading r = FrameDecoder::decodeBuffer(fromLine(buffer), DeviceModel::WI2002, startsMidFrame);
    QVERIFY(r.applies);
    QCOMPARE(r.display, display);
    QVERIFY(r.deviceOn);
    QCOMPARE(r.hideStability, hidesStability);

    // Where the poll empties the buffer decides where the next one starts.
    QVERIFY(FrameDecoder::endsAtFrameBoundary(QString()));
    QVERIFY(FrameDecoder::endsAtFrameBoundary(QStringLiteral("=1\r\n")));
    QVERIFY(!FrameDecoder::endsAtFrameBoundary(QStringLiteral("=1\r")));
}

void TestFrameDecoder::randomBytes()
{
    // Line noise, half-frames, anything at all: the decoder never fails and
    // always gives a number of at most three decimals, or the zero reading.
    // The pieces make frame-like noise common enough to reach every path.
    static const QByteArray pieces[] = {" N ", " Kg ", " T ", "Kg", " t ", " d ", "\r\n", ",", ".", "E", "e-", "-",
                                        "+",   " ",    "0",   "5",  "9",   "\xC1", "0!p", "!f", "\xFF"};
    const QString models[] = {DeviceModel::Libra124, DeviceModel::Libra125Clock, DeviceModel::Libra210,
                              DeviceModel::WI2002};
    QRandomGenerator random(20240321);
    QElapsedTimer clock;
    clock.start();

    const auto noise = [&](int count, bool framePieces) {
        QByteArray bytes;
        for (int p = 0; p < count; ++p) {
            if (framePieces && random.bounded(2))
                bytes += pieces[random.bounded(int(std::size(pieces)))];
            else
                bytes += char(random.bounded(256));
        }
        return bytes;
    };
    // Number-like junk where the weight belongs.
    const auto numberish = [&] {
        static const char chars[] = "0123456789012345678901234567890123456789.,.,Ee+- ";
        QByteArray bytes;
        for (int k = random.bounded(1, 12); k > 0; --k)
            bytes += chars[random.bounded(int(sizeof chars - 1))];
        return bytes;
    };

    int numbers = 0;
    for (int i = 0; i < 300000; ++i) {
        QByteArray bytes;
        switch (i % 3) {
        case 0: // raw line noise
            bytes = noise(random.bounded(40), false);
            break;
        case 1: // frame pieces in any order
            bytes = noise(random.bounded(24), true);
            break;
        default: // a frame around a garbled weight
            bytes = (i % 2 ? "A 01  N " + numberish() + " Kg  T 0" + noise(random.bounded(8), true)
                           : "=" + numberish() + noise(random.bounded(4), true))
                + "\r\n" + noise(random.bounded(8), true);
        }
        const FrameReading r = decodeBuffer(bytes, models[i % 4]);
        QVERIFY(r.applies);
        QVERIFY(std::isfinite(r.reading));
        if (r.readingText == QLatin1String("0,000") && r.reading == 0)
            continue; // the zero reading
        ++numbers;
        // At most three decimals: the reading is the thousandths it was read
        // as (above 1e12 every double is), and it shows as such.
        const bool thousandths =
            std::fabs(r.reading) >= 1e12 || std::round(r.reading * 1000) / 1000 == r.reading;
        if (!thousandths || r.display != NumberForm::format(r.reading)
            || r.display.section(QLatin1Char(','), 1).size() > 3)
            QFAIL(qPrintable(QStringLiteral("bytes %1 gave %2").arg(QString::fromLatin1(bytes.toHex()), r.display)));
    }
    qInfo("%d readings among 300000 buffers in %lld ms", numbers, clock.elapsed());
    QVERIFY2(numbers > 10000, "the noise should also produce readings");
}

QTEST_APPLESS_MAIN(TestFrameDecoder)
#include "test_framedecoder.moc"

// "Стабильность" second by second, through the real link and port against a
// simulated indicator, with the link's clock ticked by hand.

#include <QTest>

#include <cmath>

#include "linkfixture.h"

namespace {

using Model = IndicatorSimulator::Model;

// The label after each second from now until t = last (index 0 is t = first).
QList<bool> labelUntil(LinkFixture &f, int last)
{
    QList<bool> shown;
    while (f.link->clock()->elapsed() < last) {
        if (!f.second())
            return {};
        shown << f.link->StableFlag();
    }
    return shown;
}

} // namespace

class TestStability final : public QObject
{
    Q_OBJECT

private slots:
    void firstSwitchOnWithSteadyWeight();
    void offAndOnAgainWithTheSameWeight();
    void changingWeightIsUnstable();
    void neverStableWhileMoving_data();
    void neverStableWhileMoving();
    void nothingReceived();
    void wi2002SpecialLineLeavesTheLabel_data();
    void wi2002SpecialLineLeavesTheLabel();
};

void TestStability::firstSwitchOnWithSteadyWeight()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(211.515);
    f.switchOn();
    QVERIFY(f.link->isPortOpen());
    QVERIFY(!f.link->StableFlag());

    // t = 1 decodes the buffer's start value " 0,00": "0" and "Прибор Включен".
    QVERIFY(f.second());
    QCOMPARE(f.shown.weight, QStringLiteral("0"));
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Включен"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
    QVERIFY(!f.link->StableFlag());

    // W is decoded from t = 2. The samples still hold 0, the reading W: no
    // label until both samples have taken W, at t = 6 (the fast one at 4).
    const QList<bool> shown = labelUntil(f, 14);
    QCOMPARE(shown, (QList<bool>{false, false, false, false, true, true, true, true, true, true, true, true, true}));
    QCOMPARE(f.link->CurrentReading(), 211.515);
    QCOMPARE(f.shown.weight, QStringLiteral("211,515"));
    QCOMPARE(f.link->stability().SlowSample(), 211.515);
    QCOMPARE(f.link->stability().FastSample(), 211.515);
}

void TestStability::offAndOnAgainWithTheSameWeight()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(1500);
    f.switchOn();
    QVERIFY(f.secondsUntil(8));
    QVERIFY(f.link->StableFlag());

    f.switchOff();
    QVERIFY(!f.link->StableFlag());
    QCOMPARE(f.shown.weight, QStringLiteral("0"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
    // The samples are never reset.
    QCOMPARE(f.link->stability().SlowSample(), 1500.0);

    f.switchOn();
    QCOMPARE(f.link->clock()->elapsed(), 0);
    // The first compare still sees the zero of the switch-off; from the
    // second on the reading is the weight the samples hold.
    const QList<bool> shown = labelUntil(f, 8);
    QCOMPARE(shown, (QList<bool>{false, true, true, true, true, true, true, true}));
    QCOMPARE(f.shown.weight, QStringLiteral("1500"));
}

void TestStability::changingWeightIsUnstable()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(100);
    f.switchOn();
    QVERIFY(f.secondsUntil(12));
    QVERIFY(f.link->StableFlag());

    // A thousandth is enough. Answered to the poll of t = 13 and decoded at
    // 14, which hides the label at once; it returns when the slow sample
    // takes the new weight at 18.
    f.sim.setWeight(100.001);
    QCOMPARE(labelUntil(f, 20), (QList<bool>{true, false, false, false, false, true, true, true}));
    QCOMPARE(f.link->CurrentReading(), 100.001);

    // A weight that keeps moving never shows the label, not even when both
    // samples are taken at the same moment (t = 24, 30).
    double w = 100.001;
    QList<bool> shown;
    while (f.link->clock()->elapsed() < 32) {
        w += 0.5;
        f.sim.setWeight(w);
        QVERIFY(f.second());
        shown << f.link->StableFlag();
    }
    // t = 21 still decodes the weight of t = 20, which the samples hold.
    QCOMPARE(shown, (QList<bool>{true, false, false, false, false, false, false, false, false, false, false, false}));
}

void TestStability::neverStableWhileMoving_data()
{
    QTest::addColumn<QString>("movement");
    QTest::addColumn<int>("start"); // t at which it begins; the phases against the 6 s sample differ

    for (int t : {9, 10, 11, 12, 13, 14}) {
        QTest::addRow("drift of 37 a second from t = %d", t) << "drift" << t;
        QTest::addRow("jump to the negative at t = %d", t) << "jump" << t;
        QTest::addRow("5 s of silence from t = %d", t) << "silence" << t;
    }
}

void TestStability::neverStableWhileMoving()
{
    QFETCH(QString, movement);
    QFETCH(int, start);

    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(211.515);
    f.switchOn();
    QVERIFY(f.secondsUntil(start - 1));

    // Each second: the reading decoded, and whether it counted as stable.
    double previous = f.link->CurrentReading();
    const auto second = [&] {
        if (!f.second())
            return false;
        const double now = f.link->CurrentReading();
        const bool stable = f.link->StableFlag();
        const bool wrong = stable && now != previous;
        if (wrong)
            qWarning("t = %d: %.3f after %.3f counted as stable", f.link->clock()->elapsed(), now, previous);
        previous = now;
        return !wrong;
    };

    if (movement == QLatin1String("drift")) {
        f.sim.drift(37);
        for (int i = 0; i < 14; ++i)
            QVERIFY(second());
    } else if (movement == QLatin1String("jump")) {
        f.sim.setWeight(-211.515);
    } else {
        f.sim.setSilent(true);
        for (int i = 0; i < 5; ++i)
            QVERIFY(second());
        f.sim.setSilent(false);
    }

    // The weight stands still now: flagged within 7 s of its first decode.
    const double settled =
        std::round((movement == QLatin1String("jump") ? -211.515 : f.sim.weight()) * 1000) / 1000;
    f.sim.setWeight(settled);
    int firstDecoded = 0;
    while (!(f.link->StableFlag() && f.link->CurrentReading() == settled)) {
        QVERIFY(second());
        if (!firstDecoded && f.link->CurrentReading() == settled)
            firstDecoded = f.link->clock()->elapsed();
        QVERIFY2(f.link->clock()->elapsed() < start + 40, "never flagged");
    }
    QVERIFY(firstDecoded > 0);
    QVERIFY2(f.link->clock()->elapsed() - firstDecoded <= 7,
             qPrintable(QStringLiteral("decoded at %1, flagged at %2").arg(firstDecoded).arg(f.link->clock()->elapsed())));
}

void TestStability::nothingReceived()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setSilent(true);
    f.switchOn();

    // The compare shows the label every second once both samples are 0, and
    // the decode right after it hides it again.
    const QList<bool> shown = labelUntil(f, 13);
    QCOMPARE(shown, QList<bool>(13, false));
    QCOMPARE(f.link->stability().SlowSample(), 0.0);
    QCOMPARE(f.link->stability().FastSample(), 0.0);
    QCOMPARE(f.shown.weight, QStringLiteral("0,000"));
    QCOMPARE(f.link->ReadingText(), QStringLiteral("0,000"));
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Выключен"));
    // The link itself stays on and keeps polling.
    QVERIFY(f.link->isPortOpen());
    QCOMPARE(f.sim.received(), QByteArray(13, 's'));
}

void TestStability::wi2002SpecialLineLeavesTheLabel_data()
{
    QTest::addColumn<double>("weight");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("stableAfter");

    // A status line reads as zero: on an empty scale it leaves the label as
    // the compare set it; after a weight the reading has moved, and moved
    // readings are never still.
    for (double w : {0.0, 211.515}) {
        QTest::addRow("0!p after %g", w) << w << QByteArray("0!p") << (w == 0);
        QTest::addRow("Б 0!p after %g", w) << w << QByteArray("\xC1 0!p") << (w == 0);
        QTest::addRow("!fБ 16 after %g", w) << w << QByteArray("!f\xC1 16") << (w == 0);
        QTest::addRow("a reading that does not convert after %g", w) << w << QByteArray("=abc") << false;
    }
}

void TestStability::wi2002SpecialLineLeavesTheLabel()
{
    QFETCH(double, weight);
    QFETCH(QByteArray, line);
    QFETCH(bool, stableAfter);

    LinkFixture f(Model::WI2002);
    QVERIFY(f.plugged);
    f.sim.setWeight(weight);
    f.switchOn();
    // The WI2002 sends a reading each second on its own.
    while (f.link->clock()->elapsed() < 7) {
        QVERIFY(f.send(f.sim.frame(weight).chopped(2)));
        QVERIFY(f.second());
    }
    QVERIFY(f.link->StableFlag());
    QCOMPARE(f.link->CurrentReading(), weight);

    QVERIFY(f.send(line));
    QVERIFY(f.second());
    QCOMPARE(f.link->StableFlag(), stableAfter);
    QCOMPARE(f.link->CurrentReading(), 0.0);
    QCOMPARE(f.link->ReadingText(), QStringLiteral("0,000"));
    QCOMPARE(f.shown.weight, QStringLiteral("0"));
    QCOMPARE(f.shown.status, QStringLiteral("Прибор Включен"));
    QCOMPARE(f.sim.received(), QByteArray()); // never written to
}

QTEST_MAIN(TestStability)
#include "test_stability.moc"

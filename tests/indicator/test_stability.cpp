// "Стабильность" second by second, through the real link and port against a
// simulated indicator, with the link's clock ticked by hand.

#include <QTest>

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
    QCOMPARE(f.w.weight->text(), QStringLiteral("0"));
    QCOMPARE(f.w.status->text(), QStringLiteral("Прибор Включен"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
    QVERIFY(!f.link->StableFlag());

    // W is decoded from t = 2; both samples still 0 show the label at 2 and 3,
    // the fast sample takes W at 4, the slow one at 6.
    const QList<bool> shown = labelUntil(f, 14);
    QCOMPARE(shown, (QList<bool>{true, true, false, false, true, true, true, true, true, true, true, true, true}));
    QCOMPARE(f.link->CurrentReading(), 211.515);
    QCOMPARE(f.w.weight->text(), QStringLiteral("211,515"));
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
    QCOMPARE(f.w.weight->text(), QStringLiteral("0"));
    QCOMPARE(f.link->CurrentReading(), 0.0);
    // The samples are never reset.
    QCOMPARE(f.link->stability().SlowSample(), 1500.0);

    f.switchOn();
    QCOMPARE(f.link->clock()->elapsed(), 0);
    const QList<bool> shown = labelUntil(f, 8);
    QCOMPARE(shown, QList<bool>(8, true));
    QCOMPARE(f.w.weight->text(), QStringLiteral("1500"));
}

void TestStability::changingWeightIsUnstable()
{
    LinkFixture f;
    QVERIFY(f.plugged);
    f.sim.setWeight(100);
    f.switchOn();
    QVERIFY(f.secondsUntil(12));
    QVERIFY(f.link->StableFlag());

    // A thousandth is enough. Answered to the poll of t = 13, decoded at 14,
    // taken by the fast sample at 16 and by the slow one at 18.
    f.sim.setWeight(100.001);
    QCOMPARE(labelUntil(f, 20), (QList<bool>{true, true, true, false, false, true, true, true}));
    QCOMPARE(f.link->CurrentReading(), 100.001);

    // A weight that keeps moving shows the label only from the slow sample
    // to the next fast one.
    double w = 100.001;
    QList<bool> shown;
    while (f.link->clock()->elapsed() < 32) {
        w += 0.5;
        f.sim.setWeight(w);
        QVERIFY(f.second());
        shown << f.link->StableFlag();
    }
    //                            21    22    23    24    25    26     27     28     29     30    31    32
    QCOMPARE(shown, (QList<bool>{true, true, true, true, true, false, false, false, false, true, true, false}));
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
    QCOMPARE(f.w.weight->text(), QStringLiteral("0,000"));
    QCOMPARE(f.link->ReadingText(), QStringLiteral("0,000"));
    QCOMPARE(f.w.status->text(), QStringLiteral("Прибор Выключен"));
    QCOMPARE(f.w.status->palette().color(QPalette::WindowText), QColor(Qt::red));
    // The link itself stays on and keeps polling.
    QVERIFY(f.link->isPortOpen());
    QCOMPARE(f.sim.received(), QByteArray(13, 's'));
}

void TestStability::wi2002SpecialLineLeavesTheLabel_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("stableAfter");

    QTest::newRow("0!p") << QByteArray("0!p") << true;
    QTest::newRow("Б 0!p") << QByteArray("\xC1 0!p") << true;
    QTest::newRow("!fБ 16") << QByteArray("!f\xC1 16") << true;
    QTest::newRow("a reading that does not convert") << QByteArray("=abc") << false;
}

void TestStability::wi2002SpecialLineLeavesTheLabel()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, stableAfter);

    LinkFixture f(Model::WI2002);
    QVERIFY(f.plugged);
    f.sim.setWeight(211.515);
    f.switchOn();
    // The WI2002 sends a reading each second on its own.
    while (f.link->clock()->elapsed() < 7) {
        QVERIFY(f.send(f.sim.frame(211.515).chopped(2)));
        QVERIFY(f.second());
    }
    QVERIFY(f.link->StableFlag());
    QCOMPARE(f.link->CurrentReading(), 211.515);

    QVERIFY(f.send(line));
    QVERIFY(f.second());
    QCOMPARE(f.link->StableFlag(), stableAfter);
    QCOMPARE(f.link->CurrentReading(), 0.0);
    QCOMPARE(f.link->ReadingText(), QStringLiteral("0,000"));
    QCOMPARE(f.w.weight->text(), QStringLiteral("0"));
    QCOMPARE(f.w.status->text(), QStringLiteral("Прибор Включен"));
    QCOMPARE(f.sim.received(), QByteArray()); // never written to
}

QTEST_MAIN(TestStability)
#include "test_stability.moc"

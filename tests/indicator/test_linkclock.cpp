// The one clock of the link: which timers fall due in which second, in which
// order, and how the named timers start and stop.

#include <QSignalSpy>
#include <QTest>

#include "indicator/linkclock.h"

namespace {

// Records "t:Name" for every timeout and "Name on/off" for every change.
struct Journal
{
    explicit Journal(LinkClock &clock)
    {
        for (LinkTimer *t : clock.findChildren<LinkTimer *>()) {
            QObject::connect(t, &LinkTimer::timeout, [this, t, &clock] {
                entries << QStringLiteral("%1:%2").arg(clock.elapsed()).arg(t->objectName());
            });
            QObject::connect(t, &LinkTimer::activeChanged, [this, t](bool on) {
                entries << t->objectName() + (on ? QStringLiteral(" on") : QStringLiteral(" off"));
            });
        }
    }
    QStringList entries;
};

} // namespace

class TestLinkClock final : public QObject
{
    Q_OBJECT

private slots:
    void namedTimers();
    void orderOfTicks();
    void startAndStopOrder();
    void timerStoppedAloneIsSkipped();
    void handlerStoppingTheClockEndsTheSecond();
};

void TestLinkClock::namedTimers()
{
    LinkClock clock;
    QStringList names;
    for (const char *name : {"Timer1", "Timer3", "Stabilno1", "Stabilno2", "Stabilno3"}) {
        auto *t = clock.findChild<LinkTimer *>(QString::fromLatin1(name));
        QVERIFY2(t, name);
        QVERIFY(!t->isActive());
        names << QStringLiteral("%1=%2").arg(t->objectName()).arg(t->interval());
    }
    QCOMPARE(names, (QStringList{"Timer1=1000", "Timer3=1000", "Stabilno1=1000", "Stabilno2=6000", "Stabilno3=2000"}));
}

void TestLinkClock::orderOfTicks()
{
    LinkClock clock;
    clock.setManual(true);
    clock.start();
    Journal journal(clock);
    for (int i = 0; i < 12; ++i)
        clock.tick();

    QStringList expected;
    for (int t = 1; t <= 12; ++t) {
        if (t % 2 == 0)
            expected << QStringLiteral("%1:Stabilno3").arg(t);
        if (t % 6 == 0)
            expected << QStringLiteral("%1:Stabilno2").arg(t);
        expected << QStringLiteral("%1:Stabilno1").arg(t) << QStringLiteral("%1:Timer3").arg(t)
                 << QStringLiteral("%1:Timer1").arg(t);
    }
    QCOMPARE(journal.entries, expected);
}

void TestLinkClock::startAndStopOrder()
{
    LinkClock clock;
    clock.setManual(true);
    Journal journal(clock);

    clock.tick(); // stopped: time does not pass
    QCOMPARE(clock.elapsed(), 0);

    clock.start();
    QVERIFY(clock.isRunning());
    clock.tick();
    clock.tick();
    clock.stop();
    QVERIFY(!clock.isRunning());
    clock.tick();

    QCOMPARE(journal.entries,
             (QStringList{"Timer1 on", "Timer3 on", "Stabilno1 on", "Stabilno2 on", "Stabilno3 on",
                          "1:Stabilno1", "1:Timer3", "1:Timer1",
                          "2:Stabilno3", "2:Stabilno1", "2:Timer3", "2:Timer1",
                          "Timer1 off", "Timer3 off", "Stabilno1 off", "Stabilno2 off", "Stabilno3 off"}));

    // Starting again counts from the start again: the slow sample is due six
    // seconds after it, not at the old count.
    journal.entries.clear();
    clock.start();
    for (int i = 0; i < 4; ++i)
        clock.tick();
    QCOMPARE(clock.elapsed(), 4);
    QVERIFY(!journal.entries.join(' ').contains(QLatin1String(":Stabilno2")));
}

void TestLinkClock::timerStoppedAloneIsSkipped()
{
    LinkClock clock;
    clock.setManual(true);
    clock.start();
    Journal journal(clock);
    clock.Timer1()->stop();
    clock.Timer3()->stop();
    clock.tick();
    clock.tick();
    QCOMPARE(journal.entries,
             (QStringList{"Timer1 off", "Timer3 off", "1:Stabilno1", "2:Stabilno3", "2:Stabilno1"}));
    QVERIFY(clock.isRunning());
}

void TestLinkClock::handlerStoppingTheClockEndsTheSecond()
{
    // The decode may switch the link off (through a failure box, say): the
    // poll of that second must not run after it.
    LinkClock clock;
    clock.setManual(true);
    clock.start();
    QSignalSpy polls(clock.Timer1(), &LinkTimer::timeout);
    connect(clock.Timer3(), &LinkTimer::timeout, &clock, &LinkClock::stop);
    clock.tick();
    QCOMPARE(polls.count(), 0);
    QVERIFY(!clock.isRunning());
}

QTEST_GUILESS_MAIN(TestLinkClock)
#include "test_linkclock.moc"

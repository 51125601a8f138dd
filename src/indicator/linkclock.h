#pragma once
// The one clock of the indicator link. The link's five timers (the poll
// Timer1, the decode Timer3, the stability compare Stabilno1, the slow sample
// Stabilno2 and the fast sample Stabilno3) always start and stop together and
// fall due in whole seconds, so one QTimer ticking each second drives them all
// and keeps their fixed order when several fall due at once:
//
//     Stabilno3 (t % 2 == 0), Stabilno2 (t % 6 == 0), Stabilno1, Timer3, Timer1
//
// t counts the seconds since start() (1, 2, 3, ...).
//
// Each timer is a LinkTimer child with its objectName, its period and whether
// it runs, so it can be found and watched like any named timer: a timer that
// has been stopped on its own (the poll failure stops Timer1 and Timer3 first)
// is skipped on the following ticks.
//
// Tests drive the clock by hand: setManual(true) keeps the QTimer from
// running, and tick() lets one second pass.

#include <QObject>
#include <QTimer>

class LinkTimer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(int interval READ interval CONSTANT)
public:
    LinkTimer(const QString &name, int intervalMs, QObject *parent);

    bool isActive() const { return m_active; }
    int interval() const { return m_interval; } // milliseconds, a whole number of seconds

    void start();
    void stop();

signals:
    void timeout();
    void activeChanged(bool active);

private:
    int m_interval;
    bool m_active = false;
};

class LinkClock : public QObject
{
    Q_OBJECT
public:
    explicit LinkClock(QObject *parent = nullptr);

    // The five timers, by their names.
    LinkTimer *Timer1() const { return m_timer1; }
    LinkTimer *Timer3() const { return m_timer3; }
    LinkTimer *Stabilno1() const { return m_stabilno1; }
    LinkTimer *Stabilno2() const { return m_stabilno2; }
    LinkTimer *Stabilno3() const { return m_stabilno3; }

    // Starts the five timers in the order Timer1, Timer3, Stabilno1,
    // Stabilno2, Stabilno3, all at this moment: t begins again at 0.
    void start();
    // Stops them in the same order.
    void stop();
    // Whether any of the five runs.
    bool isRunning() const;
    // Seconds since start() (the t of the last tick).
    int elapsed() const { return m_elapsed; }

    // With manual on, start() does not start the second's QTimer; tick() is
    // then the only way time passes. Off by default.
    void setManual(bool manual);
    bool isManual() const { return m_manual; }

    // One second passes: runs the timeouts of the running timers that fall
    // due, in the order above. Does nothing while no timer runs.
    void tick();

private:
    void updateSecondTimer();

    QTimer m_second;
    LinkTimer *m_timer1;
    LinkTimer *m_timer3;
    LinkTimer *m_stabilno1;
    LinkTimer *m_stabilno2;
    LinkTimer *m_stabilno3;
    int m_elapsed = 0;
    bool m_manual = false;
};

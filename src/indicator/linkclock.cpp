#include "indicator/linkclock.h"

LinkTimer::LinkTimer(const QString &name, int intervalMs, QObject *parent) : QObject(parent), m_interval(intervalMs)
{
    setObjectName(name);
}

void LinkTimer::start()
{
    if (m_active)
        return;
    m_active = true;
    emit activeChanged(true);
}

void LinkTimer::stop()
{
    if (!m_active)
        return;
    m_active = false;
    emit activeChanged(false);
}

LinkClock::LinkClock(QObject *parent)
    : QObject(parent),
      m_timer1(new LinkTimer(QStringLiteral("Timer1"), 1000, this)),
      m_timer3(new LinkTimer(QStringLiteral("Timer3"), 1000, this)),
      m_stabilno1(new LinkTimer(QStringLiteral("Stabilno1"), 1000, this)),
      m_stabilno2(new LinkTimer(QStringLiteral("Stabilno2"), 6000, this)),
      m_stabilno3(new LinkTimer(QStringLiteral("Stabilno3"), 2000, this))
{
    setObjectName(QStringLiteral("LinkClock"));
    m_second.setObjectName(QStringLiteral("LinkClockSecond"));
    m_second.setParent(this);
    m_second.setInterval(1000);
    m_second.setTimerType(Qt::PreciseTimer);
    connect(&m_second, &QTimer::timeout, this, &LinkClock::tick);
    for (LinkTimer *t : {m_timer1, m_timer3, m_stabilno1, m_stabilno2, m_stabilno3})
        connect(t, &LinkTimer::activeChanged, this, &LinkClock::updateSecondTimer);
}

void LinkClock::start()
{
    m_elapsed = 0;
    for (LinkTimer *t : {m_timer1, m_timer3, m_stabilno1, m_stabilno2, m_stabilno3})
        t->start();
    // Restart the second even when some timer was still running, so that the
    // first tick comes a whole second after this start.
    if (!m_manual)
        m_second.start();
}

void LinkClock::stop()
{
    for (LinkTimer *t : {m_timer1, m_timer3, m_stabilno1, m_stabilno2, m_stabilno3})
        t->stop();
}

bool LinkClock::isRunning() const
{
    for (LinkTimer *t : {m_timer1, m_timer3, m_stabilno1, m_stabilno2, m_stabilno3})
        if (t->isActive())
            return true;
    return false;
}

void LinkClock::setManual(bool manual)
{
    m_manual = manual;
    updateSecondTimer();
}

void LinkClock::updateSecondTimer()
{
    const bool wanted = !m_manual && isRunning();
    if (wanted && !m_second.isActive())
        m_second.start();
    else if (!wanted)
        m_second.stop();
}

void LinkClock::tick()
{
    if (!isRunning())
        return;
    const int t = ++m_elapsed;
    // Each timer is checked just before it runs: a handler earlier in the
    // same second may have stopped the later ones.
    for (LinkTimer *timer : {m_stabilno3, m_stabilno2, m_stabilno1, m_timer3, m_timer1}) {
        const int periodSeconds = timer->interval() / 1000;
        if (timer->isActive() && t % periodSeconds == 0)
            emit timer->timeout();
    }
}

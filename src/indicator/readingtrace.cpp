#include "indicator/readingtrace.h"

#include "indicator/indicatorlink.h"

ReadingTrace::ReadingTrace(IndicatorLink *link, QObject *parent) : QObject(parent)
{
    m_started.start();
    m_clock = [this] { return m_started.elapsed(); };
    connect(link, &IndicatorLink::readingDecoded, this, &ReadingTrace::add);
}

void ReadingTrace::add(const QString &text, bool stable)
{
    const qint64 at = now();
    m_entries.push_back({at, text, stable});
    // A little more than the window is kept: a press may be asked about a
    // moment after it happened.
    while (!m_entries.empty() && at - m_entries.front().at > 2 * PassTrace::WindowMs)
        m_entries.pop_front();
}

QVector<TraceReading> ReadingTrace::before(qint64 at) const
{
    QVector<TraceReading> out;
    for (const Entry &e : m_entries)
        if (e.at <= at && at - e.at <= PassTrace::WindowMs)
            out.append({e.at - at, e.text, e.stable});
    return out;
}

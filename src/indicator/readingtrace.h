#pragma once
// Keeps what the indicator link decoded in the last half minute, so that a
// pass can store the readings that led to it (common/passtrace.h). Fed by
// the link's readingDecoded signal; times come from a monotonic clock, or
// from the one a test sets.

#include <QElapsedTimer>
#include <QObject>
#include <QVector>
#include <deque>
#include <functional>

#include "common/passtrace.h"

class IndicatorLink;

class ReadingTrace : public QObject
{
    Q_OBJECT
public:
    explicit ReadingTrace(IndicatorLink *link, QObject *parent = nullptr);

    // Milliseconds on a clock that only goes forward.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    qint64 now() const { return m_clock(); }

    // The readings of the window before `at` (now() by default), oldest
    // first, their offsets relative to `at`.
    QVector<TraceReading> before(qint64 at) const;
    QVector<TraceReading> beforeNow() const { return before(now()); }

    void add(const QString &text, bool stable);

private:
    struct Entry
    {
        qint64 at;
        QString text;
        bool stable;
    };
    QElapsedTimer m_started;
    Clock m_clock;
    std::deque<Entry> m_entries;
};

#pragma once
// What the indicator showed in the half minute before "Взвесить": every
// reading the link decoded, when (milliseconds before the press, so 0 is the
// press and earlier readings are negative), its text as decoded and whether
// the link judged the weight stable then. Kept with each stored pass as its
// evidence, in a compact text: one reading a line, "s" or "u" (stable or not),
// the milliseconds since the reading before (the first one: since the press,
// negative), ":" and the reading text, or nothing after ":" when the text is
// the same as the reading before. Thirty readings take some 300 bytes and the
// text reads in any SQLite tool.

#include <QString>
#include <QVector>

struct TraceReading
{
    qint64 offsetMs = 0;   // relative to the press, <= 0
    QString text;          // ReadingText, decimal comma
    bool stable = false;   // StableFlag after that reading's decode
    bool operator==(const TraceReading &) const = default;
};

namespace PassTrace {

// How far back a pass's trace reaches.
constexpr qint64 WindowMs = 30000;

QString encode(const QVector<TraceReading> &readings);
// An empty text is an empty trace. Lines that do not read are skipped.
QVector<TraceReading> decode(const QString &encoded);

}

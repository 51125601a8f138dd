#include "common/passtrace.h"

#include <QStringList>

#include "common/oneline.h"

namespace PassTrace {

// A reading text holds no line break, but an indicator may send anything.
QString encode(const QVector<TraceReading> &readings)
{
    QString out;
    qint64 previousAt = 0;
    const QString *previousText = nullptr;
    for (const TraceReading &r : readings) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += r.stable ? QLatin1Char('s') : QLatin1Char('u');
        out += QString::number(r.offsetMs - previousAt);
        out += QLatin1Char(':');
        if (!previousText || *previousText != r.text)
            out += r.text.isEmpty() ? QStringLiteral("\\e") : escapedLine(r.text);
        previousAt = r.offsetMs;
        previousText = &r.text;
    }
    return out;
}

QVector<TraceReading> decode(const QString &encoded)
{
    QVector<TraceReading> out;
    qint64 at = 0;
    QString text;
    for (QStringView line : QStringView(encoded).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 2 || (line[0] != QLatin1Char('s') && line[0] != QLatin1Char('u')))
            continue;
        bool ok = false;
        const qint64 step = line.mid(1, colon - 1).toLongLong(&ok);
        if (!ok)
            continue;
        const QStringView rest = line.mid(colon + 1);
        if (rest == QLatin1String("\\e"))
            text.clear();
        else if (!rest.isEmpty())
            text = unescapedLine(rest);
        at += step;
        out.append({at, text, line[0] == QLatin1Char('s')});
    }
    return out;
}

}

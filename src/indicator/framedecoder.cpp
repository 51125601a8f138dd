#include "indicator/framedecoder.h"

#include "indicator/devicemodel.h"
#include "indicator/numberform.h"

namespace {

const QString ZeroReadingText = QStringLiteral("0,000");

// The characters from the 1-based position `from` on, at most `count` of
// them; nothing when the line is shorter or the count is not positive.
QString copyFrom(const QString &line, qsizetype from, qsizetype count)
{
    if (count <= 0 || from < 1 || from > line.size())
        return QString();
    return line.mid(from - 1, count);
}

// 1-based position of the first occurrence, 0 when absent.
qsizetype positionOf(const QString &line, const QString &marker) { return line.indexOf(marker) + 1; }

QString withFirstPointAsComma(QString text)
{
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        text[dot] = QLatin1Char(',');
    return text;
}

// A reading that does not convert: zero, but the device did answer.
void setUnreadable(FrameReading &r)
{
    r.readingText = ZeroReadingText;
    r.reading = 0;
    r.display = NumberForm::format(0);
    r.deviceOn = true;
    r.hideStability = true;
}

// The reading cut from a frame, or the zero reading when it does not convert.
void takeReading(const QString &text, FrameReading &r)
{
    const auto value = NumberForm::parse(text);
    if (!value) {
        setUnreadable(r);
        return;
    }
    r.readingText = text;
    r.reading = *value;
    r.display = NumberForm::format(*value);
    r.deviceOn = true;
}

void readLibra(const QString &line, FrameReading &r)
{
    // A frame: "A 01  N  211.515 Kg  T 00.515 Kg r 0 00"; the weight stands
    // between " N " and the first " Kg " (or " T " when the unit is missing).
    const QString endMarker = line.contains(QLatin1String("Kg")) ? QStringLiteral(" Kg ") : QStringLiteral(" T ");
    const qsizetype n = positionOf(line, QStringLiteral(" N "));
    const qsizetype e = positionOf(line, endMarker);
    const QString text = withFirstPointAsComma(copyFrom(line, n + 3, e - n - 3));

    takeReading(text, r);
}

void readClock(const QString &line, FrameReading &r)
{
    // A missing marker counts as position 0, so the texts then come from
    // position 3 of the line; nothing checks that they are a time and a date.
    r.hasClock = true;
    r.indicatorTime = copyFrom(line, positionOf(line, QStringLiteral(" t ")) + 3, 5);
    r.indicatorDate = copyFrom(line, positionOf(line, QStringLiteral(" d ")) + 3, 8);
}

void readWI2002(const QString &line, FrameReading &r)
{
    const QString text = withFirstPointAsComma(copyFrom(line, 2, 8));

    // Status lines of the WI2002 (as Windows-1251 text): a zero reading from a
    // working device, with the stability label left as it is.
    static const QString special[] = {QStringLiteral("0!p"), QStringLiteral("Б 0!p"), QStringLiteral("!fБ 16")};
    for (const QString &s : special) {
        if (line == s) {
            r.readingText = ZeroReadingText;
            r.reading = 0;
            r.display = NumberForm::format(0);
            r.deviceOn = true;
            return;
        }
    }

    takeReading(text, r);
}

} // namespace

namespace FrameDecoder {

QString takeFrameLine(const QString &buffer)
{
    const qsizetype end = buffer.indexOf(QLatin1String("\r\n"));
    return end < 0 ? buffer : buffer.left(end);
}

FrameReading decode(const QString &frameLine, const QString &model)
{
    FrameReading r;
    if (frameLine.isEmpty()) {
        // Nothing arrived since the last poll: the indicator is off or unplugged.
        r.applies = true;
        r.readingText = ZeroReadingText;
        r.reading = 0;
        r.display = ZeroReadingText;
        r.deviceOn = false;
        r.hideStability = true;
        return r;
    }
    if (DeviceModel::isLibra(model)) {
        r.applies = true;
        readLibra(frameLine, r);
        if (DeviceModel::hasClock(model))
            readClock(frameLine, r);
    } else if (model == DeviceModel::WI2002) {
        r.applies = true;
        readWI2002(frameLine, r);
    }
    return r;
}

} // namespace FrameDecoder

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

void readClock(const QString &line, FrameReading &r)
{
    // Only a whole time after its " t " and a whole date after its " d " are
    // taken: a fragment must never become the date or time stored with a
    // weighing, so without its marker (or cut short) the old value stays.
    // Nothing checks that the texts are a time and a date.
    const qsizetype t = positionOf(line, QStringLiteral(" t "));
    if (t > 0 && t + 3 + 5 - 1 <= line.size()) {
        r.hasTime = true;
        r.indicatorTime = copyFrom(line, t + 3, 5);
    }
    const qsizetype d = positionOf(line, QStringLiteral(" d "));
    if (d > 0 && d + 3 + 8 - 1 <= line.size()) {
        r.hasDate = true;
        r.indicatorDate = copyFrom(line, d + 3, 8);
    }
}

} // namespace

namespace FrameDecoder {

void readLibra(const QString &line, FrameReading &r)
{
    // A frame: "A 01  N  211.515 Kg  T 00.515 Kg r 0 00"; the weight stands
    // between " N " and the first " Kg " (or " T " when the unit is missing).
    const qsizetype n = positionOf(line, QStringLiteral(" N "));
    if (n == 0) {
        // The tail of a frame (a late answer cut by the poll): whatever
        // number it holds is a piece of the weight, never the weight.
        setUnreadable(r);
        return;
    }
    const QString endMarker = line.contains(QLatin1String("Kg")) ? QStringLiteral(" Kg ") : QStringLiteral(" T ");
    const qsizetype e = positionOf(line, endMarker);
    const QString text = withFirstPointAsComma(copyFrom(line, n + 3, e - n - 3));

    takeReading(text, r);
}

void readLibraWithClock(const QString &line, FrameReading &r)
{
    readLibra(line, r);
    readClock(line, r);
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

QString takeFrameLine(const QString &buffer)
{
    const qsizetype end = buffer.indexOf(QLatin1String("\r\n"));
    return end < 0 ? buffer : buffer.left(end);
}

bool endsAtFrameBoundary(const QString &text) { return text.isEmpty() || text.endsWith(QLatin1String("\r\n")); }

FrameReading decodeBuffer(const QString &buffer, const QString &model, bool startsMidFrame)
{
    const DeviceModel::Model *row = DeviceModel::traits(model);
    if (buffer.isEmpty() || !row || row->polled)
        return decode(takeFrameLine(buffer), model);

    const QLatin1String lineBreak("\r\n");
    qsizetype from = 0;
    if (startsMidFrame) {
        const qsizetype tailEnd = buffer.indexOf(lineBreak);
        from = tailEnd < 0 ? buffer.size() : tailEnd + 2;
    }
    const qsizetype end = buffer.indexOf(lineBreak, from);
    if (end < 0) {
        // Only pieces of frames: a tail, or a frame still arriving.
        FrameReading r;
        r.applies = true;
        setUnreadable(r);
        return r;
    }
    return decode(buffer.mid(from, end - from), model);
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
    if (const DeviceModel::Model *row = DeviceModel::traits(model)) {
        r.applies = true;
        row->readFrame(frameLine, r);
    }
    return r;
}

} // namespace FrameDecoder

#pragma once
// Cutting the weight (and the clock model's date and time) out of what the
// indicator sent. Pure text work: the link applies the result to its widgets.

#include <QString>

// What one decode tick makes of the first line of the receive buffer.
struct FrameReading
{
    bool applies = false;        // false: a model text nobody knows; nothing changes
    QString readingText;         // ReadingText, with a decimal comma
    double reading = 0;          // CurrentReading, three decimals
    QString display;             // the text of the weight display
    bool deviceOn = false;       // status "Прибор Включен" (true) or "Прибор Выключен"
    bool hideStability = false;  // the stability label is to be hidden
    bool hasTime = false;        // indicatorTime was cut from the frame
    bool hasDate = false;        // indicatorDate was cut from the frame
    QString indicatorDate;       // 8 characters
    QString indicatorTime;       // 5 characters
};

namespace FrameDecoder {

// The first line of the buffer: the text before the first CR LF, the whole
// buffer when it has none. The buffer itself is left alone: only the poll
// empties it.
QString takeFrameLine(const QString &buffer);

// Decodes one frame line for a model text (compared exactly). An empty line
// is the zero reading with "Прибор Выключен", whatever the model.
FrameReading decode(const QString &frameLine, const QString &model);

// What the decode tick makes of the whole receive buffer. A WI2002 streams on
// its own (it is not polled), so the buffer may begin inside a frame (startsMidFrame: the text
// the poll emptied did not end with a line break, or the port has just been
// opened) and may end inside one: for it only a line closed by CR LF counts,
// and when the buffer begins mid-frame the text up to its first line break
// is the rest of a cut frame and is skipped. No complete line is a reading
// that does not convert. The polled models take the first line as it stands.
// An empty buffer is nothing received, whatever the model.
FrameReading decodeBuffer(const QString &buffer, const QString &model, bool startsMidFrame);

// The frame readers of the device-model table: each cuts what its model's
// frame holds out of one non-empty line.
void readLibra(const QString &line, FrameReading &r);          // "A 01  N  211.515 Kg ..."
void readLibraWithClock(const QString &line, FrameReading &r); // the same, with " t HH:MM" and " d DD.MM.YY"
void readWI2002(const QString &line, FrameReading &r);         // "=" + 8 characters of weight + "kg"

// Whether a text the poll empties leaves the next one at a frame's start:
// it ended with a line break, or it was empty.
bool endsAtFrameBoundary(const QString &text);

} // namespace FrameDecoder

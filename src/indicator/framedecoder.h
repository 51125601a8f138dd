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
    bool hasClock = false;       // indicatorDate/indicatorTime were cut from the frame
    QString indicatorDate;       // up to 8 characters
    QString indicatorTime;       // up to 5 characters
};

namespace FrameDecoder {

// The first line of the buffer: the text before the first CR LF, the whole
// buffer when it has none. The buffer itself is left alone: only the poll
// empties it.
QString takeFrameLine(const QString &buffer);

// Decodes one frame line for a model text (compared exactly). An empty line
// is the zero reading with "Прибор Выключен", whatever the model.
FrameReading decode(const QString &frameLine, const QString &model);

} // namespace FrameDecoder

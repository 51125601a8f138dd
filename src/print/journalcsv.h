#pragma once
// The journal CSV file as bytes, without a window or a file in sight: lines
// of 21 quoted cells separated by ";", each ending in CR LF, Windows-1251
// text, blocks of a title line, a header line and up to 182 rows. A value
// wider than its column's box (Arial at the column's size) keeps only its
// first wrapped line, as the journal report prints it; a line break inside
// a value is a blank, so that a row stays one line of the file.
//
// One departure from the file that spreadsheets were first given: a double
// quote inside a value is doubled ("ООО ""Ромашка"""), so that the row opens
// in the right cells; a lone quote used to split it.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QStringView>

#include <array>
#include <functional>

#include "store/schema.h"

namespace JournalCsv {

constexpr int Cells = 21;
constexpr int RowsPerBlock = 182;

struct Column
{
    WeighingRecord::Field field;
    const char16_t *header;
    double boxMm;          // the value's box
    double pointSize;
};

// The 21 cells in file order.
const std::array<Column, Cells> &columns();

// Windows-1251 bytes of text appended to out; a character the code page
// lacks becomes "?".
void appendWindows1251(QByteArray &out, QStringView text);

// The lines, CR LF included.
QByteArray titleLine(const QDateTime &when);
QByteArray headerLine();
QByteArray emptyRowLine();

// Writes the file's lines into a buffer row by row; the caller drains the
// buffer into the file as it grows.
class Writer
{
public:
    using Clock = std::function<QDateTime()>;
    // clock gives the date and time of each block's title line.
    explicit Writer(Clock clock = &QDateTime::currentDateTime);

    // One journal row: its 21 values in file order as the store holds them
    // (UTF-8; Dat as yyyy-MM-dd, written dd.MM.yyyy).
    void addRow(const QByteArrayView *values);
    // Ends the file: a journal without rows gets its title and an empty row.
    void finish();

    // The lines written since the last drain(); drain() empties the buffer
    // and keeps its memory for the next lines.
    const QByteArray &bytes() const { return m_out; }
    void drain() { m_out.resize(0); }
    qint64 rows() const { return m_rows; }

private:
    void appendCell(QStringView value, const Column &column, bool last);

    Clock m_clock;
    QByteArray m_out;
    qint64 m_rows = 0;
};

} // namespace JournalCsv

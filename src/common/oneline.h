#pragma once
// A value of the journal is one line: a line break typed, pasted or already
// stored (CR LF, CR, LF, VT, FF, NEL, a Unicode line or paragraph separator)
// stands for one blank wherever the value is entered, printed or exported.

#include <QString>

// Every line break of the n code units at text (CR LF counted as one) made a
// blank, in place; returns the new length.
qsizetype breaksToBlanks(char16_t *text, qsizetype n);
QString oneLine(QString text);

// A text kept on one line of a line-based record: "\\", line feed and carriage
// return written as \\\\, \\n and \\r, and read back.
QString escapedLine(QStringView text);
QString unescapedLine(QStringView text);

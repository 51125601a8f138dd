#pragma once
// Widths of text set in Arial, and the cut rule of the reports and the CSV
// export: a value wider than its box keeps only the first line it would wrap
// to. Liberation Sans stands in for Arial (same advance widths), so the cut
// falls where it falls on a Windows machine with Arial. The table is read
// from the font on first use, which needs the GUI application to exist.

#include <QString>
#include <QStringView>

namespace report {

// Width in millimetres of text set in Arial (Liberation Sans, metric-compatible) at pointSize, from a table of glyph
// advances built once per size (no font lookup per call).
double textWidthMm(QStringView text, double pointSize);

// The cut rule: text wider than boxWidthMm is wrapped at word boundaries to the box's width and only its first line
// kept; a single word wider than the box is cut to the characters that fit. Text that fits is returned unchanged.
QString fitFirstLine(const QString &text, double boxWidthMm, double pointSize);

// The largest size from maxPoints down to minPoints, in tenths of a point,
// at which text fits boxWidthMm whole; minPoints when it fits at none of them.
double fittingPointSize(QStringView text, double boxWidthMm, double maxPoints, double minPoints);

// The same rule without a copy: the length of the prefix of text that
// fitFirstLine() keeps (the first line is always a prefix of the text).
qsizetype fittedLength(QStringView text, double boxWidthMm, double pointSize);

} // namespace report

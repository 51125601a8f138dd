#pragma once
// What a PDF file holds, read back with poppler's pdftotext: the pages, their
// sizes and every word with its box, in millimetres from the sheet's top-left
// corner.

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

struct PdfWord
{
    QString text;
    int page = 0;       // 0-based
    double xMm = 0;     // left edge
    double yMm = 0;     // top of the line the word stands on
    double rightMm = 0;
    double bottomMm = 0;
};

struct PdfContents
{
    QList<QSizeF> pageSizesMm;
    QList<PdfWord> words;
    QStringList pageTexts;   // each page's words joined with blanks, in reading order

    int pageCount() const { return int(pageSizesMm.size()); }
    QList<PdfWord> wordsOn(int page) const;
};

// Empty (and a warning) when pdftotext fails or the file is not a PDF.
PdfContents readPdf(const QString &path);

#include "pdftext.h"

#include <QProcess>
#include <QXmlStreamReader>

namespace {
constexpr double MmPerPoint = 25.4 / 72.0;
}

QList<PdfWord> PdfContents::wordsOn(int page) const
{
    QList<PdfWord> out;
    for (const PdfWord &w : words)
        if (w.page == page)
            out << w;
    return out;
}

PdfContents readPdf(const QString &path)
{
    PdfContents pdf;
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("pdftotext failed on %s: %s", qPrintable(path), p.readAllStandardError().constData());
        return pdf;
    }
    QXmlStreamReader xml(p.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            pdf.pageSizesMm << QSizeF(a.value("width").toDouble() * MmPerPoint, a.value("height").toDouble() * MmPerPoint);
            pdf.pageTexts << QString();
        } else if (xml.name() == QLatin1String("word")) {
            PdfWord w;
            w.page = int(pdf.pageSizesMm.size()) - 1;
            w.xMm = a.value("xMin").toDouble() * MmPerPoint;
            w.yMm = a.value("yMin").toDouble() * MmPerPoint;
            w.rightMm = a.value("xMax").toDouble() * MmPerPoint;
            w.bottomMm = a.value("yMax").toDouble() * MmPerPoint;
            w.text = xml.readElementText();
            QString &text = pdf.pageTexts.last();
            text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + w.text;
            pdf.words << w;
        }
    }
    if (xml.hasError())
        qWarning("pdftotext gave no readable words for %s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return pdf;
}

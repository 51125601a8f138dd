#include "toolkit/report/printing.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include "common/failure.h"

namespace report {

PrintSettings defaultPrintSettings(QPageLayout::Orientation orientation)
{
    PrintSettings s;
    s.printerName = QPrinterInfo::defaultPrinterName();
    s.orientation = orientation;
    return s;
}

void applySettings(QPrinter &printer, const PrintSettings &settings, const PageGeometry &geometry)
{
    if (!settings.outputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(settings.outputFile);
    } else if (!settings.printerName.isEmpty()) {
        printer.setPrinterName(settings.printerName);
    }
    printer.setCopyCount(std::max(1, settings.copies));
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(geometry.paperMm, QPageSize::Millimeter), settings.orientation,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    if (settings.allPages()) {
        printer.setPrintRange(QPrinter::AllPages);
    } else {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(settings.fromPage, settings.toPage);
    }
}

bool runPrinterSetup(PrintSettings &settings, int preparedPages, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    PageGeometry geometry;
    geometry.orientation = settings.orientation;
    applySettings(printer, settings, geometry);

    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog"));
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile
                      | QAbstractPrintDialog::PrintShowPageSize);
    if (preparedPages > 0) {
        dialog.setMinMax(1, preparedPages);
        if (settings.allPages())
            printer.setFromTo(1, preparedPages);
    } else {
        dialog.setMinMax(0, 9999);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;

    PrintSettings chosen = settings;
    chosen.copies = printer.copyCount();
    // Printing to a file names one; a bare folder (the dialog's default where
    // the system has no printers) names none.
    const QString file = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    chosen.outputFile = file.isEmpty() || QFileInfo(file).isDir() ? QString() : file;
    chosen.printerName = chosen.outputFile.isEmpty() ? printer.printerName() : settings.printerName;
    chosen.orientation = printer.pageLayout().orientation();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        chosen.fromPage = printer.fromPage();
        chosen.toPage = printer.toPage();
    } else {
        chosen.fromPage = chosen.toPage = 0;
    }
    settings = chosen;
    return true;
}

namespace {

// Sends pages first..last (0-based) `copies` times, collated, to a printer
// or a PDF writer; when progress stops it, calls abort while the pages are
// still open and returns false.
bool paint(QPagedPaintDevice &device, const QString &where, const PageSource &source, int first, int last,
           int copies, const Progress &progress, const std::function<void()> &abort = {})
{
    QPainter painter;
    if (!painter.begin(&device))
        throw Failure(where.isEmpty() ? QStringLiteral("Печать невозможна: принтер не выбран")
                                      : QStringLiteral("Печать невозможна: %1 недоступен").arg(where));
    const double pxPerMm = device.logicalDpiX() / 25.4;
    const int total = (last - first + 1) * copies;
    int done = 0;
    for (int c = 0; c < copies; ++c) {
        for (int i = first; i <= last; ++i) {
            if (progress && !progress(done, total)) {
                if (abort)
                    abort();
                return false;
            }
            if (done > 0)
                device.newPage();
            renderPage(painter, source.page(i), QPointF(0, 0), pxPerMm);
            ++done;
        }
    }
    painter.end();
    if (progress)
        progress(done, total);
    return true;
}

// A PDF file is written under a temporary name beside path and takes the
// name only when whole: a crash or a cut-off leaves a file of that name as
// it was.
bool writePdf(const QString &path, const PageSource &source, const PageGeometry &geometry,
              QPageLayout::Orientation orientation, int first, int last, int copies, const Progress &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)));
    QPdfWriter pdf(&file);
    pdf.setResolution(1200);
    pdf.setPageLayout(QPageLayout(QPageSize(geometry.paperMm, QPageSize::Millimeter), orientation,
                                  QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    if (!paint(pdf, path, source, first, last, copies, progress)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw Failure(QStringLiteral("Cannot write file %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return true;
}

}

bool printPages(const PageSource &source, const PageGeometry &geometry, const PrintSettings &settings,
                const Progress &progress)
{
    const int count = source.pageCount();
    int first = 0;
    int last = count - 1;
    if (!settings.allPages()) {
        first = std::max(first, settings.fromPage - 1);
        last = std::min(last, settings.toPage - 1);
    }
    if (first > last)
        return true;
    // Printed to a file: a PDF has no copies of its own, each one is sent.
    if (!settings.outputFile.isEmpty())
        return writePdf(settings.outputFile, source, geometry, settings.orientation, first, last,
                        std::max(1, settings.copies), progress);

    QPrinter printer(QPrinter::HighResolution);
    applySettings(printer, settings, geometry);
    int copies = std::max(1, settings.copies);
    if (printer.supportsMultipleCopies()) {
        copies = 1;   // the system makes them
    } else {
        printer.setCopyCount(1);
    }
    return paint(printer, printer.printerName(), source, first, last, copies, progress, [&] { printer.abort(); });
}

bool exportPdf(const PageSource &source, const PageGeometry &geometry, const QString &path, const Progress &progress)
{
    if (source.pageCount() == 0)
        return true;
    return writePdf(path, source, geometry, geometry.orientation, 0, source.pageCount() - 1, 1, progress);
}

}

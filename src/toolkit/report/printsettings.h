#pragma once
// What a report prints with: held by the report for the program's run and
// changed by its printer set-up.

#include <QPageLayout>
#include <QString>

namespace report {

struct PrintSettings
{
    QString printerName;       // empty: the system's default printer
    QString outputFile;        // set when the set-up chose printing to a file
    int copies = 1;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    int fromPage = 0;          // 1-based; 0 and 0: all pages
    int toPage = 0;

    bool allPages() const { return fromPage <= 0 || toPage <= 0; }
    bool operator==(const PrintSettings &) const = default;
};

// The settings a report starts with: the system's current printer, one copy,
// all pages.
PrintSettings defaultPrintSettings(QPageLayout::Orientation orientation);

}

#pragma once
// The prepared-report file: the laid-out pages of a report in the program's
// own format, so that a report saved from the preview loads back into it
// page for page. Written page by page as the pages are laid out, and read
// page by page as they are shown, so a report of tens of thousands of pages
// is never held whole in memory.
//
// Layout (QDataStream, big-endian): magic, format version, the page
// geometry, the page count, the pages one after another, then a trailer with
// the pictures (each stored once, as PNG) and the offset of every page; the
// file ends with the trailer's offset.

#include <QFile>
#include <memory>

#include "toolkit/report/page.h"
#include "toolkit/report/printing.h"

namespace report {

// Writes every page of source. Throws Failure when the file cannot be
// written; false when progress stopped the work (the file is then left as it was).
bool saveReport(const PageSource &source, const PageGeometry &geometry, const QString &path,
                const Progress &progress = {});

// A saved report. Throws Failure when the file is not one.
std::shared_ptr<PageSource> loadReport(const QString &path);

}

#pragma once
// Printing a report through QPrinter with the report's own settings, the
// printer set-up dialog, and export to a PDF file.

#include <functional>

#include "toolkit/report/page.h"
#include "toolkit/report/printsettings.h"

class QPrinter;
class QWidget;

namespace report {

// Told how far long work has got (pages done of total); false stops it.
using Progress = std::function<bool(int done, int total)>;

// The system's print dialog on the settings: printer, copies, orientation,
// page numbers allowed from 0 to 9999 (1 to preparedPages, preset to that
// whole range, when a prepared report exists). On OK the choices are taken
// into settings and true returned; on Cancel nothing changes.
bool runPrinterSetup(PrintSettings &settings, int preparedPages, QWidget *parent);

// Sets a printer up as the settings and the page geometry say (the sheet
// fills the page; the report's margins are in its items).
void applySettings(QPrinter &printer, const PrintSettings &settings, const PageGeometry &geometry);

// Prints the settings' page range of source in the settings' number of
// copies. Where the printer cannot make copies itself, the pages are sent
// once per copy. Throws Failure when the printer cannot be started; false
// when progress stopped the work. Printing to a file writes it as exportPdf().
bool printPages(const PageSource &source, const PageGeometry &geometry, const PrintSettings &settings,
                const Progress &progress = {});

// Every page once into a PDF file, written under a temporary name beside
// path that takes the name only when the file is whole. Throws Failure when
// the file cannot be written; false when progress stopped the work. Either
// way, and when the program is killed meanwhile, a file of that name stays
// as it was.
bool exportPdf(const PageSource &source, const PageGeometry &geometry, const QString &path,
               const Progress &progress = {});

}

#pragma once
#include <QString>
#include <memory>

class Exp2BD;
class DailyBackup;
class ExpBD;
class MainForm;
class Security;
class TnewDB;
class TruckChoice;
class TrucksWindow;
class TotalsWindow;
class printfm;
class QWidget;

// The start order: login, the main window and its companions, the event loop.
// programDir is where tools.ini and the database live.
int runKrodalin(int argc, char *argv[], const QString &programDir);

// The same order inside an application that exists already (tests drive the
// whole start this way). Returns the event loop's code, non-zero when the
// program could not start.
int runStartOrder(const QString &programDir);

// Loads Qt's own Russian texts (standard buttons, print and file dialogs) into
// the running application, whatever the system's language: every text of the
// program is Russian. False when the translation is not installed.
bool installToolkitTranslation();

// Hands the administrator gate its purposes on the main window (the two
// flags, the settings panel, the port switch; the journal's edit mode) and
// lets the settings page's lock button ask for it.
void connectAdministratorGate(MainForm &mainForm, Security &gate);

// Hands the pending-truck window to the entry form's weigh operation (the
// second pass completes the record chosen there) and its journal view to the
// main window, which closes it at exit.
void connectPendingTrucks(MainForm &mainForm, TnewDB &pendingTrucks);

// Hands the truck choice to the weigh operation (the one-pass weighing) and
// lets the settings page's "Справочник машин" open the register's window.
void connectTruckRegister(MainForm &mainForm, TruckChoice &truckChoice, TrucksWindow &trucks);

// Lets the journal page's "Экспорт БД" run the export report.
void connectExportReport(MainForm &mainForm, Exp2BD &exportReport);
// Starts the day's backup of the database on a thread of its own once the
// main window has been painted with its entry lists whole; a copy that fails reaches the general error
// report, once. Destroying the result stops a copy under way.
std::unique_ptr<DailyBackup> startDailyBackup(const QString &programDir, MainForm &mainForm);
// Gives the note its two buttons (the weighing page's fills it from the
// record the latest second pass completed, the journal page's from the
// grid's current row, both with the settings page's copies choice) and the
// settings page's printer set-up; gives "Печать БД" to the journal report.
void connectPrinting(MainForm &mainForm, printfm &note, ExpBD &journalReport);
// The totals window, over the main window; the journal page's "Итоги"
// brings it up, and it takes the page's search conditions when asked to.
std::unique_ptr<TotalsWindow> makeTotalsWindow(MainForm &mainForm);

#include "app/startup.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <memory>

#include "access/kladov.h"
#include "access/security.h"
#include "common/session.h"
#include "common/errorreport.h"
#include "app/dailybackup.h"
#include "app/mainform.h"
#include "app/settingspage.h"
#include "app/truckswindow.h"
#include "journal/evidencewindow.h"
#include "journal/journalpage.h"
#include "print/exp2bd.h"
#include "print/expbd.h"
#include "print/printfm.h"
#include "print/totalswindow.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/portswitch.h"
#include "toolkit/errorbox.h"
#include "weighing/tnewdb.h"
#include "weighing/truckchoice.h"
#include "weighing/entryform.h"
#include "weighing/weighoperation.h"

namespace {

// Opens the alias; null, with nothing open, when its tables were never made
// (a new folder, or a preparation stopped half-way). A missing SQLite file is
// not opened at all, so that the engine does not make an empty one.
std::unique_ptr<TableStore> openPreparedJournal(const QString &dir)
{
    const TableStore::Location loc = TableStore::location(dir);
    if (loc.engine == TableStore::Engine::SQLite && !QFileInfo::exists(loc.path))
        return nullptr;
    auto store = TableStore::open(dir);
    for (const QString &table : {Tables::Journal, Tables::Operators, Tables::Administrators})
        if (!store->tableExists(table))
            return nullptr;
    return store;
}

// The folder to name to the preparation tool. An installed program's data/ is
// a link into the folder where the site's files are kept: the one a person knows.
QString toolFolder(const QString &dir)
{
    const QFileInfo data(QDir(dir).filePath(QStringLiteral("data")));
    QString folder = data.isSymLink() ? QFileInfo(data.symLinkTarget()).absolutePath() : QDir::cleanPath(dir);
    // Quoted for the shell when it holds a blank or the like.
    for (const QChar ch : folder)
        if (!ch.isLetterOrNumber() && !QStringLiteral("/._-+").contains(ch))
            return QStringLiteral("'%1'").arg(folder.replace(u'\'', QStringLiteral("'\\''")));
    return folder;
}

// The program never makes its tables: the operator is told who does, and how.
void showJournalNotPrepared(const QString &dir)
{
    // The file where it really is, not where a link of the program folder says.
    const TableStore::Location loc = TableStore::location(dir);
    QString where = loc.describe();
    const QFileInfo file(loc.path);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    if (loc.engine == TableStore::Engine::SQLite && !folder.isEmpty())
        where = QDir(folder).filePath(file.fileName());
    QMessageBox box(QMessageBox::Information, QStringLiteral("Krodalin"),
                    QStringLiteral("Журнал ещё не подготовлен: в базе данных WE (%1) нет таблиц программы.\n\n"
                                   "Подготовьте её один раз командой\n\n"
                                   "    krodalin-db init %2\n\n"
                                   "(она спросит имена и пароли первого администратора и оператора) "
                                   "и запустите программу снова.")
                        .arg(where, toolFolder(dir)),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

bool installToolkitTranslation()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

int runKrodalin(int argc, char *argv[], const QString &programDir)
{
    QApplication app(argc, argv);
    installToolkitTranslation();

    // The program's directory holds tools.ini and the database alias; the
    // executable's own directory unless the caller names another one.
    return runStartOrder(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir);
}

int runStartOrder(const QString &dir)
{
    installErrorBox();
    // The alias WE, open until the last window is gone.
    std::unique_ptr<TableStore> store;
    if (!runGuarded([&] { store = openPreparedJournal(dir); }))
        return 1;
    if (!store) {
        showJournalNotPrepared(dir);
        return 1;
    }

    // The login window comes first and stays allocated until the end.
    std::unique_ptr<kladov> login;
    if (!runGuarded([&] { login = std::make_unique<kladov>(*store); }))
        return 1;
    login->exec();

    QCoreApplication::setApplicationName(QStringLiteral("Krodalin"));

    // Creating the main window runs its creation steps; without a login they
    // disable it and end the event loop as soon as it starts. A window that
    // fails to come up is reported, and start-up goes on with the next one;
    // without the main window there is nothing to go on with.
    std::unique_ptr<MainForm> mainForm;
    if (!runGuarded([&] { mainForm = std::make_unique<MainForm>(*store, dir); })) {
        login.reset();
        return 1;
    }
    if (Session::LoginOk != 0)
        mainForm->show();

    // The administrator gate comes right after the main window.
    std::unique_ptr<Security> gate;
    runGuarded([&] {
        gate = std::make_unique<Security>(*store, mainForm.get());
        connectAdministratorGate(*mainForm, *gate);
    });

    // The consignment note and the journal report, each with its own print
    // settings for the whole run.
    std::unique_ptr<printfm> note;
    std::unique_ptr<ExpBD> journalReport;
    runGuarded([&] {
        note = std::make_unique<printfm>();
        journalReport = std::make_unique<ExpBD>(*store);
        connectPrinting(*mainForm, *note, *journalReport);
    });

    // The export report, with its own view of the journal.
    std::unique_ptr<Exp2BD> exportReport;
    runGuarded([&] {
        exportReport = std::make_unique<Exp2BD>(*store, dir, mainForm.get());
        connectExportReport(*mainForm, *exportReport);
    });

    std::unique_ptr<TotalsWindow> totals;
    runGuarded([&] { totals = makeTotalsWindow(*mainForm); });
    // The weighing evidence of a journal row.
    std::unique_ptr<EvidenceWindow> evidence;
    runGuarded([&] {
        evidence = std::make_unique<EvidenceWindow>(*store, mainForm.get());
        EvidenceWindow *window = evidence.get();
        QObject::connect(mainForm->journalPage(), &JournalPage::evidenceRequested, window,
                         guarded([window](qint64 rowId) { window->showRow(rowId); }));
    });

    // The pending-truck window, last of the windows made at start.
    std::unique_ptr<TnewDB> pendingTrucks;
    runGuarded([&] {
        pendingTrucks = std::make_unique<TnewDB>(mainForm->entryForm());
        connectPendingTrucks(*mainForm, *pendingTrucks);
    });

    // The truck register: the choice of a truck for a one-pass weighing, and
    // the administrator's window on the settings page.
    std::unique_ptr<TruckChoice> truckChoice;
    std::unique_ptr<TrucksWindow> trucks;
    runGuarded([&] {
        truckChoice = std::make_unique<TruckChoice>(mainForm->entryForm());
        trucks = std::make_unique<TrucksWindow>(*store, mainForm.get());
        connectTruckRegister(*mainForm, *truckChoice, *trucks);
    });

    // The day's backup once the main window is painted with its lists: it
    // copies on a thread of its own while the operator weighs.
    std::unique_ptr<DailyBackup> backup;
    if (Session::LoginOk != 0)
        runGuarded([&] { backup = startDailyBackup(dir, *mainForm); });

    const int rc = QApplication::exec();

    // A copy still under way stops before the store closes.
    backup.reset();
    login.reset();
    trucks.reset();
    truckChoice.reset();
    pendingTrucks.reset();
    totals.reset();
    evidence.reset();
    exportReport.reset();
    journalReport.reset();
    note.reset();
    gate.reset();
    mainForm.reset();
    store.reset();
    return rc;
}

void connectAdministratorGate(MainForm &mainForm, Security &gate)
{
    SettingsPage *settings = mainForm.settingsPage();
    PortSwitch *portSwitch = mainForm.portSwitch();
    SecurityTargets targets;
    targets.CheckBox1 = mainForm.settingsUnlockFlag();
    targets.CheckBox2 = mainForm.journalEditFlag();
    JournalPage *journal = mainForm.journalPage();
    targets.editModeAvailable = [journal] { return !journal->isEditMode(); };
    targets.enterEditMode = [journal] { journal->EnterEditMode(); };
    targets.settingsPanelHidden = [settings] { return settings->isLocked(); };
    targets.showSettingsPanel = [settings] { settings->showPanel(); };
    targets.switchPortOff = [portSwitch] { portSwitch->setOn(false); };
    gate.setTargets(targets);

    QObject::connect(settings, &SettingsPage::administratorRequested, &gate, &Security::request);
    QObject::connect(journal, &JournalPage::editModeRequested, &gate, &Security::request);
}

void connectPendingTrucks(MainForm &mainForm, TnewDB &pendingTrucks)
{
    // A second pass completes the record chosen in the window, through its
    // view; the main window closes that view at exit, after its own.
    mainForm.entryForm()->weighing()->setPendingWindow(&pendingTrucks);
    mainForm.setPendingView(pendingTrucks.journalView());
}

void connectTruckRegister(MainForm &mainForm, TruckChoice &truckChoice, TrucksWindow &trucks)
{
    mainForm.entryForm()->weighing()->setTruckChoice(&truckChoice);
    TrucksWindow *window = &trucks;
    QObject::connect(mainForm.settingsPage(), &SettingsPage::trucksRequested, window,
                     guarded([window] { window->showRegister(); }));
}

void connectExportReport(MainForm &mainForm, Exp2BD &exportReport)
{
    QObject::connect(mainForm.journalPage(), &JournalPage::exportJournalRequested, &exportReport,
                     guarded([&exportReport] { exportReport.exportJournal(); }));
}

std::unique_ptr<DailyBackup> startDailyBackup(const QString &programDir, MainForm &mainForm)
{
    auto backup = std::make_unique<DailyBackup>(programDir, QDate::currentDate());
    QObject::connect(backup.get(), &DailyBackup::finished, [](const QString &error) {
        if (!error.isEmpty())
            showErrorReport(error);
    });
    // A list the entry form completes after the window shows comes first too.
    EntryForm *entry = mainForm.entryForm();
    if (entry->referenceListsFilling()) {
        QObject::connect(entry, &EntryForm::fillingDone, backup.get(), [copy = backup.get(), &mainForm] {
            copy->startWhenPainted(&mainForm);
            mainForm.update();
        });
    } else {
        backup->startWhenPainted(&mainForm);
    }
    return backup;
}

void connectPrinting(MainForm &mainForm, printfm &note, ExpBD &journalReport)
{
    MainForm *form = &mainForm;
    printfm *notePtr = &note;
    TableCursor *view = form->journalView();
    WeighOperation *weighing = form->entryForm()->weighing();
    // The weighing page prints the weighing just completed, wherever the
    // journal page has moved the main view since.
    QObject::connect(form->printButton(), &QPushButton::clicked, &note, guarded([form, notePtr, view, weighing] {
        notePtr->FillAndPreviewNote(journalRowById(*view, weighing->lastCompletedId()), form->copiesChoice(), form);
    }));
    QObject::connect(form->journalPage()->printNoteButton(), &QPushButton::clicked, &note,
                     guarded([form, notePtr, view] {
                         notePtr->FillAndPreviewNote(currentJournalRow(*view), form->copiesChoice(), form);
                     }));
    QObject::connect(form->settingsPage(), &SettingsPage::printerSetupRequested, &note,
                     guarded([form, notePtr] { notePtr->PrinterSetupClick(form); }));
    ExpBD *report = &journalReport;
    QObject::connect(form->journalPage()->printJournalButton(), &QPushButton::clicked, &journalReport,
                     guarded([form, report] { report->PreviewJournal(form); }));
}

std::unique_ptr<TotalsWindow> makeTotalsWindow(MainForm &mainForm)
{
    JournalPage *page = mainForm.journalPage();
    auto totals = std::make_unique<TotalsWindow>(mainForm.journalView()->store(), [page] { return searchLines(page->conditions()); }, &mainForm);
    TotalsWindow *window = totals.get();
    QObject::connect(page->totalsButton(), &QPushButton::clicked, window, [window] {
        window->show();
        window->raise();
        window->activateWindow();
    });
    return totals;
}

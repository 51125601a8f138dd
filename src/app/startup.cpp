#include "app/startup.h"

#include <QApplication>
#include <QDate>
#include <QLibraryInfo>
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
#include "journal/journalpage.h"
#include "print/exp2bd.h"
#include "print/expbd.h"
#include "print/printfm.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/portswitch.h"
#include "toolkit/errorbox.h"
#include "weighing/tnewdb.h"
#include "weighing/entryform.h"
#include "weighing/weighoperation.h"

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
    if (!runGuarded([&] { TableStore::open(dir); }))
        return 1;

    // The login window comes first and stays allocated until the end.
    std::unique_ptr<kladov> login;
    if (!runGuarded([&] { login = std::make_unique<kladov>(); })) {
        TableStore::close();
        return 1;
    }
    login->exec();

    QCoreApplication::setApplicationName(QStringLiteral("Krodalin"));

    // Creating the main window runs its creation steps; without a login they
    // disable it and end the event loop as soon as it starts. A window that
    // fails to come up is reported, and start-up goes on with the next one;
    // without the main window there is nothing to go on with.
    std::unique_ptr<MainForm> mainForm;
    if (!runGuarded([&] { mainForm = std::make_unique<MainForm>(dir); })) {
        login.reset();
        TableStore::close();
        return 1;
    }
    if (Session::LoginOk != 0)
        mainForm->show();

    // The administrator gate comes right after the main window.
    std::unique_ptr<Security> gate;
    runGuarded([&] {
        gate = std::make_unique<Security>(mainForm.get());
        connectAdministratorGate(*mainForm, *gate);
    });

    // The consignment note and the journal report, each with its own print
    // settings for the whole run.
    std::unique_ptr<printfm> note;
    std::unique_ptr<ExpBD> journalReport;
    runGuarded([&] {
        note = std::make_unique<printfm>();
        journalReport = std::make_unique<ExpBD>();
        connectPrinting(*mainForm, *note, *journalReport);
    });

    // The export report, with its own view of the journal.
    std::unique_ptr<Exp2BD> exportReport;
    runGuarded([&] {
        exportReport = std::make_unique<Exp2BD>(dir, mainForm.get());
        connectExportReport(*mainForm, *exportReport);
    });

    // The pending-truck window, last of the windows made at start.
    std::unique_ptr<TnewDB> pendingTrucks;
    runGuarded([&] {
        pendingTrucks = std::make_unique<TnewDB>(mainForm->entryForm());
        connectPendingTrucks(*mainForm, *pendingTrucks);
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
    pendingTrucks.reset();
    exportReport.reset();
    journalReport.reset();
    note.reset();
    gate.reset();
    mainForm.reset();
    TableStore::close();
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

void connectExportReport(MainForm &mainForm, Exp2BD &exportReport)
{
    QObject::connect(mainForm.journalPage(), &JournalPage::exportJournalRequested, &exportReport,
                     guarded([&exportReport] { exportReport.exportJournal(); }));
}

std::unique_ptr<DailyBackup> startDailyBackup(const QString &programDir, QWidget &mainWindow)
{
    auto backup = std::make_unique<DailyBackup>(programDir, QDate::currentDate());
    QObject::connect(backup.get(), &DailyBackup::finished, [](const QString &error) {
        if (!error.isEmpty())
            showErrorReport(error);
    });
    backup->startWhenPainted(&mainWindow);
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

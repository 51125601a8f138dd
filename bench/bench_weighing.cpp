// Weighing figures on a journal of 1,000,000 rows: filling the thirteen
// reference lists at start (the lists alone, and the entry form with its
// drop-down models), the refresh after a first pass, and opening the longest
// drop-down; then the start-up of a fresh program process (the main window
// up with the thirteen lists filled) against the sqlite3 shell's scan of the
// same thirteen columns, with the process's peak memory. Prints its figures;
// asserts nothing. Needs a display or QT_QPA_PLATFORM=offscreen.
//
//   bench_weighing [ROWS] [FOLDER]   (FOLDER keeps the generated journal for reuse)

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include "common/session.h"
#include <algorithm>
#include <sys/resource.h>

#include "app/mainform.h"
#include "app/startup.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "weighing/tnewdb.h"
#include "weighing/entryform.h"
#include "weighing/referencelists.h"
#include "journalgenerator.h"
#include "startupchild.h"

namespace {

QTextStream out(stdout);

double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

using Run = bench::StartUp;
using bench::childrenCpuMs;
using bench::timeStartUp;

// The sqlite3 shell printing the same thirteen columns.
Run timeShellScan(const QString &file)
{
    QStringList columns;
    for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
        columns << QStringLiteral("\"%1\"").arg(Schema::journalFields().at(p));
    const QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(u','), TableStore::sqlName(Tables::Journal));
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    const double cpuBefore = childrenCpuMs();
    QElapsedTimer t;
    t.start();
    shell.start(QStringLiteral("sqlite3"), {file, sql});
    Run run;
    if (shell.waitForFinished(120000) && shell.exitCode() == 0) {
        run.ms = ms(t);
        run.cpuMs = childrenCpuMs() - cpuBefore;
    }
    return run;
}

QString range(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return QStringLiteral("median %1 ms (%2 to %3)")
        .arg(v[v.size() / 2], 0, 'f', 0)
        .arg(v.front(), 0, 'f', 0)
        .arg(v.back(), 0, 'f', 0);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Start-up of fresh processes against the shell, interleaved so that both
// meet the same load of the machine (which other work may share: the CPU
// times show what each process itself spent).
void compareStartUp(const QString &folder)
{
    const QString file = TableStore::databasePath(folder);
    constexpr int Rounds = 7;
    std::vector<double> startUp, shell, startUpCpu, shellCpu, ratios;
    qint64 peakKb = 0;
    for (int i = 0; i < Rounds; ++i) {
        const Run s = timeShellScan(file);
        const Run r = timeStartUp(folder);
        if (s.ms <= 0 || r.ms <= 0) {
            out << "start-up comparison failed (is sqlite3 installed?)\n";
            return;
        }
        shell.push_back(s.ms);
        shellCpu.push_back(s.cpuMs);
        startUp.push_back(r.ms);
        startUpCpu.push_back(r.cpuMs);
        ratios.push_back(r.ms / s.ms);
        peakKb = std::max(peakKb, r.peakKb);
    }
    out << "sqlite3 shell, 13 columns of every row: " << range(shell) << "; CPU " << range(shellCpu) << "\n";
    out << "start-up, fresh process to the main window with 13 lists: " << range(startUp) << "; CPU "
        << range(startUpCpu) << "\n";
    out << "start-up / shell: " << QString::number(median(startUp) / median(shell), 'f', 2)
        << " (medians of wall time); per round " << QString::number(*std::min_element(ratios.begin(), ratios.end()), 'f', 2)
        << " to " << QString::number(*std::max_element(ratios.begin(), ratios.end()), 'f', 2) << "; CPU "
        << QString::number(median(startUpCpu) / median(shellCpu), 'f', 2) << "\n";
    out << "peak RSS of the start-up process: " << peakKb / 1024 << " MB\n";
}

}

int main(int argc, char *argv[])
{
    if (argc > 2 && qstrcmp(argv[1], bench::StartUpFlag) == 0)
        bench::startUpChild(argc, argv, QString::fromLocal8Bit(argv[2]));

    QApplication app(argc, argv);
    QTemporaryDir temp;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    QElapsedTimer t;

    // The lists alone, straight from a freshly opened view.
    {
        TableCursor view(*store, Tables::Journal);
        t.start();
        view.Open();
        ReferenceLists lists;
        lists.refresh(view);
        out << "reference lists alone, open + refresh: " << ms(t) << " ms; list sizes:";
        for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
            out << ' ' << lists.list(p).size();
        out << "\n";
    }

    // What the main window does at start: open its view, then fill the
    // entry form (lists and drop-down models).
    QWidget window;
    auto *panel = new QWidget(&window);
    auto *slot = new QWidget(&window);
    auto *unit = new QLabel(QStringLiteral("кг"), &window);
    auto *view = new TableCursor(*store, Tables::Journal, &window);
    EntryForm form({panel, slot, unit, view, nullptr});

    t.start();
    view->Open();
    form.fillReferenceLists();
    out << "start-up fill (open + 13 lists + drop-down models): " << ms(t) << " ms\n";

    // A first pass, then the reset's refresh of the one new row.
    view->Append();
    view->SetFieldText(WeighingRecord::N_Avto, QStringLiteral("Б001ББ"));
    view->SetFieldText(WeighingRecord::Zakazchik, QStringLiteral("Новый заказчик"));
    view->Post();
    t.start();
    form.refreshReferenceLists();
    out << "refresh after a first pass: " << ms(t) << " ms\n";

    window.show();
    QComboBox *waybills = form.entryField(11);
    t.start();
    waybills->showPopup();
    QApplication::processEvents();
    out << "drop-down of " << waybills->count() << " waybill numbers opened in " << ms(t) << " ms\n";
    waybills->hidePopup();

    // Typing into that field: the completer looks for the typed prefix.
    QCompleter *completer = waybills->completer();
    t.start();
    completer->setCompletionPrefix(QStringLiteral("10999"));
    const int found = completer->completionCount();
    out << "completion of a typed prefix among them (" << found << " found): " << ms(t) << " ms\n";

    view->Close();

    // The whole main window as the start order makes it, lists included.
    Session::LoginOk = 1;
    t.start();
    {
        MainForm main(*store, folder);
        out << "main window created (all creation steps): " << ms(t) << " ms\n";
    }
    store.reset();
    out.flush();

    compareStartUp(folder);
    return 0;
}

// Weighing figures on a journal of 1,000,000 rows: filling the thirteen
// reference lists at start (the lists alone, and the entry form with its
// drop-down models), the refresh after a first pass, and opening the longest
// drop-down. Prints its figures; asserts nothing. Needs a display or
// QT_QPA_PLATFORM=offscreen.
//
//   bench_weighing [ROWS] [FOLDER]   (FOLDER keeps the generated journal for reuse)

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include "common/session.h"
#include "app/mainform.h"
#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "weighing/entryform.h"
#include "weighing/referencelists.h"
#include "journalgenerator.h"

namespace {

QTextStream out(stdout);

double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir temp;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out);
    QElapsedTimer t;

    // The lists alone, straight from a freshly opened view.
    {
        TableCursor view(Tables::Journal);
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
    auto *print = new QPushButton(&window);
    auto *live = new QLabel(&window);
    auto *unit = new QLabel(QStringLiteral("кг"), &window);
    auto *view = new TableCursor(Tables::Journal, &window);
    EntryForm form({panel, slot, print, live, unit, view, nullptr});

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
        MainForm main(folder);
        out << "main window created (all creation steps): " << ms(t) << " ms\n";
    }
    TableStore::close();
    return 0;
}

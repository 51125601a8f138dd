// Journal report figures on a journal of 1,000,000 rows, beside the sqlite3
// shell on the same file in the same run: the preview opened to its first
// page painted (the report counts the journal's rows and lays out page 1)
// against the shell walking the ids of every row; "last" to the last page
// painted against the shell reading that page's 29 rows; the memory of the
// process before and after paging through 2,000 pages. Prints its figures
// and ratios; asserts nothing. Needs a display or QT_QPA_PLATFORM=offscreen.
//
//   bench_report [ROWS] [FOLDER] [ROUNDS]   (FOLDER keeps the generated journal for reuse)

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>

#include <algorithm>

#include "journalgenerator.h"
#include "print/expbd.h"
#include "store/tablestore.h"
#include "toolkit/report/previewwindow.h"

namespace {

QTextStream out(stdout);

// Paints what the preview shows now, as the window system would ask it to.
void paint(report::PreviewWindow *preview)
{
    preview->pageView()->viewport()->grab();
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir temp;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    const int rounds = bench::rounds(argc, argv);
    const QString file = bench::reopen(store, folder);

    ExpBD expbd(*store);
    QElapsedTimer t;
    QVector<double> opens, walks, lasts, reads;
    int pages = 0;
    for (int r = 0; r < rounds; ++r) {
        walks << bench::shell(file, QStringLiteral("SELECT id FROM bd_main_db ORDER BY id"), out);
        if (auto *open = expbd.report().preview())
            delete open;
        t.start();
        expbd.PreviewJournal(nullptr);
        report::PreviewWindow *preview = expbd.report().preview();
        paint(preview);
        opens << bench::ms(t);
        pages = preview->pageCount();

        const int rowsPerPage = journalreport::rowsPerPage();
        reads << bench::shell(file,
                              QStringLiteral("SELECT * FROM bd_main_db WHERE id > (SELECT MAX(id) FROM bd_main_db) - %1 "
                                             "ORDER BY id")
                                  .arg(rowsPerPage),
                              out);
        preview->button("FirstPageButton")->click();
        paint(preview);
        t.start();
        preview->button("LastPageButton")->click();
        paint(preview);
        lasts << bench::ms(t);
    }

    report::PreviewWindow *preview = expbd.report().preview();
    preview->button("FirstPageButton")->click();
    paint(preview);
    const double before = bench::statusMb("VmRSS:");
    constexpr int Paged = 2000;
    t.start();
    for (int i = 0; i < Paged; ++i) {
        preview->button("NextPageButton")->click();
        paint(preview);
    }
    const double pagingMs = bench::ms(t);
    const double after = bench::statusMb("VmRSS:");

    out << "journal report of " << pages << " pages (" << journalreport::rowsPerPage() << " rows a page), median of "
        << rounds << " rounds\n";
    out << "  preview to its first page painted: " << bench::fixed(bench::median(opens)) << " ms (goal <= 1000); sqlite3 walking every id: "
        << bench::fixed(bench::median(walks)) << " ms; ratio " << bench::fixed(bench::median(opens) / bench::median(walks), 2) << "\n";
    out << "  \"last\" to the last page painted:  " << bench::fixed(bench::median(lasts)) << " ms (goal <= 100); sqlite3 reading that "
        << "page's rows (process start included): " << bench::fixed(bench::median(reads)) << " ms; ratio "
        << bench::fixed(bench::median(lasts) / bench::median(reads), 2) << "\n";
    out << "  paging through " << Paged << " pages: " << bench::fixed(pagingMs / Paged, 2) << " ms a page; resident memory "
        << bench::fixed(before) << " MB before, " << bench::fixed(after) << " MB after (" << bench::fixed(after - before) << " MB)\n";
    return 0;
}

// Journal page figures on a journal of 1,000,000 rows, each beside the
// sqlite3 shell on the same file in the same run: a visit of the page (the
// six search lists rebuilt) against the shell reading those six fields of
// every row; a search with one condition to its first row shown; scrolling
// the grid (rows fetched as they come into view); entering and leaving edit
// mode. Prints its figures and ratios; asserts nothing. Needs a display or
// QT_QPA_PLATFORM=offscreen.
//
//   bench_journal [ROWS] [FOLDER] [ROUNDS]   (FOLDER keeps the generated journal for reuse)

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

#include "journal/journalpage.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursorgrid.h"
#include "toolkit/cursormodel.h"
#include "journalgenerator.h"

namespace {

QTextStream out(stdout);

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir temp;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    const int rounds = bench::rounds(argc, argv);
    const QString file = bench::reopen(store, folder);

    TableCursor view(*store, Tables::Journal);
    view.Open();
    QCheckBox editFlag;
    JournalPage page({nullptr, &view, &editFlag});
    page.resize(660, 420);
    QElapsedTimer t;

    // The visit, alternating with the shell so that both meet the same caches.
    using namespace WeighingRecord;
    const QString sixFields = QStringLiteral("SELECT %1, %2, %3, %4, %5, %6 FROM %7")
                                  .arg(bench::column(Zakazchik), bench::column(FIO), bench::column(N_Avto),
                                       bench::column(AvtoPr), bench::column(Klad), bench::column(Tovar),
                                       bench::journalTable());
    QVector<double> visits, shells, lists;
    for (int r = 0; r < rounds; ++r) {
        shells << bench::shell(file, sixFields, out);
        t.start();
        page.pageShown();
        visits << bench::ms(t);
    }
    // Where the visit's time goes: the engine's walk of the six fields alone.
    QVector<double> scans;
    for (int r = 0; r < rounds; ++r) {
        QVector<int> fields;
        for (const SearchListField &f : SearchListFields)
            fields << int(f.field);
        qint64 bytes = 0;
        t.start();
        view.First();
        view.scanToEnd(fields, [&](const QByteArrayView *v) { bytes += v[0].size(); });
        scans << bench::ms(t);
        t.start();
        readSearchLists(view);
        lists << bench::ms(t);
    }
    int entries = 0;
    for (int i = 0; i < SearchListCount; ++i)
        entries += page.searchList(i)->count();
    out << "page visit, six lists rebuilt (" << entries << " entries): median " << bench::fixed(bench::median(visits))
        << " ms; sqlite3 shell reading the six fields of every row: median " << bench::fixed(bench::median(shells))
        << " ms; ratio " << bench::fixed(bench::median(visits) / bench::median(shells), 2) << " (goal at most 1.0)\n";
    out << "  of which: the walk of the six fields alone " << bench::fixed(bench::median(scans)) << " ms, the lists read "
        << bench::fixed(bench::median(lists)) << " ms\n";

    // With the completed filter ticked: every generated row is completed, so
    // no row is hidden and the lists still come from the index.
    page.completedFilterBox()->setChecked(true);
    QVector<double> filteredVisits;
    for (int r = 0; r < rounds; ++r) {
        t.start();
        page.pageShown();
        filteredVisits << bench::ms(t);
    }
    out << "page visit with the completed filter ticked (nothing hidden, lists from the index): median "
        << bench::fixed(bench::median(filteredVisits)) << " ms; ratio to the shell "
        << bench::fixed(bench::median(filteredVisits) / bench::median(shells), 2) << "\n";
    page.completedFilterBox()->setChecked(false);

    // A filter that hides a sixth of the rows: too many to step back over,
    // so the lists come from one walk. The index, made to serve anyway, must
    // give the same lists.
    view.setExtraFilter({QStringLiteral("[Tovar]<>'песок'")}, true);
    QVector<double> walks;
    SearchLists walked;
    for (int r = 0; r < rounds; ++r) {
        t.start();
        walked = readSearchLists(view);
        walks << bench::ms(t);
    }
    t.start();
    bool same = true;
    for (int i = 0; i < SearchListCount; ++i) {
        const auto seeked = view.distinctByLatest(int(SearchListFields[size_t(i)].field),
                                                  10000000);
        same = same && seeked && *seeked == walked[size_t(i)];
    }
    const double forcedSeek = bench::ms(t);
    out << "lists under a filter hiding " << view.hiddenCount() << " rows, from one walk: median "
        << bench::fixed(bench::median(walks)) << " ms; ratio to the shell " << bench::fixed(bench::median(walks) / bench::median(shells), 2)
        << " (the index made to serve: " << bench::fixed(forcedSeek) << " ms; lists the same: " << (same ? "yes" : "NO")
        << ")\n";
    view.setExtraFilter({}, false);

    page.show();
    QApplication::processEvents();
    CursorModel *model = page.grid()->cursorModel();

    // A search with one condition, to its first row shown in the grid.
    const QString customer = page.searchList(0)->itemText(page.searchList(0)->count() / 2);
    QVector<double> searches;
    QString first;
    for (int r = 0; r < rounds; ++r) {
        page.searchList(0)->setEditText(customer);
        t.start();
        page.search();
        first = model->data(model->index(0, 5), Qt::DisplayRole).toString();
        QApplication::processEvents();
        searches << bench::ms(t);
    }
    const double searchShell = bench::shell(
        file,
        QStringLiteral("SELECT * FROM %2 WHERE %3 = '%1' ORDER BY id LIMIT 1")
            .arg(customer, bench::journalTable(), bench::column(WeighingRecord::Zakazchik)),
        out);
    out << "search [Zakazchik]='" << customer << "' to its first row shown (" << first << "): median "
        << bench::fixed(bench::median(searches), 2) << " ms (goal at most 100 ms); sqlite3 shell, process start included: "
        << bench::fixed(searchShell) << " ms\n";

    // Scrolling the whole grid page by page: rows are fetched as they come
    // into view, so no step may stall.
    page.rebuildSearchLists();
    QApplication::processEvents();
    QScrollBar *bar = page.grid()->verticalScrollBar();
    double worst = 0, total = 0;
    int steps = 0;
    t.start();
    while (steps < 4000) {
        QElapsedTimer step;
        step.start();
        bar->setValue(bar->value() + bar->pageStep());
        QApplication::processEvents();
        const double s = bench::ms(step);
        worst = std::max(worst, s);
        total += s;
        ++steps;
        if (bar->value() >= bar->maximum() && !model->canFetchMore({}))
            break;
    }
    out << "grid scrolled " << steps << " pages (" << model->rowCount() << " rows reached): mean "
        << bench::fixed(total / steps, 2) << " ms a page, worst " << bench::fixed(worst, 2) << " ms\n";
    const double pageShell =
        bench::shell(file, QStringLiteral("SELECT * FROM bd_main_db WHERE id > 500000 ORDER BY id LIMIT 30"), out);
    out << "sqlite3 shell reading one screen of rows, process start included: " << bench::fixed(pageShell) << " ms\n";

    // Entering and leaving edit mode.
    QVector<double> modes;
    for (int r = 0; r < rounds; ++r) {
        t.start();
        page.EnterEditMode();
        QApplication::processEvents();
        page.modeButtonClick();
        QApplication::processEvents();
        modes << bench::ms(t);
    }
    out << "edit mode entered and left: median " << bench::fixed(bench::median(modes), 2) << " ms\n";
    view.Close();
    store.reset();
    return 0;
}

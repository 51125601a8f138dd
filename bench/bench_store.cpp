// Store figures on a journal of 1,000,000 rows, each beside what the sqlite3
// shell takes for the same work on the same file in the same run: the walk
// over the 13 entry fields with First/Next, the filters to their first row,
// the append with post, and the peak memory of the store side (open, walk,
// grid). Prints its figures and ratios; asserts nothing.
//
//   bench_store [ROWS] [FOLDER] [ROUNDS] [MMAP]
//
// FOLDER keeps the generated journal for reuse; MMAP overrides the store's
// memory-map size (bytes) to compare the trade-off.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursormodel.h"
#include "journalgenerator.h"

namespace {

QTextStream out(stdout);

void resetPeakRss()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

QString range(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return QStringLiteral("%1–%2").arg(v.first(), 0, 'f', 0).arg(v.last(), 0, 'f', 0);
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    std::unique_ptr<TableStore> store;
    const QString folder = bench::prepareJournal(argc, argv, temp.path(), out, store);
    const int rounds = bench::rounds(argc, argv);
    const QString file = bench::reopen(store, folder);
    if (argc > 4) {
        QSqlQuery q(store->connection());
        q.exec(QStringLiteral("PRAGMA mmap_size=%1").arg(QString(argv[4]).toLongLong()));
        out << "memory map size set to " << argv[4] << " bytes\n";
    }
    resetPeakRss();
    QElapsedTimer t;

    QStringList entryColumns;
    for (int p = 0; p <= 12; ++p)
        entryColumns << QStringLiteral("\"%1\"").arg(Schema::journalFields()[p]);
    const QString walkSql = QStringLiteral("SELECT %1 FROM bd_main_db").arg(entryColumns.join(','));

    TableCursor c(*store, Tables::Journal);
    t.start();
    c.Open();
    out << "open (first row): " << bench::ms(t) << " ms\n";

    // The walk, alternating with the shell so both meet the same caches.
    QVector<double> walks, shells;
    qint64 n = 0, bytes = 0;
    for (int r = 0; r < rounds; ++r) {
        shells << bench::shell(file, walkSql, out);
        t.start();
        n = bytes = 0;
        c.First();
        if (!c.IsEmpty()) {
            for (; !c.AtEnd(); c.Next()) {
                for (int p = 0; p <= 12; ++p)
                    bytes += c.FieldBytes(p).size();
                ++n;
            }
        }
        walks << bench::ms(t);
    }
    out << "walk First/Next over 13 fields of " << n << " rows (" << bytes << " bytes): " << range(walks)
        << " ms; sqlite3 shell SELECT of the 13 columns: " << range(shells) << " ms; ratio "
        << QString::number(bench::median(walks) / bench::median(shells), 'f', 2) << " (median)\n";

    t.start();
    qint64 chars = 0;
    for (c.First(); !c.AtEnd(); c.Next())
        for (int p = 0; p <= 12; ++p)
            chars += c.FieldText(p).size();
    out << "walk reading the 13 fields as texts: " << bench::ms(t) << " ms (" << chars << " chars)\n";

    {
        t.start();
        CursorModel model(&c, {{WeighingRecord::fieldName(WeighingRecord::N_Avto), "№ Автомобиля", 91},
                                {WeighingRecord::fieldName(WeighingRecord::FIO), "Ф.И.О. Водителя", 141}});
        const QString first = model.data(model.index(0, 0), Qt::DisplayRole).toString();
        out << "grid model over the journal, first row shown: " << bench::ms(t) << " ms (" << model.rowCount()
            << " rows fetched so far)\n";
        t.start();
        c.Last();
        const int row = model.currentRow(true);
        const QString last = model.data(model.index(row, 0), Qt::DisplayRole).toString();
        out << "grid model, cursor to the last row and its grid row " << row << ": " << bench::ms(t) << " ms\n";
        c.First();
    }
    out << "peak RSS of the store side (open, " << rounds + 1 << " walks, grid): "
        << QString::number(bench::statusMb("VmHWM:"), 'f', 0) << " MB\n";

    using WeighingRecord::fieldName;
    const QString table = bench::journalTable();
    const QString customer = bench::column(WeighingRecord::Zakazchik), goods = bench::column(WeighingRecord::Tovar),
                  make = bench::column(WeighingRecord::Marcka);
    const struct { QString line, sql; } filters[] = {
        {QStringLiteral("[%1]='ИП Петров2'").arg(fieldName(WeighingRecord::Zakazchik)),
         QStringLiteral("SELECT * FROM %1 WHERE %2='ИП Петров2' LIMIT 1").arg(table, customer)},
        {QStringLiteral("[%1]='цем*'").arg(fieldName(WeighingRecord::Tovar)),
         QStringLiteral("SELECT * FROM %1 WHERE %2 >= 'цем' AND %2 < 'цем\U0010FFFF' "
                        "AND substr(%2, 1, 3) = 'цем' LIMIT 1")
             .arg(table, goods)},
        {QStringLiteral("[%1]='нет такой'").arg(fieldName(WeighingRecord::Marcka)),
         QStringLiteral("SELECT * FROM %1 WHERE %2='нет такой' LIMIT 1").arg(table, make)},
    };
    for (const auto &f : filters) {
        QVector<double> runs;
        for (int r = 0; r < rounds; ++r) {
            c.DeactivateFilter();
            c.SetFilterLines({f.line});
            t.start();
            c.ActivateFilter();
            runs << bench::ms(t);
        }
        const double sh = bench::shell(file, f.sql, out);
        out << "filter " << f.line << " to first row: " << QString::number(bench::median(runs), 'f', 3)
            << " ms (median of " << rounds << "); sqlite3 shell, process start included: "
            << QString::number(sh, 'f', 1) << " ms\n";
    }
    c.DeactivateFilter();

    QElapsedTimer each;
    qint64 worst = 0, total = 0;
    const int posts = 50;
    for (int i = 0; i < posts; ++i) {
        each.start();
        c.Append();
        c.SetFieldText(WeighingRecord::N_Avto, "Б001ББ");
        c.SetFieldText(WeighingRecord::Tara, "5,1");
        c.Post();
        const qint64 ns = each.nsecsElapsed();
        worst = std::max(worst, ns);
        total += ns;
    }
    out << "append with post: mean " << total / posts / 1e6 << " ms, worst " << worst / 1e6 << " ms\n";
    const double insertShell =
        bench::shell(file,
                     QStringLiteral("PRAGMA synchronous=FULL; INSERT INTO %1 (%2, %3) VALUES ('Б001ББ', '5,1');")
                         .arg(bench::journalTable(), bench::column(WeighingRecord::N_Avto),
                              bench::column(WeighingRecord::Tara)),
                     out);
    out << "sqlite3 shell, one INSERT, process start included: " << QString::number(insertShell, 'f', 1)
        << " ms\n";
    c.Close();
    store.reset();
    return 0;
}

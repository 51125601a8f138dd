// The journal CSV export on a journal of 1,000,000 rows beside the sqlite3
// shell on the same file in the same run: "Экспорт БД" writing its file (the
// progress window up) against `sqlite3 -csv` writing the same 21 columns to
// a file. Also where the export's time goes: the walk of the 21 fields alone,
// and the lines made without a file. Prints figures and ratios; asserts
// nothing. Needs a display or QT_QPA_PLATFORM=offscreen.
//
//   bench_csv [ROWS] [FOLDER] [ROUNDS]   (FOLDER keeps the generated journal for reuse)

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

#include "print/exp2bd.h"
#include "print/journalcsv.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
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

    QStringList columns;
    for (const JournalCsv::Column &c : JournalCsv::columns())
        columns << QStringLiteral("\"%1\"").arg(WeighingRecord::fieldName(c.field));
    const QString sql = QStringLiteral("SELECT %1 FROM bd_main_db ORDER BY id").arg(columns.join(','));
    const QString ours = temp.filePath(QStringLiteral("export.csv"));
    const QString theirs = temp.filePath(QStringLiteral("shell.csv"));

    Exp2BD exportReport(*store, folder, nullptr);
    QElapsedTimer t;
    // Alternating, so that both meet the same caches.
    QVector<double> exports, shells;
    for (int r = 0; r < rounds; ++r) {
        shells << bench::shell(file, sql, out, theirs, {QStringLiteral("-csv")});
        t.start();
        exportReport.writeFile(ours);
        exports << bench::ms(t);
    }
    const int rows = exportReport.journalView()->visibleCount();
    out << "CSV export of " << rows << " rows (" << QFileInfo(ours).size() / 1024 << " KiB): median "
        << bench::fixed(bench::median(exports)) << " ms; sqlite3 -csv writing the same 21 columns to a file ("
        << QFileInfo(theirs).size() / 1024 << " KiB): median " << bench::fixed(bench::median(shells)) << " ms; ratio "
        << bench::fixed(bench::median(exports) / bench::median(shells), 2) << " (goal at most 1.0)\n";

    // Where the time goes.
    QVector<int> fields;
    for (const JournalCsv::Column &c : JournalCsv::columns())
        fields << exportReport.journalView()->fieldIndex(WeighingRecord::fieldName(c.field));
    QVector<double> walks, lines;
    for (int r = 0; r < rounds; ++r) {
        TableCursor view(*store, Tables::Journal);
        view.Open();
        qint64 bytes = 0;
        t.start();
        view.scanToEnd(fields, [&](const QByteArrayView *v) { bytes += v[0].size(); });
        walks << bench::ms(t);
        view.First();
        JournalCsv::Writer writer;
        t.start();
        view.scanToEnd(fields, [&](const QByteArrayView *v) {
            writer.addRow(v);
            if (writer.bytes().size() > (1 << 20))
                writer.drain();
        });
        lines << bench::ms(t);
    }
    out << "  of which: the walk of the 21 fields alone " << bench::fixed(bench::median(walks)) << " ms; walk and lines without a file "
        << bench::fixed(bench::median(lines)) << " ms\n";
    store.reset();
    return 0;
}

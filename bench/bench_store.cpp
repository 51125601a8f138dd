// Store figures on a journal of 1,000,000 rows: full walk, filter to the
// first row, append with post. Prints its figures; asserts nothing.
//
//   bench_store [ROWS] [FOLDER]   (FOLDER keeps the generated journal for reuse)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "toolkit/cursormodel.h"
#include "journalgenerator.h"

namespace {

QTextStream out(stdout);

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    bench::prepareJournal(argc, argv, temp.path(), out);
    QElapsedTimer t;

    TableCursor c(Tables::Journal);
    t.start();
    c.Open();
    out << "open (first row): " << t.nsecsElapsed() / 1e6 << " ms\n";

    t.start();
    qint64 chars = 0, n = 0;
    if (!c.IsEmpty()) {
        for (; !c.AtEnd(); c.Next()) {
            for (int p = 0; p <= 12; ++p)
                chars += c.FieldBytes(p).size();
            ++n;
        }
    }
    out << "full walk reading 13 fields (bytes) of " << n << " rows: " << t.elapsed() << " ms (" << chars << " chars)\n";

    t.start();
    chars = 0;
    n = 0;
    for (c.First(); !c.AtEnd(); c.Next()) {
        for (int p = 0; p <= 12; ++p)
            chars += c.FieldText(p).size();
        ++n;
    }
    out << "full walk reading 13 fields (copies) of " << n << " rows: " << t.elapsed() << " ms\n";

    t.start();
    {
        CursorModel model(&c, {{"N_Avto", "№ Автомобиля", 91}, {"FIO", "Ф.И.О. Водителя", 141}});
        const QString first = model.data(model.index(0, 0), Qt::DisplayRole).toString();
        out << "grid model over the journal, first row shown: " << t.nsecsElapsed() / 1e6 << " ms ("
            << model.rowCount() << " rows fetched so far)\n";
        t.start();
        c.Last();
        out << "grid model, cursor to the last row and its grid row: " << model.currentRow(true) << " in "
            << t.elapsed() << " ms\n";
        c.First();
    }

    for (const QString &line : {QStringLiteral("[Zakazchik]='ИП Петров2'"), QStringLiteral("[Tovar]='цем*'"),
                                QStringLiteral("[Marcka]='нет такой'")}) {
        c.SetFilterLines({line});
        t.start();
        c.ActivateFilter();
        out << "filter " << line << " to first row: " << t.nsecsElapsed() / 1e6 << " ms\n";
    }
    c.DeactivateFilter();

    QElapsedTimer each;
    qint64 worst = 0, total = 0;
    const int posts = 50;
    for (int i = 0; i < posts; ++i) {
        each.start();
        c.Append();
        c.SetFieldText("N_Avto", "Б001ББ");
        c.SetFieldText("Tara", "5,1");
        c.Post();
        const qint64 ns = each.nsecsElapsed();
        worst = std::max(worst, ns);
        total += ns;
    }
    out << "append with post: mean " << total / posts / 1e6 << " ms, worst " << worst / 1e6 << " ms\n";
    c.Close();
    TableStore::close();
    return 0;
}

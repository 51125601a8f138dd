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
#include "store/ui/cursormodel.h"

namespace {

QTextStream out(stdout);

void generate(int rows)
{
    const QStringList customers = {"ООО Комбинат", "ЗАО Стройка", "ИП Петров", "Агрофирма Заря", "ОАО Карьер"};
    const QStringList goods = {"песок", "щебень", "глина", "зерно", "цемент", "уголь"};
    QSqlDatabase db = TableStore::connection();
    QSqlQuery q(db);
    q.exec("PRAGMA synchronous=OFF");
    db.transaction();
    QStringList cols;
    QStringList marks;
    for (const QString &f : Schema::journalFields()) {
        cols << "\"" + f + "\"";
        marks << "?";
    }
    q.prepare(QStringLiteral("INSERT INTO bd_main_db (%1) VALUES (%2)").arg(cols.join(','), marks.join(',')));
    auto *rng = QRandomGenerator::global();
    for (int i = 0; i < rows; ++i) {
        const int truck = int(rng->bounded(5000));
        q.addBindValue(QStringLiteral("А%1ВС").arg(truck, 3, 10, QChar('0')));
        q.addBindValue(QStringLiteral("КамАЗ"));
        q.addBindValue(QStringLiteral("Водитель %1").arg(truck % 700));
        q.addBindValue(QStringLiteral("Автобаза %1").arg(truck % 40));
        q.addBindValue(customers[i % customers.size()] + QString::number(i % 300));
        q.addBindValue(QStringLiteral("Отправитель %1").arg(i % 90));
        q.addBindValue(QStringLiteral("Получатель %1").arg(i % 80));
        q.addBindValue(QStringLiteral("Склад %1").arg(i % 12));
        q.addBindValue(goods[i % goods.size()]);
        q.addBindValue(i % 2 ? QStringLiteral("наличный") : QStringLiteral("безналичный"));
        q.addBindValue(QString::number(100000 + i));
        q.addBindValue(i % 3 ? QStringLiteral("") : QStringLiteral("ПР%1").arg(i % 500));
        q.addBindValue(QStringLiteral("Карьер %1").arg(i % 15));
        q.addBindValue(QStringLiteral("10,22"));
        q.addBindValue(QDate(2020, 1, 1).addDays(i / 400).toString(Qt::ISODate));
        q.addBindValue(QStringLiteral("12:00:00"));
        q.addBindValue(QStringLiteral("Оператор %1").arg(i % 5));
        q.addBindValue(QStringLiteral(""));
        q.addBindValue(QStringLiteral(""));
        q.addBindValue(QStringLiteral("15,32"));
        q.addBindValue(QStringLiteral("5,1"));
        q.addBindValue(QStringLiteral("т"));
        q.addBindValue(QStringLiteral("0"));
        q.addBindValue(QStringLiteral("0"));
        q.addBindValue(QStringLiteral("2"));
        if (!q.exec())
            qFatal("insert failed: %s", qPrintable(q.lastError().text()));
    }
    q.finish();
    if (!db.commit())
        qFatal("commit failed");
    q.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    q.exec("PRAGMA synchronous=FULL");
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString(argv[2]) : temp.path();

    TableStore::openCreating(folder);
    QElapsedTimer t;
    if (!TableStore::tableExists(Tables::Journal)) {
        Schema::createTables();
        t.start();
        generate(rows);
        out << "generated " << rows << " rows in " << t.elapsed() << " ms\n";
    }

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

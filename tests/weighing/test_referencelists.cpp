// The journal record's positions and the reference lists of the entry form:
// order by latest reading, exact comparison, and the refresh over a real
// journal view.

#include <QHash>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>

#include "store/schema.h"
#include "store/tablecursor.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "weighing/journalrecord.h"
#include "weighing/referencelists.h"

namespace {

QStringList read(const QStringList &texts)
{
    ReferenceList list;
    for (const QString &t : texts)
        list.take(t);
    return list.texts();
}

void addRow(const TempDatabase &db, const QString &driver, const QString &customer,
            const QString &trailer = QString())
{
    db.addJournalRow({{"FIO", driver}, {"Zakazchik", customer}, {"N_pricepa", trailer}});
}

// What a list must hold after reading texts in this order: each text once,
// by its latest reading.
QStringList byLatestReading(const QStringList &reads)
{
    QHash<QString, int> latest;
    for (int i = 0; i < reads.size(); ++i)
        latest[reads[i]] = i;
    QStringList texts = latest.keys();
    std::sort(texts.begin(), texts.end(), [&](const QString &a, const QString &b) { return latest[a] < latest[b]; });
    return texts;
}

} // namespace

class TestReferenceLists final : public QObject
{
    Q_OBJECT

private slots:
    void recordAgreesWithTable()
    {
        // Positions are used by the weighing code, names by grids and
        // filters: both must name the same columns of the table.
        QCOMPARE(WeighingRecord::fieldNames().size(), int(WeighingRecord::FieldCount));
        QCOMPARE(WeighingRecord::fieldName(WeighingRecord::Tara), QStringLiteral("Tara"));
        QCOMPARE(WeighingRecord::position(QStringLiteral("Punkt_zagruz")), int(WeighingRecord::Punkt_zagruz));
        QCOMPARE(WeighingRecord::title(WeighingRecord::N_Avto), QStringLiteral("№ Автомобиля"));
        QCOMPARE(WeighingRecord::title(WeighingRecord::Sum), QStringLiteral("Брутто"));
        QCOMPARE(WeighingRecord::title(WeighingRecord::Ed_izm), QStringLiteral("Единицы измерения веса"));
        QVERIFY(WeighingRecord::title(WeighingRecord::Ok_cicle).isEmpty());
        QVERIFY(WeighingRecord::fieldName(25).isEmpty());
        QCOMPARE(WeighingRecord::position(QStringLiteral("tara")), -1);
    }

    void order_data()
    {
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<QStringList>("list");
        QTest::newRow("nothing") << QStringList{} << QStringList{};
        QTest::newRow("latest last") << QStringList{"Иванов", "Петров", "Иванов"} << QStringList{"Петров", "Иванов"};
        QTest::newRow("same twice") << QStringList{"Иванов", "Иванов"} << QStringList{"Иванов"};
        QTest::newRow("letter case") << QStringList{"Иванов", "иванов", "Иванов"}
                                     << QStringList{"иванов", "Иванов"};
        QTest::newRow("trailing blank") << QStringList{"Иванов ", "Иванов"} << QStringList{"Иванов ", "Иванов"};
        QTest::newRow("empty is one entry") << QStringList{"", "ПР1", "", "ПР2"} << QStringList{"ПР1", "", "ПР2"};
        QTest::newRow("first moves to end") << QStringList{"a", "b", "c", "a"} << QStringList{"b", "c", "a"};
        QTest::newRow("middle moves to end") << QStringList{"a", "b", "c", "b", "d"}
                                             << QStringList{"a", "c", "b", "d"};
    }

    void order()
    {
        QFETCH(QStringList, reads);
        QFETCH(QStringList, list);
        QCOMPARE(read(reads), list);
    }

    void takeSaysWhetherTheListChanged()
    {
        ReferenceList list;
        QVERIFY(list.take(QStringLiteral("a")));
        QVERIFY(!list.take(QStringLiteral("a")));   // already last
        QVERIFY(list.take(QStringLiteral("b")));
        QVERIFY(list.take(QStringLiteral("a")));    // moves
        QVERIFY(list.contains("a"));
        QVERIFY(!list.contains("A"));
        QCOMPARE(list.size(), 2);
    }

    void longRunsAgreeWithPlainList()
    {
        // Many re-reads of few texts make the list squeeze its slots over and
        // over; it must still say what a plain list says.
        auto *rng = QRandomGenerator::global();
        for (int distinct : {1, 3, 50, 700, 5000}) {
            ReferenceList list;
            QStringList plain;
            for (int i = 0; i < 20000; ++i) {
                const QString t = QStringLiteral("Водитель %1").arg(rng->bounded(distinct));
                list.take(t);
                plain.removeAll(t);
                plain.append(t);
                if (i % 4999 == 0)
                    QCOMPARE(list.texts(), plain);
            }
            QCOMPARE(list.texts(), plain);
            QCOMPARE(list.size(), plain.size());
            for (int i = 0; i < plain.size(); ++i)
                QCOMPARE(list.textAt(i), plain[i]);
        }
    }

    void refreshReadsTheJournal()
    {
        TempDatabase db;
        addRow(db, "Иванов", "ООО Карьер");
        addRow(db, "Петров", "ЗАО Стройка", "ПР7");
        addRow(db, "Иванов", "ООО Карьер");

        TableCursor view(db.store(), Tables::Journal);
        view.Open();
        ReferenceLists lists;
        const ReferenceLists::Changes changed = lists.refresh(view);
        QVERIFY(view.AtEnd());
        QVERIFY(changed[WeighingRecord::FIO]);
        QCOMPARE(lists.list(WeighingRecord::FIO).texts(), QStringList({"Петров", "Иванов"}));
        QCOMPARE(lists.list(WeighingRecord::Zakazchik).texts(), QStringList({"ЗАО Стройка", "ООО Карьер"}));
        // Rows without a trailer give one empty entry, placed by the latest.
        QCOMPARE(lists.list(WeighingRecord::N_pricepa).texts(), QStringList({"ПР7", ""}));
        // Fields nobody filled: one empty entry.
        QCOMPARE(lists.list(WeighingRecord::Marcka).texts(), QStringList({""}));

        // Past its end the view gives nothing more.
        const ReferenceLists::Changes none = lists.refresh(view);
        QVERIFY(std::none_of(none.begin(), none.end(), [](bool b) { return b; }));
        QCOMPARE(lists.list(WeighingRecord::FIO).texts(), QStringList({"Петров", "Иванов"}));

        // A row appended through the view: only that row is read.
        view.Append();
        view.SetFieldText(WeighingRecord::FIO, QStringLiteral("Петров"));
        view.SetFieldText(WeighingRecord::Zakazchik, QStringLiteral("ИП Сидоров"));
        view.Post();
        lists.refresh(view);
        QCOMPARE(lists.list(WeighingRecord::FIO).texts(), QStringList({"Иванов", "Петров"}));
        QCOMPARE(lists.list(WeighingRecord::Zakazchik).texts(),
                 QStringList({"ЗАО Стройка", "ООО Карьер", "ИП Сидоров"}));

        // Moved back to the start, everything is read again: only the order
        // can change, nothing is doubled.
        view.First();
        lists.refresh(view);
        QCOMPARE(lists.list(WeighingRecord::FIO).texts(), QStringList({"Иванов", "Петров"}));
        QCOMPARE(lists.list(WeighingRecord::Zakazchik).size(), 3);
    }

    void everyWayOfReadingAgrees()
    {
        // An unfiltered view is read straight from the engine, a filtered
        // one row by row through the view: the lists must not tell.
        TempDatabase db;
        const QStringList drivers = {"Иванов", "Петров", "Иванов ", "Сидоров", "", "Петров", "иванов"};
        for (int i = 0; i < drivers.size(); ++i)
            db.addJournalRow({{"FIO", drivers[i]}, {"N_List", QString::number(i % 3)}, {"Ok_cicle", "2"}});

        auto lists = [](TableCursor &view) {
            ReferenceLists l;
            l.refresh(view);
            return QList<QStringList>{l.list(WeighingRecord::FIO).texts(), l.list(WeighingRecord::N_List).texts()};
        };
        TableCursor plain(db.store(), Tables::Journal);
        plain.Open();
        const QList<QStringList> direct = lists(plain);
        QVERIFY(plain.AtEnd());
        QCOMPARE(direct[0], QStringList({"Иванов", "Иванов ", "Сидоров", "", "Петров", "иванов"}));
        QCOMPARE(direct[1], QStringList({"1", "2", "0"}));

        TableCursor filtered(db.store(), Tables::Journal);
        filtered.Open();
        filtered.SetFilterLines({QStringLiteral("[Ok_cicle]='2'")});
        filtered.ActivateFilter();
        QCOMPARE(lists(filtered), direct);
        QVERIFY(filtered.AtEnd());

        // From a row in the middle, only the rows from there on.
        plain.First();
        plain.Next();
        plain.Next();
        plain.Next();
        QCOMPARE(lists(plain)[0], QStringList({"Сидоров", "", "Петров", "иванов"}));
        QVERIFY(plain.AtEnd());
    }

    void largeJournalAgreesWithPlainList()
    {
        // A journal large enough that the waybill list is sized ahead from
        // its first rows and looked up a batch of rows late: the lists must
        // still hold what reading row by row gives, also when old waybill
        // numbers come back after the list has grown large; and the lists a
        // first read takes from their fields' indexes (drivers, customers)
        // tell texts apart byte for byte, letter case and blanks included.
        TempDatabase db;
        auto *rng = QRandomGenerator::global();
        QStringList drivers, waybills, customers;
        const QStringList customerTexts = {"ООО Карьер", "ООО Карьер ", "ооо Карьер", "", "ЗАО Юг"};
        {
            QSqlDatabase c = db.store().connection();
            c.transaction();
            QSqlQuery q(c);
            q.prepare(QStringLiteral("INSERT INTO %1 (\"FIO\", \"N_List\", \"Zakazchik\") VALUES (?, ?, ?)")
                          .arg(TableStore::sqlName(Tables::Journal)));
            for (int i = 0; i < 20000; ++i) {
                drivers << QStringLiteral("Водитель %1").arg(rng->bounded(300));
                waybills << (i >= 10000 && i % 2 ? waybills[int(rng->bounded(i))] : QString::number(100000 + i));
                q.addBindValue(drivers.last());
                q.addBindValue(waybills.last());
                customers << customerTexts[int(rng->bounded(i < 19990 ? 4 : 5))];
                q.addBindValue(customers.last());
                QVERIFY(q.exec());
            }
            QVERIFY(c.commit());
        }

        TableCursor view(db.store(), Tables::Journal);
        view.Open();
        ReferenceLists lists;
        lists.refresh(view);
        QVERIFY(view.AtEnd());
        QCOMPARE(lists.list(WeighingRecord::FIO).texts(), byLatestReading(drivers));
        QCOMPARE(lists.list(WeighingRecord::N_List).texts(), byLatestReading(waybills));
        QCOMPARE(lists.list(WeighingRecord::Zakazchik).texts(), byLatestReading(customers));

        // One row more through the view, bringing an early waybill back.
        view.Append();
        view.SetFieldText(WeighingRecord::N_List, waybills[5]);
        view.Post();
        waybills << waybills[5];
        const ReferenceLists::Changes changed = lists.refresh(view);
        QVERIFY(changed[WeighingRecord::N_List]);
        QCOMPARE(lists.list(WeighingRecord::N_List).texts(), byLatestReading(waybills));
        QCOMPARE(lists.list(WeighingRecord::N_List).texts().last(), waybills[5]);
    }

    void emptyJournalLeavesListsEmpty()
    {
        TempDatabase db;
        TableCursor view(db.store(), Tables::Journal);
        view.Open();
        ReferenceLists lists;
        lists.refresh(view);
        for (int p = 0; p < WeighingRecord::EntryFieldCount; ++p)
            QVERIFY(lists.list(p).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReferenceLists)
#include "test_referencelists.moc"

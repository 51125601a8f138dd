// The filter lines a search builds from the page's conditions.

#include <QtTest>

#include "journal/searchlines.h"

Q_DECLARE_METATYPE(SearchConditions)

class TestSearchLines final : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<SearchConditions>("conditions");
        QTest::addColumn<QStringList>("expected");
        const QString blank = QStringLiteral("  .  .    ");
        auto only = [&](auto set) {
            SearchConditions c;
            c.dateFrom = c.dateTo = blank;
            set(c);
            return c;
        };

        QTest::newRow("nothing set") << only([](SearchConditions &) {}) << QStringList();
        QTest::newRow("customer and goods")
            << only([](SearchConditions &c) { c.customer = "комбинат"; c.goods = "песок"; })
            << QStringList{"[Zakazchik]='комбинат'", " and [Tovar]='песок'"};
        QTest::newRow("goods alone, no leading and")
            << only([](SearchConditions &c) { c.goods = "песок"; }) << QStringList{"[Tovar]='песок'"};
        QTest::newRow("a single blank is a condition")
            << only([](SearchConditions &c) { c.weigher = " "; }) << QStringList{"[Klad]=' '"};
        QTest::newRow("a quote is doubled inside the literal")
            << only([](SearchConditions &c) { c.customer = "O'Neil"; c.driver = "'"; })
            << QStringList{"[Zakazchik]='O''Neil'", " and [FIO]=''''"};
        QTest::newRow("both dates include their day")
            << only([](SearchConditions &c) { c.dateFrom = "15.03.2005"; c.dateTo = "17.03.2005"; })
            << QStringList{"[Dat]>='15.03.2005'", " and [Dat]<='17.03.2005'"};
        QTest::newRow("dates up to 01.01.1900 are not set")
            << only([](SearchConditions &c) { c.dateFrom = "01.01.1900"; c.dateTo = "00.00.0000"; })
            << QStringList();
        QTest::newRow("every condition, fixed order")
            << SearchConditions{"C", "G", "D", "T", "A", "W", "01.02.2003", "04.05.2006"}
            << QStringList{"[Zakazchik]='C'", " and [Tovar]='G'",   " and [FIO]='D'",
                           " and [N_Avto]='T'", " and [AvtoPr]='A'", " and [Klad]='W'",
                           " and [Dat]>='01.02.2003'", " and [Dat]<='04.05.2006'"};
    }

    void lines()
    {
        QFETCH(SearchConditions, conditions);
        QFETCH(QStringList, expected);
        QCOMPARE(searchLines(conditions), expected);
    }
};

QTEST_APPLESS_MAIN(TestSearchLines)
#include "test_searchlines.moc"

// Totals over a small journal whose sums are worked out by hand, on both
// engines: groups and subgroups, subtotals, units apart, 0,1 ten times, a
// Netto that is not a number, the period's both days; and the command line
// printing what the window's report prints (read back from its PDF), with
// its CSV file.

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>

#include "common/errorreport.h"
#include "keyboard.h"
#include "pdftext.h"
#include "pgcluster.h"
#include "print/totals.h"
#include "print/totalswindow.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/datefield.h"
#include "toolkit/errorbox.h"
#include "toolkit/report/previewwindow.h"
#include "toolrun.h"

namespace {

const QString Gamma = QStringLiteral("ООО \"Гамма; и К\"");

void add(const TempDatabase &db, const QString &customer, const QString &goods, const QString &unit,
         const QString &netto, const QString &day, const QString &completed = QStringLiteral("2"))
{
    db.addJournalRow({{"Zakazchik", customer}, {"Tovar", goods}, {"Ed_izm", unit}, {"Netto", netto}, {"Dat", day},
                      {"Ok_cicle", completed}});
}

// By hand: Альфа кг 10 + 20,5 (+ "abc", counted only), т 1,25; Бета кг 0,1
// ten times; Гамма т 2,5. Outside: a day before, a day after, a weighing not
// completed.
void addJournal(const TempDatabase &db)
{
    QSqlDatabase connection = db.store().connection();
    connection.transaction();
    add(db, "Альфа", "песок", "кг", "10", "01.03.2005");
    add(db, "Альфа", "песок", "кг", "20,5", "15.03.2005");
    add(db, "Альфа", "щебень", "кг", "abc", "31.03.2005");
    add(db, "Альфа", "щебень", "т", "1,25", "10.03.2005");
    for (int i = 0; i < 10; ++i)
        add(db, "Бета", "песок", "кг", "0,1", "05.03.2005");
    add(db, "Бета", "песок", "кг", "5", "28.02.2005");
    add(db, "Бета", "песок", "кг", "7", "01.04.2005");
    add(db, "Альфа", "песок", "кг", "100", "10.03.2005", "");
    add(db, Gamma, "щебень", "т", "2,5", "20.03.2005");
    connection.commit();
}

QStringList shown(const QVector<Totals::Line> &lines)
{
    QStringList out;
    for (const Totals::Line &l : lines)
        out << QStringList{l.label, l.unit, l.count, l.sum}.join(QLatin1Char('|'));
    return out;
}

Totals::Request requestFor(const QString &by, const QString &from, const QString &to)
{
    Totals::Request r;
    const QStringList names = by.split(QLatin1Char(','));
    r.first = *Totals::groupingNamed(names[0]);
    if (names.size() > 1)
        r.second = Totals::groupingNamed(names[1]);
    r.from = QDate::fromString(from, QStringLiteral("dd.MM.yyyy"));
    r.to = QDate::fromString(to, QStringLiteral("dd.MM.yyyy"));
    return r;
}

// The PDF's lines: words of one height joined by blanks, top to bottom.
QStringList pdfLines(const PdfContents &pdf)
{
    QStringList out;
    for (int p = 0; p < pdf.pageCount(); ++p) {
        QMap<int, QMap<double, QString>> rows;
        for (const PdfWord &w : pdf.wordsOn(p))
            rows[int(w.bottomMm * 2 + 0.5)].insert(w.xMm, w.text);
        for (const auto &words : rows)
            out << QStringList(words.values()).join(QLatin1Char(' '));
    }
    return out;
}

// Printed lines without the time each was made and the page numbers, blanks as one.
QStringList comparable(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines) {
        const QString line = l.simplified();
        if (!line.isEmpty() && !line.startsWith(QStringLiteral("Составлено ")) && !line.startsWith(QStringLiteral("Лист ")))
            out << line;
    }
    return out;
}

} // namespace

class TestTotals final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installErrorBox(); }

    void totals_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("by");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("expected");
        const QStringList byCustomer = {
            "Альфа|кг|3|30,5", "Альфа|т|1|1,25", "не числа: 1|||", "Бета|кг|10|1", Gamma + "|т|1|2,5",
            "Всего|кг|13|31,5", "Всего|т|2|3,75", "не числа: 1|||"};
        const QStringList byCustomerAndGoods = {
            "Альфа|||", "песок|кг|2|30,5", "щебень|кг|1|0", "щебень|т|1|1,25", "не числа: 1|||",
            "Итого по Альфа|кг|3|30,5", "Итого по Альфа|т|1|1,25",
            "Бета|||", "песок|кг|10|1", "Итого по Бета|кг|10|1",
            Gamma + "|||", "щебень|т|1|2,5", "Итого по " + Gamma + "|т|1|2,5",
            "Всего|кг|13|31,5", "Всего|т|2|3,75", "не числа: 1|||"};
        for (const char *engine : {"sqlite", "server"}) {
            const QByteArray e(engine);
            QTest::newRow(e + ", by customer, a month") << engine << "customer" << "01.03.2005" << "31.03.2005"
                                                        << byCustomer;
            QTest::newRow(e + ", customer then goods") << engine << "customer,goods" << "01.03.2005" << "31.03.2005"
                                                       << byCustomerAndGoods;
            // Both days of the period count: the 10th and the 15th.
            QTest::newRow(e + ", by day, both ends") << engine << "day" << "10.03.2005" << "15.03.2005"
                                                     << QStringList{"10.03.2005|т|1|1,25", "15.03.2005|кг|1|20,5",
                                                                    "Всего|кг|1|20,5", "Всего|т|1|1,25"};
        }
        QTest::newRow("goods, the whole journal") << "sqlite" << "goods" << "" << ""
                                                  << QStringList{"песок|кг|14|43,5", "щебень|кг|1|0",
                                                                 "щебень|т|2|3,75", "не числа: 1|||",
                                                                 "Всего|кг|15|43,5", "Всего|т|2|3,75",
                                                                 "не числа: 1|||"};
        QTest::newRow("nothing in the period") << "sqlite" << "truck" << "01.01.2006" << "31.01.2006"
                                               << QStringList{"Всего||0|0"};
    }

    void totals()
    {
        QFETCH(QString, engine);
        QFETCH(QString, by);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, expected);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        addJournal(db);
        QCOMPARE(shown(Totals::lines(Totals::compute(db.store(), requestFor(by, from, to)))), expected);
    }

    // The window, its fields typed into, counts on its worker and lays out
    // the report; the command line prints the same lines and writes its CSV.
    void commandLineMatchesTheWindow_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("by");
        QTest::addColumn<int>("second");   // the second level's place in its list
        QTest::addColumn<QStringList>("csvLines");
        QTest::newRow("sqlite, customer then goods")
            << "sqlite" << "customer,goods" << 2
            << QStringList{"Альфа;песок;кг;2;30,5", "Альфа;щебень;кг;1;0", "Альфа;щебень;т;1;1,25",
                           "Бета;песок;кг;10;1", "\"ООО \"\"Гамма; и К\"\"\";щебень;т;1;2,5"};
        QTest::newRow("server, by customer")
            << "server" << "customer" << 0
            << QStringList{"Альфа;;кг;3;30,5", "Альфа;;т;1;1,25", "Бета;;кг;10;1", "\"ООО \"\"Гамма; и К\"\"\";;т;1;2,5"};
    }

    void commandLineMatchesTheWindow()
    {
        QFETCH(QString, engine);
        QFETCH(QString, by);
        QFETCH(int, second);
        QFETCH(QStringList, csvLines);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        addJournal(db);

        TotalsWindow window(db.store(), {});
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (auto [field, typed] : {std::pair{window.dateFrom(), "01032005"}, std::pair{window.dateTo(), "31032005"}}) {
            clickOn(field->editor());
            QTRY_VERIFY(field->editor()->hasFocus());
            key(&window, Qt::Key_Home);
            type(&window, QString::fromLatin1(typed));
        }
        window.secondBox()->setFocus();
        for (int i = 0; i < second; ++i)
            key(&window, Qt::Key_Down);
        QCOMPARE(window.dateFrom()->text(), QStringLiteral("01.03.2005"));
        QCOMPARE(window.dateTo()->text(), QStringLiteral("31.03.2005"));
        QTRY_VERIFY(window.isActiveWindow());
        QSignalSpy counted(&window, &TotalsWindow::counted);
        clickOn(window.showButton());
        QVERIFY(counted.wait(30000));
        QVERIFY(window.report().preview());
        window.report().preview()->close();
        QTemporaryDir dir;
        const QString pdf = dir.filePath("итоги.pdf");
        QVERIFY(window.report().exportPdf(pdf, nullptr));

        const QString csv = dir.filePath("итоги.csv");
        const QStringList where = engine == "server"
                                      ? QStringList{"--server", PgCluster::shared().connectionString("krodalin_test")}
                                      : QStringList{db.programDir()};
        const Run run = krodalinDb(QStringList{"totals"} + where
                                   + QStringList{"--from", "01.03.2005", "--to", "31.03.2005", "--by", by, "--csv", csv});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(comparable(run.out.split(QLatin1Char('\n'))), comparable(pdfLines(readPdf(pdf))));
        QVERIFY(run.out.contains(QStringLiteral("Итоги по взвешиваниям с 01.03.2005 по 31.03.2005\n")));

        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), "Группа;Подгруппа;Ед. изм.;Взвешиваний;Нетто\r\n" + csvLines.join("\r\n") + "\r\n");
    }
};

QTEST_MAIN(TestTotals)
#include "test_totals.moc"

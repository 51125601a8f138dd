// Weights between text and number: the grammar, the half-to-even rounding on
// the decimal digits, the shown form, and the exact net weight.

#include <QTest>

#include <limits>

#include "indicator/numberform.h"

class TestNumberForm final : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void format_data();
    void format();
    void roundTrip();
    void difference_data();
    void difference();
    void total_data();
    void total();
};

void TestNumberForm::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<double>("value");

    // The grammar.
    QTest::newRow("integer") << "1500" << true << 1500.0;
    QTest::newRow("comma") << "211,515" << true << 211.515;
    QTest::newRow("leading and trailing blanks") << "   211,515  " << true << 211.515;
    QTest::newRow("plus") << "+5" << true << 5.0;
    QTest::newRow("minus") << "-0,2" << true << -0.2;
    QTest::newRow("comma alone") << "," << true << 0.0;
    QTest::newRow("comma first") << ",5" << true << 0.5;
    QTest::newRow("comma last") << "12," << true << 12.0;
    QTest::newRow("leading zeros") << "0001,5" << true << 1.5;
    QTest::newRow("exponent") << "1,5E3" << true << 1500.0;
    QTest::newRow("small e, signed exponent") << "25e-1" << true << 2.5;
    QTest::newRow("exponent plus") << "2E+2" << true << 200.0;
    QTest::newRow("zero reading") << "0,000" << true << 0.0;
    QTest::newRow("minus zero is zero") << "-0,0001" << true << 0.0;
    QTest::newRow("huge exponent of zero") << "0E999999999" << true << 0.0;
    QTest::newRow("tiny") << "1E-999999999" << true << 0.0;

    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blanks only") << "   " << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("decimal point") << "211.515" << false << 0.0;
    QTest::newRow("two commas") << "1,2,3" << false << 0.0;
    QTest::newRow("inner blank") << "1 500" << false << 0.0;
    QTest::newRow("tab is no blank") << "\t5" << false << 0.0;
    QTest::newRow("exponent without digits") << "5E" << false << 0.0;
    QTest::newRow("exponent sign without digits") << "5E-" << false << 0.0;
    QTest::newRow("exponent alone") << "E5" << false << 0.0;
    QTest::newRow("two signs") << "+-5" << false << 0.0;
    QTest::newRow("thousands separator") << "1.500,5" << false << 0.0;
    QTest::newRow("letters after") << "12 kg" << false << 0.0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << false << 0.0;
    QTest::newRow("overflow") << "1E400" << false << 0.0;
    QTest::newRow("Kg frame") << " 211,515 Kg" << false << 0.0;

    // Half to even on the decimal digits themselves.
    QTest::newRow("1,2344 down") << " 1,2344" << true << 1.234;
    QTest::newRow("1,2346 up") << " 1,2346" << true << 1.235;
    QTest::newRow("1,2345 half to even 4") << "1,2345" << true << 1.234;
    QTest::newRow("1,2355 half to even 6") << "1,2355" << true << 1.236;
    QTest::newRow("1,23450001 above half") << "1,23450001" << true << 1.235;
    QTest::newRow("0,0005 to 0") << "0,0005" << true << 0.0;
    QTest::newRow("0,0015 to 0,002") << "0,0015" << true << 0.002;
    QTest::newRow("-1,2355 symmetric") << "-1,2355" << true << -1.236;
    QTest::newRow("carry through nines") << "9,9995" << true << 10.0;
    QTest::newRow("half via exponent") << "12345E-4" << true << 1.234;
    // A double would see 2.0005 as 2.000499999... and round it down.
    QTest::newRow("2,0005 exactly half") << "2,0005" << true << 2.0;
    QTest::newRow("2,0015 exactly half") << "2,0015" << true << 2.002;
    QTest::newRow("1,0045 exactly half") << "1,0045" << true << 1.004;
}

void TestNumberForm::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(double, value);

    const auto result = NumberForm::parse(text);
    QCOMPARE(result.has_value(), converts);
    if (converts) {
        QCOMPARE(*result, value); // exact: the nearest double to the thousandths
        QVERIFY(!std::signbit(*result) || *result != 0);
    }
}

void TestNumberForm::format_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("example") << 211.515 << "211,515";
    QTest::newRow("integer") << 20.0 << "20";
    QTest::newRow("half") << 0.5 << "0,5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("negative") << -0.2 << "-0,2";
    QTest::newRow("thousandth") << 0.001 << "0,001";
    QTest::newRow("no thousands separator") << 1234567.0 << "1234567";
    QTest::newRow("fifteen significant digits") << 123456789012.345 << "123456789012,345";
    QTest::newRow("beyond fifteen digits") << 1234567890123456.0 << "1234567890123460";
    QTest::newRow("large stays fixed point") << 1e20 << "100000000000000000000";
    // Arithmetic on doubles shows its error; net weights go through difference().
    QTest::newRow("float error shows") << (15.3 - 15.2) << "0,100000000000001";
    QTest::newRow("tiny") << 1e-7 << "0,0000001";
}

void TestNumberForm::format()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(NumberForm::format(value), text);
}

void TestNumberForm::roundTrip()
{
    // Every reading the decoder can give shows as text that reads back the
    // same number, for weights up to a hundred thousand tonnes in grams.
    for (qint64 n = -100000000; n <= 100000000; n += 9973) {
        const qint64 a = qAbs(n);
        const QString text = QStringLiteral("%1%2,%3")
                                 .arg(n < 0 ? QStringLiteral("-") : QString())
                                 .arg(a / 1000)
                                 .arg(a % 1000, 3, 10, QLatin1Char('0'));
        const auto value = NumberForm::parse(text);
        QVERIFY(value);
        QCOMPARE(NumberForm::parse(NumberForm::format(*value)), value);
    }
}

void TestNumberForm::difference_data()
{
    QTest::addColumn<QString>("gross");
    QTest::addColumn<QString>("tare");
    QTest::addColumn<QString>("net"); // "-" : no result

    QTest::newRow("15,3 - 15,2") << "15,3" << "15,2" << "0,1";
    QTest::newRow("15,32 - 5,1") << "15,32" << "5,1" << "10,22";
    QTest::newRow("negative net") << "1" << "1,5" << "-0,5";
    QTest::newRow("equal") << "211,515" << "211,515" << "0";
    QTest::newRow("integers") << "20" << "5" << "15";
    QTest::newRow("zero reading text") << "0,000" << "0,000" << "0";
    QTest::newRow("negative tare") << "10" << "-2,5" << "12,5";
    QTest::newRow("both negative") << "-2" << "-3,25" << "1,25";
    QTest::newRow("borrow across the comma") << "100" << "0,001" << "99,999";
    QTest::newRow("blanks as the indicator sends them") << " 211,515" << " 00,515" << "211";
    // The texts as they stand, not the readings they would round to.
    QTest::newRow("four decimals as they stand") << "1,2345" << "0" << "1,2345";
    QTest::newRow("tare edited to four decimals") << "18,4" << "5,1234" << "13,2766";
    QTest::newRow("exponents") << "1,5E1" << "2,5e-4" << "14,99975";
    QTest::newRow("many decimals held to 15 digits") << "1,23456789012345678" << "0" << "1,23456789012346";
    QTest::newRow("vanishing exponent") << "1e-999999" << "0" << "0";
    QTest::newRow("a digit far below the comma") << "5" << "1e-40" << "5";
    QTest::newRow("beyond double precision") << "123456789012,345" << "0,001" << "123456789012,344";
    QTest::newRow("held to 15 digits") << "9999999999999999" << "0,5" << "10000000000000000";
    QTest::newRow("gross not a number") << "abc" << "1" << "-";
    QTest::newRow("tare not a number") << "1" << "1.5" << "-";
    QTest::newRow("empty") << "" << "1" << "-";
}

void TestNumberForm::difference()
{
    QFETCH(QString, gross);
    QFETCH(QString, tare);
    QFETCH(QString, net);

    const auto result = NumberForm::difference(gross, tare);
    if (net == QLatin1String("-")) {
        QVERIFY(!result.has_value());
        return;
    }
    QVERIFY(result.has_value());
    QCOMPARE(*result, net);
}

void TestNumberForm::total_data()
{
    // Texts, each added the number of times after its "*"; the sum, or "-"
    // for a text refused (it adds nothing).
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QStringList>("sums");   // after each part

    QTest::newRow("0,1 ten times is 1") << QStringList{"0,1*10"} << QStringList{"1"};
    QTest::newRow("0,1 ten times, one by one")
        << QStringList(10, "0,1*1") << QStringList{"0,1", "0,2", "0,3", "0,4", "0,5", "0,6", "0,7", "0,8", "0,9", "1"};
    QTest::newRow("mixed decimals and signs") << QStringList{"15,3*1", "-15,2*1", "0,100000000000001*3", " +2, *2"}
                                              << QStringList{"15,3", "0,1", "0,400000000000003", "4,400000000000003"};
    QTest::newRow("not numbers add nothing") << QStringList{"5*1", "abc*3", "*2", "1,2,3*1", "-*1"}
                                             << QStringList{"5", "-", "-", "-", "-"};
    // Past the short form: an exponent, twenty digits, a sum past 128 bits.
    QTest::newRow("exponent") << QStringList{"1*1", "1E-20*1", "2,5e3*2"}
                              << QStringList{"1", "1,00000000000000000001", "5001,00000000000000000001"};
    QTest::newRow("more digits than the short form")
        << QStringList{"12345678901234567890*1", "0,5*1"} << QStringList{"12345678901234567890", "12345678901234567890,5"};
    // Twenty of the largest short parts pass the 128-bit sums (1.7e38).
    QTest::newRow("beyond 128 bits")
        << (QStringList(20, "999999999999999999*9000000000000000000") << "-1*1")
        << QStringList{"8999999999999999991000000000000000000", "17999999999999999982000000000000000000",
                       "26999999999999999973000000000000000000", "35999999999999999964000000000000000000",
                       "44999999999999999955000000000000000000", "53999999999999999946000000000000000000",
                       "62999999999999999937000000000000000000", "71999999999999999928000000000000000000",
                       "80999999999999999919000000000000000000", "89999999999999999910000000000000000000",
                       "98999999999999999901000000000000000000", "107999999999999999892000000000000000000",
                       "116999999999999999883000000000000000000", "125999999999999999874000000000000000000",
                       "134999999999999999865000000000000000000", "143999999999999999856000000000000000000",
                       "152999999999999999847000000000000000000", "161999999999999999838000000000000000000",
                       "170999999999999999829000000000000000000", "179999999999999999820000000000000000000",
                       "179999999999999999819999999999999999999"};
    QTest::newRow("nothing") << QStringList{} << QStringList{};
}

void TestNumberForm::total()
{
    QFETCH(QStringList, parts);
    QFETCH(QStringList, sums);
    NumberForm::Total sum;
    QStringList seen;
    for (const QString &part : parts) {
        const qsizetype star = part.lastIndexOf(QLatin1Char('*'));
        const bool added = sum.add(part.left(star).toUtf8(), part.mid(star + 1).toLongLong());
        seen << (added ? sum.text() : QStringLiteral("-"));
    }
    QCOMPARE(seen, sums);
    // A sum of sums is the sum of all.
    NumberForm::Total twice = sum;
    twice.add(sum);
    NumberForm::Total doubled;
    for (const QString &part : parts + parts) {
        const qsizetype star = part.lastIndexOf(QLatin1Char('*'));
        doubled.add(part.left(star).toUtf8(), part.mid(star + 1).toLongLong());
    }
    QCOMPARE(twice.text(), doubled.text());
    QCOMPARE(NumberForm::Total().text(), QStringLiteral("0"));
}

QTEST_APPLESS_MAIN(TestNumberForm)
#include "test_numberform.moc"

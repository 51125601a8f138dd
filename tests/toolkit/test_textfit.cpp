// Widths of Arial text and the cut rule of the reports and the CSV export,
// measured against Qt's own metrics of the same font.

#include <QFont>
#include <QFontMetricsF>
#include <QtTest>

#include "toolkit/report/textfit.h"

namespace {

// The width in millimetres by Qt's font metrics, unhinted and unkerned, at a
// large pixel size so that rounding of the advances does not count.
double metricsWidthMm(const QString &text, double pointSize)
{
    constexpr int PixelSize = 1000;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(PixelSize);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::NoFontMerging);
    return QFontMetricsF(font).horizontalAdvance(text) / PixelSize * pointSize * 25.4 / 72.0;
}

} // namespace

class TestTextFit final : public QObject
{
    Q_OBJECT

private slots:
    void fontIsArialMetric()
    {
        QCOMPARE(QFontInfo(QFont(QStringLiteral("Liberation Sans"))).family(), QString("Liberation Sans"));
        // Arial's "W" advances 1933 of its 2048 units per em; an em at 72 pt is 25.4 mm.
        QVERIFY(qAbs(report::textWidthMm(u"W", 72) - 1933.0 / 2048 * 25.4) < 1e-9);
    }

    // The cut rule. Next is what wrapping would add to the kept line: the
    // following word, or the next character of a cut word; the kept text fits
    // the box and the kept text plus next does not, by Qt's metrics.
    void fitFirstLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("boxMm");
        QTest::addColumn<double>("pointSize");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("next");

        QTest::newRow("fits unchanged") << "Иванов Иван Иванович" << 40.82 << 5.0 << "Иванов Иван Иванович" << "";
        QTest::newRow("fits with blanks kept") << "  10,22  т  " << 19.31 << 7.0 << "  10,22  т  " << "";
        QTest::newRow("empty") << "" << 21.17 << 5.0 << "" << "";
        QTest::newRow("first wrapped line")
            << "ООО Транспортная компания Северный путь" << 21.17 << 5.0 << "ООО Транспортная" << " компания";
        QTest::newRow("blanks after a word that fits")
            << "Ромашка          Лютик" << 10.0 << 5.0 << "Ромашка" << "          Лютик";
        QTest::newRow("single word too wide")
            << "Автотранспортноепредприятиеномерсемнадцать" << 21.17 << 5.0 << "Автотранспортноепредпр" << "и";
        QTest::newRow("first word too wide, then more")
            << "Автотранспортноепредприятиеномерсемнадцать АО" << 21.17 << 5.0 << "Автотранспортноепредпр" << "и";
        QTest::newRow("leading blanks belong to the first word")
            << "   Автотранспортноепредприятие" << 21.17 << 5.0 << "   Автотранспортноепред" << "п";
        QTest::newRow("8 pt, word cut")
            << "123456789012345678901234567890123456789012345678901234567890 кг" << 85.04 << 8.0
            << "123456789012345678901234567890123456789012345678901234" << "5";
        QTest::newRow("8 pt, wrapped")
            << "123456789012345678901234567890123456789012345 кг/м3 брутто" << 85.04 << 8.0
            << "123456789012345678901234567890123456789012345 кг/м3" << " брутто";
    }

    void fitFirstLine()
    {
        QFETCH(QString, text);
        QFETCH(double, boxMm);
        QFETCH(double, pointSize);
        QFETCH(QString, kept);
        QFETCH(QString, next);

        const QString fitted = report::fitFirstLine(text, boxMm, pointSize);
        QCOMPARE(fitted, kept);
        QCOMPARE(report::fittedLength(text, boxMm, pointSize), kept.size());
        // The table and Qt's metrics agree to far below a character's width.
        QVERIFY(qAbs(report::textWidthMm(text, pointSize) - metricsWidthMm(text, pointSize)) < 0.01);
        QVERIFY(metricsWidthMm(kept, pointSize) <= boxMm);
        if (!next.isEmpty()) {
            QVERIFY(text.startsWith(kept + next));
            QVERIFY(metricsWidthMm(kept + next, pointSize) > boxMm);
        } else {
            QCOMPARE(kept, text);
        }
    }
};

QTEST_MAIN(TestTextFit)
#include "test_textfit.moc"

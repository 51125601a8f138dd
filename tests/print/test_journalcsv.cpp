// The journal CSV file's bytes: blocks of title, header and 182 rows, the
// empty journal, 21 quoted cells on every CR LF line, Windows-1251 text, the
// cut of too-wide values, and quotes doubled inside a value.

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

#include <array>

#include "csvfile.h"
#include "print/journalcsv.h"

namespace {

using Values = QList<QPair<QString, QString>>;   // field -> text as the store holds it

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

int cellOf(const QString &field)
{
    const auto &cols = JournalCsv::columns();
    for (int i = 0; i < JournalCsv::Cells; ++i)
        if (field == WeighingRecord::fieldName(cols[size_t(i)].field))
            return i;
    qFatal("no cell for %s", qPrintable(field));
}

// The file for rows of the given values, each title stamped a second after the last.
QByteArray writeFile(const QList<Values> &rows)
{
    QDateTime clock(QDate(2005, 3, 15), QTime(9, 5, 7));
    JournalCsv::Writer writer([&clock] {
        const QDateTime now = clock;
        clock = clock.addSecs(1);
        return now;
    });
    for (const Values &row : rows) {
        std::array<QByteArray, JournalCsv::Cells> utf8;
        for (const auto &[field, text] : row)
            utf8[size_t(cellOf(field))] = text.toUtf8();
        std::array<QByteArrayView, JournalCsv::Cells> views;
        for (int i = 0; i < JournalCsv::Cells; ++i)
            views[size_t(i)] = utf8[size_t(i)];
        writer.addRow(views.data());
    }
    writer.finish();
    return writer.bytes();
}

// A line of 21 cells, all empty but the given ones (raw bytes, quotes included).
QByteArray line(const QMap<int, QByteArray> &cells)
{
    QByteArrayList out;
    for (int i = 0; i < JournalCsv::Cells; ++i)
        out << cells.value(i, "\"\"");
    return out.join(';') + "\r\n";
}

} // namespace

class TestJournalCsv final : public QObject
{
    Q_OBJECT

private slots:
    // The file's lines as T (title), H (header), E (an empty row) and runs of
    // journal rows (their count), with the line count.
    void blocks_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<QString>("shape");
        QTest::newRow("empty journal") << 0 << 2 << "T E";
        QTest::newRow("one row") << 1 << 3 << "T H 1";
        QTest::newRow("one full block") << 182 << 184 << "T H 182";
        QTest::newRow("one row past a block") << 183 << 187 << "T H 182 T H 1";
        QTest::newRow("two full blocks and one") << 365 << 371 << "T H 182 T H 182 T H 1";
    }

    void blocks()
    {
        QFETCH(int, rows);
        QFETCH(int, lineCount);
        QFETCH(QString, shape);
        QList<Values> journal;
        for (int i = 1; i <= rows; ++i)
            journal << Values{{"N_List", QString::number(i)}};

        const CsvFile file = CsvFile::parse(writeFile(journal));
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QCOMPARE(file.lines.size(), lineCount);
        QList<QByteArray> header;
        for (const char *text : {"№ Автомобиля", "№ Прицепа", "Ф.И.О. Водителя", "Марка автомабиля", "Автопредприятие",
                                 "Заказчик", "Грузоотправитель", "Грузополучатель", "Пункт разгрузки", "Пункт загрузки",
                                 "Товар", "Цена", "Форма оплаты", "№ путевого листа", "Брутто", "Тара", "Нетто",
                                 "Единицы измерения веса", "Дата", "Время", "Весовщик"})
            header << cp1251(text);
        const QByteArray titlePrefix = cp1251("БД кродалин v.10.0 от ");

        QStringList seen;
        int titles = 0, lastRow = 0;
        for (const QList<QByteArray> &cells : file.lines) {
            QCOMPARE(cells.size(), 21);
            if (cells[0].startsWith(titlePrefix)) {
                // Each block's title carries the moment it was written.
                QCOMPARE(cells[0], titlePrefix + "15.03.2005 9:05:0" + QByteArray::number(7 + titles++));
                QCOMPARE(cells.mid(1), QList<QByteArray>(20));
                seen << "T";
            } else if (cells == header) {
                seen << "H";
            } else if (cells == QList<QByteArray>(21)) {
                seen << "E";
            } else {
                QCOMPARE(cells[13], QByteArray::number(++lastRow));   // stored order
                if (seen.last() == "H")
                    seen << "0";
                seen.last() = QString::number(seen.last().toInt() + 1);
            }
        }
        QCOMPARE(seen.join(' '), shape);
    }

    // One row's line, byte for byte.
    void rowLine_data()
    {
        QTest::addColumn<Values>("values");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("Cyrillic in Windows-1251")
            << Values{{"FIO", "Иванов"}, {"N_Avto", "№5 Ёж"}}
            << line({{0, "\"\xB9" "5 \xA8\xE6\""}, {2, "\"\xC8\xE2\xE0\xED\xEE\xE2\""}});
        QTest::newRow("semicolon stays inside its quotes")
            << Values{{"Zakazchik", "Лютик; филиал"}} << line({{5, "\"" + cp1251("Лютик; филиал") + "\""}});
        QTest::newRow("quote doubled")
            << Values{{"Zakazchik", "ООО \"Ромашка\""}} << line({{5, "\"" + cp1251("ООО \"\"Ромашка\"\"") + "\""}});
        QTest::newRow("net weight and unit in cells of their own")
            << Values{{"Netto", "10,22"}, {"Ed_izm", "т"}, {"Sum", "15,32"}, {"Tara", "5,1"}}
            << line({{14, "\"15,32\""}, {15, "\"5,1\""}, {16, "\"10,22\""}, {17, "\"\xF2\""}});
        QTest::newRow("empty goods")
            << Values{{"N_Avto", "А123ВС"}, {"Tovar", ""}, {"Zena", "100"}}
            << line({{0, "\"" + cp1251("А123ВС") + "\""}, {11, "\"100\""}});
        QTest::newRow("date written short, time as stored")
            << Values{{"Dat", "2005-03-15"}, {"Time", "9:05:07"}} << line({{18, "\"15.03.2005\""}, {19, "\"9:05:07\""}});
        QTest::newRow("a date that is no date stays as stored")
            << Values{{"Dat", "2005-02-31"}} << line({{18, "\"2005-02-31\""}});
        QTest::newRow("too wide: first wrapped line")
            << Values{{"AvtoPr", "Общество с ограниченной ответственностью Транспортная компания Северный путь"}}
            << line({{4, "\"" + cp1251("Общество с ограниченной ответственностью Транспортная компания") + "\""}});
        QTest::newRow("too wide single word: what fits")
            << Values{{"N_Avto", "АВ1234567890123456789012345"}}
            << line({{0, "\"" + cp1251("АВ1234567890123456789") + "\""}});
        QTest::newRow("gross at 8 pt")
            << Values{{"Sum", QString(70, '1')}} << line({{14, "\"" + QByteArray(54, '1') + "\""}});
        QTest::newRow("stored line breaks as blanks")
            << Values{{"FIO", "Петров\r\nПётр"}, {"Punkt", "Склад\n2"}}
            << line({{2, "\"" + cp1251("Петров Пётр") + "\""}, {8, "\"" + cp1251("Склад 2") + "\""}});
        QTest::newRow("outside the code page")
            << Values{{"FIO", "Zoë → 😀"}} << line({{2, "\"Zo? ? ?\""}});
    }

    void rowLine()
    {
        QFETCH(Values, values);
        QFETCH(QByteArray, expected);
        const QByteArray file = writeFile({values});
        const QByteArrayList lines = file.split('\n');
        QCOMPARE(lines.size(), 4);   // title, header, the row, and nothing after the last CR LF
        QCOMPARE(lines[2] + '\n', expected);
    }

    // The encoder's table against Qt's own Windows-1251 codec, byte by byte.
    void codePageMatchesQt()
    {
        QStringDecoder decoder("windows-1251");
        int mapped = 0;
        for (int b = 0x20; b < 0x100; ++b) {
            const QString c = decoder.decode(QByteArray(1, char(b)));
            QCOMPARE(c.size(), 1);
            if (c[0] == QChar::ReplacementCharacter || (b >= 0x80 && c[0].unicode() < 0xA0))
                continue;   // 0x98 is not assigned
            QByteArray out;
            JournalCsv::appendWindows1251(out, c);
            QCOMPARE(out, QByteArray(1, char(b)));
            ++mapped;
        }
        QCOMPARE(mapped, 0x100 - 0x20 - 1);
    }
};

QTEST_MAIN(TestJournalCsv)
#include "test_journalcsv.moc"

// The consignment note: the seventeen texts a journal record gives, and where
// they land on the sheet when the note is printed (to a PDF file, read back
// with pdftotext).

#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "pdftext.h"
#include "print/printfm.h"
#include "toolkit/report/previewwindow.h"

namespace {

using namespace WeighingRecord;

JournalRow completedRecord()
{
    return {{N_Avto, "А123ВС"},         {Marcka, "Т-100"},       {FIO, "Иванов И.И."},
            {AvtoPr, "Автобаза 3"},     {Zakazchik, "ООО Карьер"}, {Gruz_otprav, "ЗАО Щебень"},
            {Gruz_poluch, "ООО Стройка"}, {Punkt, "Склад 2"},    {Tovar, "щебень"},
            {Forma, "наличный"},        {N_List, "104512"},      {N_pricepa, "ПР 17"},
            {Punkt_zagruz, "Карьер 5"}, {Netto, "10,22"},        {Dat, "15.03.2005"},
            {Time, "12:30:05"},         {Klad, "Сидорова А.В."}, {Okpo, "123"},
            {Zena, "100"},              {Sum, "15,32"},          {Tara, "5,1"},
            {Ed_izm, "т"},              {Ok_tara, "0"},          {Ok_brutto, "0"},
            {Ok_cicle, "2"}};
}

JournalRow with(JournalRow row, Field field, const QString &text)
{
    row.set(field, text);
    return row;
}

} // namespace

class TestNote final : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<JournalRow>("row");
        QTest::addColumn<QStringList>("expected");
        const JournalRow r = completedRecord();
        const QStringList full = {"15", "03", "5", "Т-100, А123ВС", "104512", "Автобаза 3", "Иванов И.И.", "Автобаза 3",
                                  "ООО Карьер", "ЗАО Щебень", "Склад 2", "Карьер 5", "ПР 17", "щебень", "т", "10,22",
                                  "10,22"};
        QTest::newRow("completed record") << r << full;

        QStringList noNumber = full;
        noNumber[3] = "Т-100, ";
        QTest::newRow("empty truck number keeps the make and the comma") << with(r, N_Avto, "") << noNumber;

        QStringList noNet = full;
        noNet[15] = noNet[16] = "";
        QTest::newRow("no second pass: blank net weights") << with(r, Netto, "") << noNet;

        QStringList shortDate = full;
        shortDate[1] = "0";
        shortDate[2] = "";
        QTest::newRow("date too short for its parts") << with(r, Dat, "15.0") << shortDate;

        QStringList spaced = full;
        spaced[5] = spaced[7] = "  ООО  \"Ромашка\" ";
        QTest::newRow("texts exactly as stored") << with(r, AvtoPr, "  ООО  \"Ромашка\" ") << spaced;

        QStringList joined = full;
        joined[6] = "Иванов Иван";
        QTest::newRow("stored line break is a blank") << with(r, FIO, "Иванов\nИван") << joined;

        QTest::newRow("view without rows") << JournalRow() << QStringList(17, QString());
    }

    void texts()
    {
        QFETCH(JournalRow, row);
        QFETCH(QStringList, expected);
        QCOMPARE(note::noteTexts(row), expected);
    }

    // Printed to a file, each text starts where the blank form expects it.
    void printedPlaces()
    {
        QTemporaryDir dir;
        const QString pdfPath = dir.filePath(QStringLiteral("note.pdf"));
        printfm note;
        note.FillAndPreviewNote(completedRecord(), 1, nullptr);
        report::PrintSettings settings = note.report().printSettings();
        settings.outputFile = pdfPath;
        note.report().setPrintSettings(settings);
        report::PreviewWindow *preview = note.report().preview();
        QVERIFY(preview);
        preview->button("PrintButton")->click();

        const PdfContents pdf = readPdf(pdfPath);
        QCOMPARE(pdf.pageCount(), 1);
        QVERIFY(qAbs(pdf.pageSizesMm[0].width() - 297.0) < 0.4);
        QVERIFY(qAbs(pdf.pageSizesMm[0].height() - 210.0) < 0.4);

        // Every word printed belongs to a text at its place, and each text's
        // first word stands at that place within half a millimetre.
        const QStringList texts = note.texts();
        int expectedWords = 0;
        for (int i = 0; i < note::ItemCount; ++i) {
            const QStringList words = texts[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
            expectedWords += int(words.size());
            const note::Place &place = note::Places[i];
            const bool found = std::any_of(pdf.words.begin(), pdf.words.end(), [&](const PdfWord &w) {
                return w.text == words.value(0) && qAbs(w.xMm - place.xMm) <= 0.5 && qAbs(w.yMm - place.yMm) <= 0.5;
            });
            if (!found) {
                for (const PdfWord &w : pdf.words)
                    qInfo() << w.text << w.xMm << w.yMm;
            }
            QVERIFY2(found, qPrintable(QStringLiteral("text %1 \"%2\" not at %3, %4 mm")
                                           .arg(i + 1)
                                           .arg(texts[i])
                                           .arg(place.xMm)
                                           .arg(place.yMm)));
        }
        QCOMPARE(pdf.words.size(), expectedWords);
    }
};

QTEST_MAIN(TestNote)
#include "test_note.moc"

// The journal report over a real journal: pages of 29 rows with the page
// count in every title line (read back from the PDF), the empty journal's
// page, the cut of values too wide for their boxes, and a prepared report
// saved from the preview and loaded back page for page.

#include <QFileDialog>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "common/errorreport.h"
#include "keyboard.h"
#include "messageboxes.h"
#include "pdftext.h"
#include "print/expbd.h"
#include "store/tablestore.h"
#include "tempdatabase.h"
#include "toolkit/report/previewwindow.h"
#include "toolkit/report/textfit.h"

namespace {

const QDateTime LaidOut(QDate(2005, 3, 15), QTime(12, 30, 5));

// Rows with waybill numbers W1, W2, ... in one transaction.
void addRows(const TempDatabase &db, int count)
{
    QSqlDatabase connection = db.store().connection();
    connection.transaction();
    for (int i = 1; i <= count; ++i)
        db.addJournalRow({{"N_Avto", QStringLiteral("А%1ВС").arg(i)},
                          {"N_List", QStringLiteral("W%1").arg(i)},
                          {"Netto", "10,22"},
                          {"Ed_izm", "т"},
                          {"Dat", "15.03.2005"}});
    connection.commit();
}

// A file dialog's answer: this file, then Enter.
ModalWatcher::DialogHandler chooseFile(const QString &path)
{
    return [path](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        // Typed into the file name box, as a person does.
        type(dialog, path);
        key(dialog, Qt::Key_Return);
    };
}

// The text item printed at the given place, if any.
const report::Item *itemAt(const report::Page &page, double xMm, double yMm)
{
    for (const report::Item &i : page.items)
        if (i.kind == report::Item::Kind::Text && qAbs(i.pos.x() - xMm) < 0.01 && qAbs(i.pos.y() - yMm) < 0.01)
            return &i;
    return nullptr;
}

// The words on paper that begin in a box (mm from the margins' corner; the
// next box may begin a little before its end), joined by blanks; a word that
// ends past the box or the right margin shows as such.
QString wordsInBox(const PdfContents &pdf, double xMm, double widthMm, double yMm, double heightMm)
{
    QStringList words;
    const double left = 10 + xMm, top = 10 + yMm;
    const double right = qMin(left + widthMm, 297.0 - 10) + 0.1;
    for (const PdfWord &w : pdf.wordsOn(0))
        if (w.xMm >= left - 0.2 && w.xMm < left + widthMm - 0.5 && w.yMm >= top - 0.5 && w.yMm < top + heightMm - 0.5)
            words << (w.rightMm <= right ? w.text : QStringLiteral("<past the box: %1>").arg(w.text));
    return words.join(QLatin1Char(' '));
}

} // namespace

class TestJournalReport final : public QObject
{
    Q_OBJECT

private slots:
    void pages_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("rowsOnPages");
        QTest::newRow("empty journal") << "sqlite" << 0 << QList<int>{0};
        QTest::newRow("one row") << "sqlite" << 1 << QList<int>{1};
        QTest::newRow("a full page") << "sqlite" << 29 << QList<int>{29};
        QTest::newRow("one row more") << "sqlite" << 30 << QList<int>{29, 1};
        QTest::newRow("three pages") << "sqlite" << 59 << QList<int>{29, 29, 1};
        // The same report from a journal on a server.
        QTest::newRow("server, empty journal") << "server" << 0 << QList<int>{0};
        QTest::newRow("server, three pages") << "server" << 59 << QList<int>{29, 29, 1};
    }

    void pages()
    {
        QFETCH(int, rows);
        QFETCH(QList<int>, rowsOnPages);
        QFETCH(QString, engine);
        TempDatabase db(TempDatabase::engineNamed(engine));
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        addRows(db, rows);
        ExpBD expbd(db.store());
        expbd.prepare(LaidOut);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("journal.pdf"));
        QVERIFY(expbd.report().exportPdf(path, nullptr));

        const PdfContents pdf = readPdf(path);
        const int pages = int(rowsOnPages.size());
        QCOMPARE(pdf.pageCount(), pages);
        int next = 1;
        for (int p = 0; p < pages; ++p) {
            const QString text = pdf.pageTexts[p];
            QVERIFY2(text.startsWith(QStringLiteral("БД Кродалин v.11.0 от 15.03.2005 12:30:05 страница %1 из %2 страниц")
                                         .arg(p + 1)
                                         .arg(pages)),
                     qPrintable(text));
            // The column header on every page of a journal with rows, and
            // the rows in stored order under it.
            QCOMPARE(text.contains(QStringLiteral("Ф.И.О. Водителя")), rows > 0);
            QStringList waybills;
            for (const PdfWord &w : pdf.wordsOn(p))
                if (w.text.startsWith(QLatin1Char('W')))
                    waybills << w.text;
            QStringList expected;
            for (int i = 0; i < rowsOnPages[p]; ++i)
                expected << QStringLiteral("W%1").arg(next++);
            QCOMPARE(waybills, expected);
        }
        // Every caption whole in its box.
        for (int c = 0; rows > 0 && c < journalreport::ColumnCount; ++c) {
            const journalreport::Column &col = journalreport::columns()[c];
            QCOMPARE(wordsInBox(pdf, col.captionX, col.captionWidth, 24.1, 8.47), col.caption);
        }
        // The title line keeps its two blanks before "страница" and "страниц".
        const report::Page first = expbd.report().page(0);
        QVERIFY(first.texts().contains(journalreport::titleLine(LaidOut, 1, pages)));
        QVERIFY(journalreport::titleLine(LaidOut, 1, pages).endsWith(QStringLiteral(" из %1  страниц").arg(pages)));
        QVERIFY(journalreport::titleLine(LaidOut, 1, pages).contains(QStringLiteral("12:30:05  страница 1")));
    }

    // A journal longer than one batch of ids: the pages are those of the rows
    // counted, whether a page is asked for before the event loop has read its
    // ids or after it has read them all, and rows stored meanwhile stay out.
    void pagesOfALongJournal_data()
    {
        QTest::addColumn<bool>("walkFirst");
        QTest::newRow("asked at once") << false;
        QTest::newRow("after the walk") << true;
    }

    void pagesOfALongJournal()
    {
        QFETCH(bool, walkFirst);
        TempDatabase db;
        const int rows = 120000;
        QSqlQuery q(db.store().connection());
        QVERIFY(q.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                      "INSERT INTO %2 (\"N_List\", \"Dat\") SELECT 'W' || i, '2005-03-15' FROM n")
                           .arg(rows)
                           .arg(TableStore::sqlName(Tables::Journal))));
        db.store().bumpGeneration();
        ExpBD expbd(db.store());
        expbd.prepare(LaidOut);
        addRows(db, 1);   // stored after the count: W1 again, on no page
        // A batch a turn: a few turns read them all.
        for (int turn = 0; walkFirst && turn < 10; ++turn)
            QCoreApplication::processEvents();
        const int pages = (rows + 28) / 29;
        QCOMPARE(expbd.report().pageCount(), pages);
        const auto waybills = [&](int p) {
            QStringList w;
            for (const QString &t : expbd.report().page(p).texts())
                if (t.startsWith(QLatin1Char('W')))
                    w << t;
            return w;
        };
        for (const int p : {pages - 1, 0, 1724, 1725, 3448}) {
            QStringList expected;
            for (int i = p * 29 + 1; i <= std::min(rows, p * 29 + 29); ++i)
                expected << QStringLiteral("W%1").arg(i);
            QCOMPARE(waybills(p), expected);
        }
    }

    // A value on paper: names, makes, companies and goods wider than their
    // boxes keep the first line they wrap to (a single word too wide what
    // fits) at 7 pt; the other values print whole at the largest size that
    // fits, down to 4 pt, and only beyond that are cut. A stored line break
    // is a blank.
    void cut_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("shown");   // the text put into the box
        QTest::addColumn<QString>("kept");    // "whole", "first line", "what fits" (at 7 pt, or at 4 pt)
        const QString company = "Автотранспортное предприятие номер семнадцать города Тулы";
        const QString word = "Константинопольский-Переяславский";
        const QString truck = "АВ12345678901234567890123456789012345";
        QTest::newRow("words wrap") << "AvtoPr" << company << 4 << company << "first line";
        QTest::newRow("one long word") << "FIO" << word << 2 << word << "what fits";
        QTest::newRow("fits") << "Tovar" << "щебень" << 5 << "щебень" << "whole";
        QTest::newRow("net weight, two blanks, unit") << "Netto" << "10,22" << 7 << "10,22  т" << "whole";
        QTest::newRow("long net weight") << "Netto" << "123456789012,345" << 7 << "123456789012,345  т" << "whole";
        QTest::newRow("date") << "Dat" << "16.11.2026" << 8 << "16.11.2026" << "whole";
        QTest::newRow("time") << "Time" << "07:04:05" << 9 << "07:04:05" << "whole";
        QTest::newRow("weigher within the margin") << "Klad" << "Петренко Ольга Ивановна" << 10
                                                   << "Петренко Ольга Ивановна" << "whole";
        QTest::newRow("truck number too long at 4 pt") << "N_Avto" << truck << 0 << truck << "what fits at 4 pt";
        QTest::newRow("stored line break") << "FIO" << "Петров\r\nПётр" << 2 << "Петров Пётр" << "whole";
    }

    void cut()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, column);
        QFETCH(QString, shown);
        QFETCH(QString, kept);
        TempDatabase db;
        db.addJournalRow({{field, value}, {"Ed_izm", "т"}});
        ExpBD expbd(db.store());
        expbd.prepare(LaidOut);
        const journalreport::Column &c = journalreport::columns()[column];
        const report::Item *item = itemAt(expbd.report().page(0), 10 + c.valueX, 10 + 24.1 + 8.5);
        QVERIFY(item);
        const QString printed = item->text;
        const double box = c.valueWidth;
        const double points = item->pointSize;

        QVERIFY2(!printed.isEmpty() && shown.startsWith(printed), qPrintable(printed));
        QVERIFY(report::textWidthMm(printed, points) <= box);
        if (kept == "what fits at 4 pt")
            QCOMPARE(points, 4.0);
        else if (kept != "whole")   // names and goods keep the cut at 7 pt
            QCOMPARE(points, 7.0);
        else if (points != 7)   // the largest size that fits
            QVERIFY2(points >= 4 && report::textWidthMm(shown, points + 0.1) > box, qPrintable(QString::number(points)));
        if (kept == "whole") {
            QCOMPARE(printed, shown);
        } else if (kept.startsWith("what fits")) {
            QVERIFY(printed.size() < shown.size());
            QVERIFY(report::textWidthMm(shown.left(printed.size() + 1), points) > box);
        } else {
            // Cut at a blank, and the next word would not have fitted.
            QCOMPARE(shown.at(printed.size()), QLatin1Char(' '));
            const qsizetype nextEnd = shown.indexOf(QLatin1Char(' '), printed.size() + 1);
            QVERIFY(report::textWidthMm(shown.left(nextEnd < 0 ? shown.size() : nextEnd), points) > box);
        }

        // On paper: that text, inside its box and the margins.
        QTemporaryDir dir;
        QVERIFY(expbd.report().exportPdf(dir.filePath("row.pdf"), nullptr));
        QCOMPARE(wordsInBox(readPdf(dir.filePath("row.pdf")), c.valueX, box, 24.1 + 8.5, 5.29), printed.simplified());
    }

    // Saved from the preview, loaded into another report's preview: the
    // same pages, picture and lines included. A damaged file is refused and
    // the preview keeps what it showed.
    void savedReportLoadsBack()
    {
        TempDatabase db;
        addRows(db, 60);
        ExpBD expbd(db.store());
        expbd.prepare(LaidOut);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("journal.krp"));
        ModalWatcher watcher;
        watcher.handleDialog(chooseFile(path));
        expbd.report().showPreview(nullptr)->button("SaveButton")->click();
        QVERIFY(watcher.problems().isEmpty());
        QVERIFY(QFileInfo::exists(path));

        report::Report other(QStringLiteral("Другой"), QPageLayout::Portrait);
        report::PreviewWindow *preview = other.showPreview(nullptr);
        watcher.handleDialog(chooseFile(path));
        preview->button("LoadButton")->click();
        QCOMPARE(other.pageCount(), 3);
        QCOMPARE(preview->pageNumberBox()->maximum(), 3);
        QCOMPARE(other.geometry(), expbd.report().geometry());
        for (int p = 0; p < 3; ++p) {
            const report::Page original = expbd.report().page(p);
            QCOMPARE(original.images.size(), 1);
            QVERIFY(original.items.size() > (p < 2 ? 29 * 11 : 2 * 11));
            QVERIFY2(other.page(p) == original, qPrintable(QString::number(p)));
        }

        QFile damaged(dir.filePath(QStringLiteral("damaged.krp")));
        QFile::copy(path, damaged.fileName());
        QVERIFY(damaged.resize(damaged.size() / 2));
        QStringList reports;
        const ErrorReporter previous = setErrorReporter([&](const QString &text) { reports << text; });
        watcher.handleDialog(chooseFile(damaged.fileName()));
        preview->button("LoadButton")->click();
        setErrorReporter(previous);
        QCOMPARE(reports, QStringList{QStringLiteral("Файл %1 не является сохранённым отчётом.").arg(damaged.fileName())});
        QCOMPARE(other.pageCount(), 3);
        QVERIFY(other.page(2) == expbd.report().page(2));
        delete preview;
    }
};

QTEST_MAIN(TestJournalReport)
#include "test_journalreport.moc"

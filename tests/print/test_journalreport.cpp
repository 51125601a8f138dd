// The journal report over a real journal: pages of 29 rows with the page
// count in every title line (read back from the PDF), the empty journal's
// page, the cut of values too wide for their boxes, and a prepared report
// saved from the preview and loaded back page for page.

#include <QFileDialog>
#include <QSpinBox>
#include <QSqlDatabase>
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
void addRows(int count)
{
    QSqlDatabase db = TableStore::connection();
    db.transaction();
    for (int i = 1; i <= count; ++i)
        TempDatabase::addJournalRow({{"N_Avto", QStringLiteral("А%1ВС").arg(i)},
                                     {"N_List", QStringLiteral("W%1").arg(i)},
                                     {"Netto", "10,22"},
                                     {"Ed_izm", "т"},
                                     {"Dat", "15.03.2005"}});
    db.commit();
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

// The text of the item printed at the given place, if any.
QString textAt(const report::Page &page, double xMm, double yMm)
{
    for (const report::Item &i : page.items)
        if (i.kind == report::Item::Kind::Text && qAbs(i.pos.x() - xMm) < 0.01 && qAbs(i.pos.y() - yMm) < 0.01)
            return i.text;
    return QStringLiteral("<nothing>");
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
        addRows(rows);
        ExpBD expbd;
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
        // The title line keeps its two blanks before "страница" and "страниц".
        const report::Page first = expbd.report().page(0);
        QVERIFY(first.texts().contains(journalreport::titleLine(LaidOut, 1, pages)));
        QVERIFY(journalreport::titleLine(LaidOut, 1, pages).endsWith(QStringLiteral(" из %1  страниц").arg(pages)));
        QVERIFY(journalreport::titleLine(LaidOut, 1, pages).contains(QStringLiteral("12:30:05  страница 1")));
    }

    // A value wider than its box keeps the first line it wraps to; a single
    // word too wide keeps what fits; what fits is printed whole.
    void cut_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("kept");   // "whole", "first line", "what fits"
        QTest::newRow("words wrap") << "AvtoPr" << "Автотранспортное предприятие номер семнадцать города Тулы" << 4
                                    << "first line";
        QTest::newRow("one long word") << "FIO" << "Константинопольский-Переяславский" << 2 << "what fits";
        QTest::newRow("fits") << "Tovar" << "щебень" << 5 << "whole";
        QTest::newRow("net weight, two blanks, unit") << "Netto" << "10,22" << 7 << "whole";
    }

    void cut()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, column);
        QFETCH(QString, kept);
        TempDatabase db;
        TempDatabase::addJournalRow({{field, value}, {"Ed_izm", "т"}});
        ExpBD expbd;
        expbd.prepare(LaidOut);
        const journalreport::Column &c = journalreport::columns()[column];
        const QString printed = textAt(expbd.report().page(0), 10 + c.valueX, 10 + 24.1 + 8.5);
        const QString full = field == "Netto" ? value + QStringLiteral("  т") : value;
        const double box = c.valueWidth;

        QVERIFY2(!printed.isEmpty() && full.startsWith(printed), qPrintable(printed));
        QVERIFY(report::textWidthMm(printed, 7) <= box);
        if (kept == "whole") {
            QCOMPARE(printed, full);
        } else if (kept == "what fits") {
            QVERIFY(printed.size() < full.size());
            QVERIFY(report::textWidthMm(full.left(printed.size() + 1), 7) > box);
        } else {
            // Cut at a blank, and the next word would not have fitted.
            QCOMPARE(full.at(printed.size()), QLatin1Char(' '));
            const qsizetype nextEnd = full.indexOf(QLatin1Char(' '), printed.size() + 1);
            QVERIFY(report::textWidthMm(full.left(nextEnd < 0 ? full.size() : nextEnd), 7) > box);
        }
    }

    // Saved from the preview, loaded into another report's preview: the
    // same pages, picture and lines included. A damaged file is refused and
    // the preview keeps what it showed.
    void savedReportLoadsBack()
    {
        TempDatabase db;
        addRows(60);
        ExpBD expbd;
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

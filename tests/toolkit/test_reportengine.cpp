// The report engine: a preview that lays out only the pages it shows, its
// navigation and zoom, printing a page range in copies (to a PDF file, read
// back with pdftotext), and the printer set-up dialog.

#include <QAbstractButton>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <atomic>

#include "keyboard.h"
#include "messageboxes.h"
#include "pdftext.h"
#include "toolkit/report/previewwindow.h"
#include "toolkit/report/printing.h"
#include "toolkit/report/report.h"

namespace {

// Numbered pages that count how often they are laid out.
class NumberedPages : public report::PageSource
{
public:
    explicit NumberedPages(int count) : m_count(count) {}
    report::PageGeometry geometry() const override { return {}; }
    int pageCount() const override { return m_count; }
    report::Page page(int index) const override
    {
        ++laidOut;
        report::Page p;
        p.items << report::Item::textAt(20, 20, QStringLiteral("Страница_%1").arg(index + 1), 12)
                << report::Item::line({20, 30}, {120, 30});
        return p;
    }
    mutable int laidOut = 0;

private:
    int m_count;
};

QStringList numbers(const PdfContents &pdf)
{
    QStringList out;
    for (const QString &t : pdf.pageTexts)
        out << t.section(QLatin1Char('_'), 1);
    return out;
}

} // namespace

class TestReportEngine final : public QObject
{
    Q_OBJECT

private slots:
    // A million pages: opening, "last", a typed page number and stepping
    // lay out a handful of pages each, never the report.
    void previewLaysOutOnlyPagesInView()
    {
        report::Report r(QStringLiteral("Проба"), QPageLayout::Landscape);
        auto pages = std::make_shared<NumberedPages>(1000000);
        r.setSource(pages);
        report::PreviewWindow *preview = r.showPreview(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(preview));
        QCoreApplication::processEvents();
        QCOMPARE(preview->currentPage(), 0);
        QCOMPARE(preview->pageView()->pagesInView().value(0), 0);
        QVERIFY2(pages->laidOut <= preview->pageView()->pagesInView().size(), qPrintable(QString::number(pages->laidOut)));

        auto step = [&](const char *button, int expected) {
            const int before = pages->laidOut;
            preview->button(button)->click();
            QCoreApplication::processEvents();
            QCOMPARE(preview->currentPage(), expected);
            QCOMPARE(preview->pageNumberBox()->value(), expected + 1);
            QVERIFY(preview->pageView()->pagesInView().contains(expected));
            QVERIFY2(pages->laidOut - before <= preview->pageView()->pagesInView().size(),
                     qPrintable(QString::number(pages->laidOut - before)));
        };
        step("LastPageButton", 999999);
        step("PriorPageButton", 999998);
        step("NextPageButton", 999999);
        step("NextPageButton", 999999);
        step("FirstPageButton", 0);
        step("PriorPageButton", 0);

        // A page number typed into its box.
        preview->pageNumberBox()->setFocus();
        preview->activateWindow();
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeKeys(QStringLiteral("500000"));
        pressKey(Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(preview->currentPage(), 499999);
        QVERIFY(pages->laidOut < 12);
        preview->close();
        QTRY_VERIFY(!r.preview());
    }

    void zoom_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("whole page") << "ZoomPageButton";
        QTest::newRow("100 %") << "Zoom100Button";
        QTest::newRow("page width") << "ZoomWidthButton";
    }

    void zoom()
    {
        QFETCH(QString, button);
        report::Report r(QStringLiteral("Проба"), QPageLayout::Landscape);
        r.setSource(std::make_shared<NumberedPages>(3));
        report::PreviewWindow *preview = r.showPreview(nullptr);
        preview->resize(900, 700);
        QVERIFY(QTest::qWaitForWindowExposed(preview));
        preview->button("LastPageButton")->click();
        preview->button(qPrintable(button))->click();
        QCoreApplication::processEvents();

        report::PageView *view = preview->pageView();
        const QSize room = view->viewport()->size();
        const double pxPerMm = view->pixelsPerMm();
        const QSizeF page(297 * pxPerMm, 210 * pxPerMm);
        if (button == "Zoom100Button") {
            QCOMPARE(pxPerMm, view->logicalDpiX() / 25.4);
        } else if (button == "ZoomWidthButton") {
            QVERIFY(qAbs(page.width() - (room.width() - 24)) < 1.0);
        } else {
            QVERIFY(page.width() <= room.width() - 24 + 0.5 && page.height() <= room.height() - 24 + 0.5);
            QVERIFY(qAbs(page.width() - (room.width() - 24)) < 1.0 || qAbs(page.height() - (room.height() - 24)) < 1.0);
        }
        // Zooming keeps the page the operator was on.
        QCOMPARE(preview->currentPage(), 2);
        QVERIFY(view->pagesInView().contains(2));
        preview->close();
    }

    void printRangeAndCopies_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("all pages once") << 1 << 0 << 0 << QStringList{"1", "2", "3", "4", "5"};
        QTest::newRow("all pages twice, collated")
            << 2 << 0 << 0 << QStringList{"1", "2", "3", "4", "5", "1", "2", "3", "4", "5"};
        QTest::newRow("range in three copies") << 3 << 2 << 3 << QStringList{"2", "3", "2", "3", "2", "3"};
        QTest::newRow("range past the end") << 1 << 4 << 9 << QStringList{"4", "5"};
    }

    void printRangeAndCopies()
    {
        QFETCH(int, copies);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, printed);
        QTemporaryDir dir;
        report::Report r(QStringLiteral("Проба"), QPageLayout::Landscape);
        r.setSource(std::make_shared<NumberedPages>(5));
        report::PrintSettings s = r.printSettings();
        s.outputFile = dir.filePath(QStringLiteral("out.pdf"));
        s.copies = copies;
        s.fromPage = from;
        s.toPage = to;
        r.setPrintSettings(s);
        QVERIFY(r.print(nullptr));
        const PdfContents pdf = readPdf(s.outputFile);
        QCOMPARE(numbers(pdf), printed);
        QVERIFY(qAbs(pdf.pageSizesMm.value(0).width() - 297) < 0.5);
    }

    // Long work stopped part-way (Cancel in "Printing progress") leaves no
    // half-written PDF behind.
    void stoppedExportLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stopped.pdf"));
        NumberedPages pages(50);
        QVERIFY(!report::exportPdf(pages, {}, path, [](int done, int) { return done < 10; }));
        QVERIFY(!QFile::exists(path));
        QVERIFY(report::exportPdf(pages, {}, path));
        QCOMPARE(readPdf(path).pageCount(), 50);
    }

    // The system's print dialog: OK takes copies, orientation and range into
    // the report's settings (the orientation becomes the page's own); Cancel
    // leaves every one of them as it was.
    void printerSetup_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void printerSetup()
    {
        QFETCH(bool, accept);
        report::Report r(QStringLiteral("Проба"), QPageLayout::Landscape);
        r.setSource(std::make_shared<NumberedPages>(5));
        r.setCopies(2);
        const report::PrintSettings before = r.printSettings();

        ModalWatcher watcher;
        int minPage = -1, maxPage = -1;
        watcher.handleDialog([&](QWidget *w) {
            auto *dialog = qobject_cast<QPrintDialog *>(w);
            if (!dialog) {
                w->close();
                return;
            }
            minPage = dialog->minPage();
            maxPage = dialog->maxPage();
            dialog->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(3);
            dialog->printer()->setPageOrientation(QPageLayout::Portrait);
            dialog->findChild<QRadioButton *>(QStringLiteral("printRange"))->click();
            dialog->findChild<QSpinBox *>(QStringLiteral("from"))->setValue(2);
            dialog->findChild<QSpinBox *>(QStringLiteral("to"))->setValue(4);
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        QCOMPARE(r.printerSetup(nullptr), accept);
        QVERIFY(watcher.problems().isEmpty());
        QCOMPARE(watcher.dialogs().size(), 1);
        QCOMPARE(minPage, 1);
        QCOMPARE(maxPage, 5);

        report::PrintSettings expected = before;
        if (accept) {
            expected.copies = 3;
            expected.orientation = QPageLayout::Portrait;
            expected.fromPage = 2;
            expected.toPage = 4;
        }
        QCOMPARE(r.printSettings(), expected);
        QCOMPARE(r.geometry().sheetMm(), accept ? QSizeF(210, 297) : QSizeF(297, 210));
    }
};

QTEST_MAIN(TestReportEngine)
#include "test_reportengine.moc"

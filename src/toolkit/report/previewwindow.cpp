#include "toolkit/report/previewwindow.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "common/errorreport.h"
#include "toolkit/report/report.h"

namespace report {

// ---------------------------------------------------------------- PageView

PageView::PageView(Report *report, QWidget *parent) : QAbstractScrollArea(parent), m_report(report)
{
    setObjectName(QStringLiteral("PageView"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    updateScrollBars();
}

double PageView::pixelsPerMm() const
{
    const QSizeF sheet = m_report->geometry().sheetMm();
    const double actual = logicalDpiX() / 25.4;
    const double width = std::max(1.0, double(viewport()->width() - 2 * Gap)) / sheet.width();
    switch (m_zoom) {
    case Zoom::Actual:
        return actual;
    case Zoom::PageWidth:
        return width;
    case Zoom::WholePage:
        break;
    }
    return std::min(width, std::max(1.0, double(viewport()->height() - 2 * Gap)) / sheet.height());
}

QSize PageView::pageSizePx() const
{
    const QSizeF px = m_report->geometry().sheetMm() * pixelsPerMm();
    return {std::max(1, qRound(px.width())), std::max(1, qRound(px.height()))};
}

int PageView::stride() const { return pageSizePx().height() + Gap; }

int PageView::pageLeft() const
{
    const int w = pageSizePx().width();
    const int room = viewport()->width();
    if (w + 2 * Gap <= room)
        return (room - w) / 2;
    return Gap - horizontalScrollBar()->value();
}

void PageView::updateScrollBars()
{
    const QSize page = pageSizePx();
    const qint64 total = qint64(m_report->pageCount()) * stride() + Gap;
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, int(std::clamp<qint64>(total - viewport()->height(), 0, INT_MAX)));
    v->setPageStep(viewport()->height());
    v->setSingleStep(std::max(20, page.height() / 20));
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, std::max(0, page.width() + 2 * Gap - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(20);
}

void PageView::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    const int keep = m_current;
    updateScrollBars();
    goToPage(keep);
    viewport()->update();
}

void PageView::goToPage(int index)
{
    const int count = m_report->pageCount();
    index = std::clamp(index, 0, std::max(0, count - 1));
    verticalScrollBar()->setValue(int(std::min<qint64>(qint64(index) * stride(), INT_MAX)));
    // The last pages cannot always be scrolled to the top; they are current all the same.
    if (index != m_current) {
        m_current = index;
        emit currentPageChanged(m_current);
    }
    viewport()->update();
}

void PageView::pagesChanged()
{
    updateScrollBars();
    goToPage(std::min(m_current, std::max(0, m_report->pageCount() - 1)));
    viewport()->update();
}

QList<int> PageView::pagesInView() const
{
    QList<int> pages;
    const int count = m_report->pageCount();
    const int top = verticalScrollBar()->value();
    const int s = stride();
    for (int k = std::max(0, (top - Gap) / s); k < count; ++k) {
        const qint64 y = qint64(k) * s + Gap - top;
        if (y >= viewport()->height())
            break;
        if (y + s - Gap > 0)
            pages << k;
    }
    return pages;
}

void PageView::scrollContentsBy(int, int)
{
    // The current page is the one at the top of the view; at the end of the
    // scroll range a page chosen further down stays current while in view.
    QScrollBar *v = verticalScrollBar();
    int current = std::clamp(v->value() / stride(), 0, std::max(0, m_report->pageCount() - 1));
    if (v->value() == v->maximum() && pagesInView().contains(m_current))
        current = m_current;
    if (current != m_current) {
        m_current = current;
        emit currentPageChanged(m_current);
    }
    viewport()->update();
}

void PageView::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    const int keep = m_current;
    updateScrollBars();
    goToPage(keep);
}

void PageView::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Home:
        goToPage(0);
        return;
    case Qt::Key_End:
        goToPage(m_report->pageCount() - 1);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(e);
    }
}

void PageView::reportLater(const QString &message)
{
    // One box for a burst of failures, shown once painting is over.
    if (m_reportPending)
        return;
    m_reportPending = true;
    QTimer::singleShot(0, this, [this, message] {
        m_reportPending = false;
        showErrorReport(message);
    });
}

void PageView::paintLater()
{
    if (m_paintPending)
        return;
    m_paintPending = true;
    QTimer::singleShot(WaitMs, this, [this] {
        m_paintPending = false;
        viewport()->update();
    });
}

void PageView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QSize size = pageSizePx();
    const double pxPerMm = pixelsPerMm();
    const int left = pageLeft();
    const int top = verticalScrollBar()->value();
    for (int k : pagesInView()) {
        const QRect sheet(left, int(qint64(k) * stride() + Gap - top), size.width(), size.height());
        painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
        painter.fillRect(sheet, Qt::white);
        if (!m_report->pageReady(k)) {
            // Its rows are still being found: a blank sheet until they are.
            paintLater();
            continue;
        }
        Page page;
        try {
            page = m_report->page(k);
        } catch (const Failure &e) {
            reportLater(e.message());
            continue;
        }
        painter.save();
        painter.setClipRect(sheet);
        renderPage(painter, page, sheet.topLeft(), pxPerMm);
        painter.restore();
    }
}

// ---------------------------------------------------------------- PreviewWindow

PreviewWindow::PreviewWindow(Report *report, QWidget *parent) : QMainWindow(parent, Qt::Window), m_report(report)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Предварительный просмотр: %1").arg(report->title()));
    m_view = new PageView(report, this);
    setCentralWidget(m_view);
    createToolBar();
    statusBar();

    connect(m_view, &PageView::currentPageChanged, this, &PreviewWindow::showPosition);
    connect(report, &Report::pagesChanged, this, [this] {
        m_view->pagesChanged();
        showPosition();
    });

    const QRect screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    resize(std::min(1100, screen.width() * 9 / 10), std::min(800, screen.height() * 9 / 10));
    move(screen.center() - rect().center());
    showPosition();
    m_view->setFocus();
}

QToolButton *PreviewWindow::button(const char *objectName) const
{
    return findChild<QToolButton *>(QString::fromLatin1(objectName));
}

void PreviewWindow::createToolBar()
{
    QToolBar *bar = addToolBar(QStringLiteral("Просмотр"));
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](const char *name, const QString &caption, const QString &hint, auto handler) {
        auto *b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        connect(b, &QToolButton::clicked, this, guarded(handler));
        bar->addWidget(b);
        return b;
    };
    using Zoom = PageView::Zoom;
    add("ZoomPageButton", QStringLiteral("Страница"), QStringLiteral("Показать страницу целиком"),
        [this] { m_view->setZoom(Zoom::WholePage); });
    add("Zoom100Button", QStringLiteral("100 %"), QStringLiteral("Натуральный размер"),
        [this] { m_view->setZoom(Zoom::Actual); });
    add("ZoomWidthButton", QStringLiteral("По ширине"), QStringLiteral("По ширине страницы"),
        [this] { m_view->setZoom(Zoom::PageWidth); });
    bar->addSeparator();
    add("FirstPageButton", QStringLiteral("|<"), QStringLiteral("Первая страница"), [this] { firstPage(); });
    add("PriorPageButton", QStringLiteral("<"), QStringLiteral("Предыдущая страница"), [this] { priorPage(); });
    m_pageNumber = new QSpinBox(bar);
    m_pageNumber->setObjectName(QStringLiteral("PageNumberBox"));
    m_pageNumber->setToolTip(QStringLiteral("Номер страницы"));
    m_pageNumber->setKeyboardTracking(false);
    m_pageNumber->setMinimumWidth(80);
    connect(m_pageNumber, &QSpinBox::valueChanged, this, [this](int n) {
        if (n - 1 != m_view->currentPage())
            m_view->goToPage(n - 1);
    });
    bar->addWidget(m_pageNumber);
    m_pageCount = new QLabel(bar);
    m_pageCount->setObjectName(QStringLiteral("PageCountLabel"));
    bar->addWidget(m_pageCount);
    add("NextPageButton", QStringLiteral(">"), QStringLiteral("Следующая страница"), [this] { nextPage(); });
    add("LastPageButton", QStringLiteral(">|"), QStringLiteral("Последняя страница"), [this] { lastPage(); });
    bar->addSeparator();
    add("PrinterSetupButton", QStringLiteral("Принтер..."), QStringLiteral("Настройки принтера"),
        [this] { printerSetupClick(); });
    add("PrintButton", QStringLiteral("Печать"), QStringLiteral("Печать отчёта"), [this] { printClick(); });
    bar->addSeparator();
    add("SaveButton", QStringLiteral("Сохранить"), QStringLiteral("Сохранить подготовленный отчёт"),
        [this] { saveClick(); });
    add("LoadButton", QStringLiteral("Открыть"), QStringLiteral("Открыть подготовленный отчёт"),
        [this] { loadClick(); });
    add("ExportPdfButton", QStringLiteral("PDF"), QStringLiteral("Экспорт в PDF"), [this] { exportPdfClick(); });
    bar->addSeparator();
    add("CloseButton", QStringLiteral("Закрыть"), QStringLiteral("Закрыть просмотр"), [this] { close(); });
}

int PreviewWindow::currentPage() const { return m_view->currentPage(); }

int PreviewWindow::pageCount() const { return m_report->pageCount(); }

void PreviewWindow::firstPage() { m_view->goToPage(0); }
void PreviewWindow::priorPage() { m_view->goToPage(m_view->currentPage() - 1); }
void PreviewWindow::nextPage() { m_view->goToPage(m_view->currentPage() + 1); }
void PreviewWindow::lastPage() { m_view->goToPage(pageCount() - 1); }

void PreviewWindow::showPosition()
{
    const int count = pageCount();
    {
        const QSignalBlocker quiet(m_pageNumber);
        m_pageNumber->setRange(count > 0 ? 1 : 0, std::max(1, count));
        m_pageNumber->setValue(count > 0 ? m_view->currentPage() + 1 : 0);
    }
    m_pageCount->setText(QStringLiteral(" из %1 ").arg(count));
    statusBar()->showMessage(QStringLiteral("Страница %1 из %2").arg(count > 0 ? m_view->currentPage() + 1 : 0).arg(count));
}

void PreviewWindow::printerSetupClick() { m_report->printerSetup(this); }

void PreviewWindow::printClick() { m_report->print(this); }

QString PreviewWindow::askFile(const char *objectName, const QString &caption, const QString &filter,
                               const QString &suffix, bool saving)
{
    QFileDialog dialog(this, caption, m_folder, filter);
    dialog.setObjectName(QString::fromLatin1(objectName));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    m_folder = dialog.directory().absolutePath();
    return dialog.selectedFiles().constFirst();
}

namespace {
const QString ReportFilter = QStringLiteral("Подготовленный отчёт (*.krp)");
}

void PreviewWindow::saveClick()
{
    const QString path =
        askFile("SaveReportDialog", QStringLiteral("Сохранить отчёт"), ReportFilter, QStringLiteral("krp"), true);
    if (!path.isEmpty())
        m_report->save(path, this);
}

void PreviewWindow::loadClick()
{
    const QString path =
        askFile("LoadReportDialog", QStringLiteral("Открыть отчёт"), ReportFilter, QStringLiteral("krp"), false);
    if (path.isEmpty())
        return;
    m_report->load(path);
    m_view->goToPage(0);
}

void PreviewWindow::exportPdfClick()
{
    const QString path = askFile("ExportPdfDialog", QStringLiteral("Экспорт в PDF"), QStringLiteral("PDF (*.pdf)"),
                                 QStringLiteral("pdf"), true);
    if (!path.isEmpty())
        m_report->exportPdf(path, this);
}

}

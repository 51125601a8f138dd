#pragma once
// The print preview of a report: a window of its own beside the main window
// (which stays usable), showing the report's pages one under another. Only
// the pages in view are laid out and painted, so a report of tens of
// thousands of pages opens at once and scrolls evenly. Its tool bar: zoom to
// the whole page, to 100 % and to the page width; first, previous, next and
// last page and the page-number box; printer set-up, print, save and load of
// a prepared report, export to PDF, and close.

#include <QAbstractScrollArea>
#include <QMainWindow>

class QFileDialog;
class QLabel;
class QSpinBox;
class QToolButton;

namespace report {

class Report;

class PageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Zoom { WholePage, Actual, PageWidth };

    explicit PageView(Report *report, QWidget *parent = nullptr);

    void setZoom(Zoom zoom);
    Zoom zoom() const { return m_zoom; }
    double pixelsPerMm() const;

    int currentPage() const { return m_current; }   // 0-based
    void goToPage(int index);
    // Pages (0-based) that the viewport shows now.
    QList<int> pagesInView() const;
    // The report's pages changed: keep the current page where it can be.
    void pagesChanged();

signals:
    void currentPageChanged(int index);

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    QSize pageSizePx() const;
    int stride() const;
    int pageLeft() const;
    void updateScrollBars();
    void reportLater(const QString &message);
    void paintLater();

    Report *m_report;
    Zoom m_zoom = Zoom::WholePage;
    int m_current = 0;
    bool m_reportPending = false;
    bool m_paintPending = false;
    static constexpr int WaitMs = 40;
    static constexpr int Gap = 12;
};

class PreviewWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit PreviewWindow(Report *report, QWidget *parent = nullptr);

    Report *report() const { return m_report; }
    PageView *pageView() const { return m_view; }      // "PageView"
    int currentPage() const;                           // 0-based
    int pageCount() const;

    void firstPage();
    void priorPage();
    void nextPage();
    void lastPage();

    // The tool bar's file actions: each asks for the file in a dialog of its
    // own ("SaveReportDialog", "LoadReportDialog", "ExportPdfDialog").
    void printerSetupClick();
    void printClick();
    void saveClick();
    void loadClick();
    void exportPdfClick();

    QToolButton *button(const char *objectName) const;
    QSpinBox *pageNumberBox() const { return m_pageNumber; }   // "PageNumberBox"

private:
    void createToolBar();
    void showPosition();
    QString askFile(const char *objectName, const QString &caption, const QString &filter, const QString &suffix,
                    bool saving);

    Report *m_report;
    PageView *m_view = nullptr;
    QSpinBox *m_pageNumber = nullptr;
    QLabel *m_pageCount = nullptr;
    QString m_folder;   // where the last file dialog was left
};

}

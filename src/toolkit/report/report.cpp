#include "toolkit/report/report.h"

#include "toolkit/report/previewwindow.h"
#include "toolkit/report/progresswindow.h"
#include "toolkit/report/reportfile.h"

namespace report {

namespace {

// "Printing progress" for the length of one piece of work; it comes up only
// for work longer than a page or two.
class LongWork
{
public:
    explicit LongWork(QWidget *parent) : m_parent(parent) {}
    ~LongWork() { delete m_window; }

    Progress progress()
    {
        return [this](int done, int total) {
            if (total <= 2)
                return true;
            if (!m_window) {
                m_window = new ProgressWindow(m_parent);
                m_window->setRange(total);
                m_window->show();
            }
            m_window->setProgress(done);
            return !m_window->wasCancelled();
        };
    }

private:
    QWidget *m_parent;
    QPointer<ProgressWindow> m_window;
};

}

Report::Report(QString title, QPageLayout::Orientation orientation, QObject *parent)
    : QObject(parent), m_title(std::move(title)), m_settings(defaultPrintSettings(orientation))
{
}

Report::~Report()
{
    delete m_preview;
}

void Report::setPrintSettings(const PrintSettings &settings)
{
    const bool turned = settings.orientation != m_settings.orientation;
    m_settings = settings;
    if (turned)
        emit pagesChanged();
}

void Report::setCopies(int copies) { m_settings.copies = copies; }

void Report::setSource(std::shared_ptr<PageSource> source)
{
    m_source = std::move(source);
    m_pages.clear();
    emit pagesChanged();
}

PageGeometry Report::geometry() const
{
    PageGeometry g = m_source ? m_source->geometry() : PageGeometry{};
    g.orientation = m_settings.orientation;
    return g;
}

int Report::pageCount() const { return m_source ? m_source->pageCount() : 0; }

Page Report::page(int index) const
{
    if (const Page *kept = m_pages.object(index))
        return *kept;
    if (!m_source)
        return {};
    auto *laid = new Page(m_source->page(index));
    Page copy = *laid;
    m_pages.insert(index, laid);
    return copy;
}

bool Report::pageReady(int index) const
{
    return !m_source || m_pages.contains(index) || m_source->isReady(index);
}

PreviewWindow *Report::preview() const { return m_preview; }

PreviewWindow *Report::showPreview(QWidget *parent)
{
    if (!m_preview) {
        m_preview = new PreviewWindow(this, parent);
        m_preview->setAttribute(Qt::WA_DeleteOnClose);
        m_preview->show();
    }
    m_preview->raise();
    m_preview->activateWindow();
    return m_preview;
}

bool Report::printerSetup(QWidget *parent)
{
    PrintSettings settings = m_settings;
    if (!runPrinterSetup(settings, pageCount(), parent))
        return false;
    setPrintSettings(settings);
    return true;
}

namespace {

// Long work runs on the pages as they are when it starts: a fill while the
// work lets events through does not change what is being sent.
template <typename Work>
bool onPagesNow(const std::shared_ptr<PageSource> &source, QWidget *parent, Work work)
{
    const std::shared_ptr<PageSource> pages = source;
    if (!pages)
        return true;
    LongWork progress(parent);
    return work(*pages, progress.progress());
}

}

bool Report::print(QWidget *parent)
{
    const PrintSettings settings = m_settings;
    const PageGeometry g = geometry();
    return onPagesNow(m_source, parent, [&](const PageSource &pages, const Progress &progress) {
        return printPages(pages, g, settings, progress);
    });
}

bool Report::exportPdf(const QString &path, QWidget *parent)
{
    const PageGeometry g = geometry();
    return onPagesNow(m_source, parent, [&](const PageSource &pages, const Progress &progress) {
        return report::exportPdf(pages, g, path, progress);
    });
}

bool Report::save(const QString &path, QWidget *parent)
{
    const PageGeometry g = geometry();
    return onPagesNow(m_source, parent, [&](const PageSource &pages, const Progress &progress) {
        return saveReport(pages, g, path, progress);
    });
}

void Report::load(const QString &path)
{
    std::shared_ptr<PageSource> loaded = loadReport(path);
    PrintSettings settings = m_settings;
    settings.orientation = loaded->geometry().orientation;
    m_settings = settings;
    setSource(std::move(loaded));
}

}

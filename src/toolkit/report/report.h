#pragma once
// A report as the program holds it from start to end: its pages (a
// PageSource, replaced at each fill), its own print settings, and at most one
// print preview. Printing, the printer set-up, saving, loading and PDF
// export all work on the pages the report holds at the time.

#include <QCache>
#include <QObject>
#include <QPointer>
#include <memory>

#include "toolkit/report/page.h"
#include "toolkit/report/printing.h"
#include "toolkit/report/printsettings.h"

class QWidget;

namespace report {

class PreviewWindow;

class Report : public QObject
{
    Q_OBJECT
public:
    // title: the preview's caption. The settings start as defaultPrintSettings().
    Report(QString title, QPageLayout::Orientation orientation, QObject *parent = nullptr);
    ~Report() override;

    const QString &title() const { return m_title; }

    const PrintSettings &printSettings() const { return m_settings; }
    void setPrintSettings(const PrintSettings &settings);
    void setCopies(int copies);

    // New pages; an open preview shows them at once.
    void setSource(std::shared_ptr<PageSource> source);
    bool hasSource() const { return bool(m_source); }
    // The pages' geometry, turned as the print settings say: the orientation
    // chosen in the set-up becomes the page's own.
    PageGeometry geometry() const;
    int pageCount() const;
    // Page index laid out; the last few asked for are kept. Throws Failure.
    Page page(int index) const;
    // Whether page(index) would not wait for its data.
    bool pageReady(int index) const;

    // Opens the preview over parent, or brings the open one to the front:
    // there is never a second one.
    PreviewWindow *showPreview(QWidget *parent);
    PreviewWindow *preview() const;

    // The printer set-up dialog; true when its choices were taken.
    bool printerSetup(QWidget *parent);
    // Prints with the report's settings; long work shows "Printing progress".
    // Throws Failure for a printer that cannot be started; false when cancelled.
    bool print(QWidget *parent);
    bool exportPdf(const QString &path, QWidget *parent);
    bool save(const QString &path, QWidget *parent);
    // Replaces the pages by a saved report's (its orientation included). Throws Failure.
    void load(const QString &path);

signals:
    void pagesChanged();

private:
    QString m_title;
    PrintSettings m_settings;
    std::shared_ptr<PageSource> m_source;
    mutable QCache<int, Page> m_pages{24};
    QPointer<PreviewWindow> m_preview;
};


}

#pragma once
// The journal report: the whole journal on A4 landscape pages, 29 rows a
// page under a page header (the banner and the title line with the page
// count) and the column header. It reads the journal through a view of its
// own, never filtered, so it covers every row in stored order whatever the
// journal page shows, and the rows stored since the start.
//
// Pages are laid out when they are shown or printed: preparing the report
// counts the rows and reads the first pages' ids; a worker on a connection
// of its own reads the others' (page k's first id is all it keeps), and page
// k reads its 29 rows by id, so a report of a million rows opens at once and
// the window never stalls. "Печать БД" counts on a worker too: on a busy
// machine the count of a million rows alone takes a few hundred ms.
// Where no second connection sees the journal as the view does, the ids are
// read here a batch a turn of the event loop.

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "print/journalrow.h"
#include "toolkit/report/report.h"

class ApartRead;
class QThread;
class QWidget;
class TableCursor;
class TableStore;

namespace journalreport {

struct Column
{
    QString caption;
    double captionX, captionWidth;   // mm from the left margin
    double valueX, valueWidth;
    // The value is printed smaller rather than cut where it can be (the
    // caption always is); names and goods keep the cut.
    bool wholeValue;
};
inline constexpr int ColumnCount = 11;
const Column *columns();   // ColumnCount of them, left to right

// Rows a page holds: the bands' heights counted in whole tenths of a millimetre.
int rowsPerPage();
// Pages for a journal of rows (an empty journal still has its one page).
int pageCountFor(qint64 rows);

// The eleven values of a row as printed, before the fit to their boxes.
QStringList rowTexts(const JournalRow &row);
QString titleLine(const QDateTime &laidOut, int pageNumber, int pageCount);

report::PageGeometry geometry();
// Page pageIndex (0-based) of pageCount holding rows (rowTexts of each). No
// rows: the empty journal's page, without the column header.
report::Page layoutPage(const QVector<QStringList> &rows, int pageIndex, int pageCount, const QDateTime &laidOut,
                        const QImage &banner);

// The banner picture of the page header (438 by 82 pixels).
QImage banner();

// The pages of the journal as it was when they were counted.
class Pages : public report::PageSource
{
public:
    // Counts the rows here. Throws StoreError.
    Pages(const TableCursor &view, QDateTime laidOut);
    // rows: counted already (on a worker). Throws StoreError.
    Pages(const TableCursor &view, QDateTime laidOut, qint64 rows);
    ~Pages() override;
    report::PageGeometry geometry() const override { return journalreport::geometry(); }
    int pageCount() const override { return pageCountFor(m_rows); }
    bool isReady(int index) const override;
    report::Page page(int index) const override;
    qint64 rowCount() const { return m_rows; }
    // Reads the next batch of ids here, so that the walk of a million of
    // them never holds the window up at once; false once none are left for
    // the window thread to read (all read, or a worker reads them). A page
    // asked for before its ids are read waits for them.
    bool readMore() const;

private:
    void startWalk();
    void walkApart(ApartRead &read, const QString &sql, qint64 afterId);   // on the worker
    void take(const QVector<qint64> &ids) const;
    bool hasIdsFor(int index) const;

    const TableCursor &m_view;
    QDateTime m_laidOut;
    QImage m_banner;
    qint64 m_rows = 0;
    // Read as the pages come, here or by the worker: mutable, as reading
    // changes no page; under m_lock while a worker reads.
    mutable std::mutex m_lock;
    mutable std::condition_variable m_idsRead;
    mutable QVector<qint64> m_firstIds;   // id of each page's first row
    mutable qint64 m_lastId = 0;
    mutable qint64 m_seen = 0;            // ids read so far
    mutable bool m_allRead = false;
    mutable QString m_failure;            // the worker's, for the pages it did not reach
    bool m_apart = false;                 // a worker reads the ids after the first pages'
    std::atomic<bool> m_stop{false};
    std::thread m_walker;
};

}

class ExpBD : public QObject
{
    Q_OBJECT
public:
    // Opens the report's own view of the journal. Throws StoreError.
    // The report of the store's journal.
    explicit ExpBD(TableStore &store, QObject *parent = nullptr);
    ~ExpBD() override;

    report::Report &report() { return m_report; }
    TableCursor *journalView() const { return m_view.get(); }

    // Counts the journal afresh (rows stored since the last time included)
    // and lays out the title lines with laidOut as their date and time.
    void prepare(const QDateTime &laidOut = QDateTime::currentDateTime());
    // "Печать БД": prepares the report and opens its preview over parent (or
    // brings the open one to the front, showing the new pages) once the rows
    // are counted; a press meanwhile adds nothing.
    void PreviewJournal(QWidget *parent);

private:
    void readIdsLater();
    void setPages(std::shared_ptr<journalreport::Pages> pages);

    std::unique_ptr<TableCursor> m_view;
    report::Report m_report;
    std::weak_ptr<journalreport::Pages> m_pages;   // the ones in the preview
    bool m_counting = false;
    QPointer<QThread> m_counter;   // counting the rows for the preview
};

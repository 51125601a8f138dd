#include "print/expbd.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "common/errorreport.h"
#include "common/oneline.h"
#include "store/rawquery.h"
#include "store/tablecursor.h"
#include "store/tablescan.h"
#include "store/tablestore.h"
#include "toolkit/report/textfit.h"

// The banner lives in the print library's resources; a static library's
// resources are registered by hand.
static void registerPrintResources() { Q_INIT_RESOURCE(print); }

namespace journalreport {

namespace {

// Heights and places in millimetres.
constexpr double Margin = 10.0;
constexpr double HeaderHeight = 24.08;
constexpr double ColumnHeaderHeight = 8.47;
constexpr double RowHeight = 5.29;
constexpr double TitleX = 162.72;
constexpr double TitlePoints = 8;
constexpr double TextPoints = 7;
// A caption, date, time, weight or number is made smaller down to this size
// rather than cut: a record with characters missing is a wrong record.
constexpr double SmallestPoints = 4;
// The last column ends at the right margin, not past the sheet's edge.
constexpr double RightEdge = 297.0 - 2 * Margin;
const QRectF BannerMm(0, 0, 115.89, 21.70);

}

const Column *columns()
{
    static const Column table[ColumnCount] = {
        {QStringLiteral("№ Автомобиля"), 0.26, 19.05, 0.26, 19.05, true},
        {QStringLiteral("№ прицепа"), 19.31, 16.93, 19.31, 16.93, true},
        {QStringLiteral("Ф.И.О. Водителя"), 35.98, 32.01, 36.51, 31.49, false},
        {QStringLiteral("Марка автомабиля"), 68.00, 19.05, 68.26, 18.26, false},
        {QStringLiteral("Автопредприятие"), 87.05, 41.80, 87.31, 41.80, false},
        {QStringLiteral("Товар"), 128.85, 55.30, 128.85, 55.30, false},
        {QStringLiteral("№ путевого листа"), 184.15, 29.90, 184.15, 29.90, true},
        {QStringLiteral("Нетто"), 214.05, 23.55, 213.78, 19.31, true},
        {QStringLiteral("Дата"), 237.60, 12.17, 237.33, 11.91, true},
        {QStringLiteral("Время"), 249.77, 8.73, 249.77, 6.61, true},
        {QStringLiteral("Весовщик"), 258.23, RightEdge - 258.23, 258.23, RightEdge - 258.23, true},
    };
    return table;
}

report::PageGeometry geometry()
{
    report::PageGeometry g;
    g.paperMm = {210.0, 297.0};
    g.orientation = QPageLayout::Landscape;
    g.marginsMm = {Margin, Margin, Margin, Margin};
    return g;
}

int rowsPerPage()
{
    using report::tenths;
    const report::PageGeometry g = geometry();
    const int usable = tenths(g.sheetMm().height()) - tenths(g.marginsMm.top()) - tenths(g.marginsMm.bottom());
    return (usable - tenths(HeaderHeight) - tenths(ColumnHeaderHeight)) / tenths(RowHeight);
}

int pageCountFor(qint64 rows)
{
    const int perPage = rowsPerPage();
    return rows <= 0 ? 1 : int((rows + perPage - 1) / perPage);
}

QStringList rowTexts(const JournalRow &row)
{
    using namespace WeighingRecord;
    auto v = [&](Field field) { return oneLine(row[field]); };
    return {v(N_Avto), v(N_pricepa), v(FIO),   v(Marcka), v(AvtoPr), v(Tovar),
            v(N_List), v(Netto) + QStringLiteral("  ") + v(Ed_izm),
            v(Dat),    v(Time),      v(Klad)};
}

QString titleLine(const QDateTime &laidOut, int pageNumber, int pageCount)
{
    // The short date and the long time as a Russian system writes them.
    return QStringLiteral("БД Кродалин v.11.0 от ") + laidOut.date().toString(QStringLiteral("dd.MM.yyyy"))
           + QLatin1Char(' ') + laidOut.time().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  страница ")
           + QString::number(pageNumber) + QStringLiteral(" из ") + QString::number(pageCount)
           + QStringLiteral("  страниц");
}

report::Page layoutPage(const QVector<QStringList> &rows, int pageIndex, int pageCount, const QDateTime &laidOut,
                        const QImage &banner)
{
    using report::Item;
    using report::fromTenths;
    using report::tenths;
    report::Page page;
    const int left = tenths(Margin);
    int y = tenths(Margin);

    page.items.append(Item::imageAt(BannerMm.translated(Margin, Margin), page.addImage(banner)));
    page.items.append(Item::textAt(Margin + TitleX, fromTenths(y), titleLine(laidOut, pageIndex + 1, pageCount),
                                   TitlePoints));
    y += tenths(HeaderHeight);

    const Column *cols = columns();
    auto cell = [&](double x, double width, const QString &text, bool whole) {
        const double points = whole ? report::fittingPointSize(text, width, TextPoints, SmallestPoints) : TextPoints;
        page.items.append(Item::textAt(fromTenths(left) + x, fromTenths(y), report::fitFirstLine(text, width, points),
                                       points, width));
    };
    if (rows.isEmpty()) {
        // An empty journal: one row of empty values straight under the page header.
        for (int c = 0; c < ColumnCount; ++c)
            cell(cols[c].valueX, cols[c].valueWidth, QString(), false);
        return page;
    }

    for (int c = 0; c < ColumnCount; ++c) {
        cell(cols[c].captionX, cols[c].captionWidth, cols[c].caption, true);
        const double bottom = fromTenths(y + tenths(ColumnHeaderHeight));
        const double x = Margin + cols[c].captionX;
        page.items.append(Item::line({x, bottom}, {x + cols[c].captionWidth, bottom}));
    }
    y += tenths(ColumnHeaderHeight);

    for (const QStringList &row : rows) {
        for (int c = 0; c < ColumnCount; ++c)
            cell(cols[c].valueX, cols[c].valueWidth, row.value(c), cols[c].wholeValue);
        y += tenths(RowHeight);
    }
    return page;
}

QImage banner()
{
    static const QImage picture = [] {
        registerPrintResources();
        return QImage(QStringLiteral(":/print/banner.jpg"));
    }();
    return picture;
}

namespace {
// About 30 ms of the walk on this machine's kind of hardware.
constexpr int IdBatch = 50000;
// The first pages' ids, read at once: what a preview shows when it opens
// does not wait for the worker.
constexpr int FirstPages = 8;
// The worker hands its ids over this many pages' worth at a time.
constexpr int HandOverPages = 64;
}

Pages::Pages(const TableCursor &view, QDateTime laidOut) : Pages(view, std::move(laidOut), view.visibleCount()) {}

Pages::Pages(const TableCursor &view, QDateTime laidOut, qint64 rows)
    : m_view(view), m_laidOut(std::move(laidOut)), m_banner(banner()), m_rows(rows)
{
    // Only every page's first id is kept: a few hundred kilobytes for a
    // million rows. The rows counted are the report's, whatever is stored
    // while their ids are read.
    m_firstIds.reserve(pageCountFor(m_rows));
    const int first = FirstPages * rowsPerPage() + 1;
    const QVector<qint64> ids = m_view.visibleIds(0, first);
    take(ids);
    if (m_seen == m_rows || ids.size() < first)
        m_allRead = true;
    else
        startWalk();
}

Pages::~Pages()
{
    m_stop = true;
    if (m_walker.joinable())
        m_walker.join();
}

// Takes the next ids read (here, or by the worker with m_lock held).
void Pages::take(const QVector<qint64> &ids) const
{
    const int perPage = rowsPerPage();
    for (const qint64 id : ids) {
        if (m_seen == m_rows)
            break;
        if (m_seen % perPage == 0)
            m_firstIds.append(id);
        m_lastId = id;
        ++m_seen;
    }
}

void Pages::startWalk()
{
    auto read = std::make_shared<ApartRead>(m_view.store());
    if (!read->runsApart())
        return;   // a batch a turn, here
    m_apart = true;
    const QString sql =
        QStringLiteral("SELECT id FROM %1 WHERE id > ? ORDER BY id").arg(TableStore::sqlName(Tables::Journal));
    m_walker = std::thread([this, read, sql, after = m_lastId] { walkApart(*read, sql, after); });
}

void Pages::walkApart(ApartRead &read, const QString &sql, qint64 afterId)
{
    QString failure;
    try {
        read.run(sql, {afterId}, [this](RawQuery &q) {
            // Handed over a few pages at a time: seldom enough that the
            // window thread hardly ever waits for the lock, often enough
            // that a page waiting for its ids goes on soon.
            QVector<qint64> ids;
            const int handful = HandOverPages * rowsPerPage();
            ids.reserve(handful);
            const auto handOver = [&] {
                bool more = false;
                {
                    const std::lock_guard lock(m_lock);
                    take(ids);
                    more = m_seen < m_rows;
                }
                ids.clear();
                m_idsRead.notify_all();
                return more;
            };
            while (!m_stop && q.next()) {
                ids.append(q.integer(0));
                if (ids.size() == handful && !handOver())
                    return;
            }
            handOver();
        });
    } catch (const Failure &e) {
        failure = e.message();
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    const std::lock_guard lock(m_lock);
    m_failure = failure;
    m_allRead = true;
    m_idsRead.notify_all();
}

bool Pages::readMore() const
{
    if (m_apart || m_allRead)
        return false;
    const QVector<qint64> ids = m_view.visibleIds(m_lastId, IdBatch);
    take(ids);
    m_allRead = ids.size() < IdBatch || m_seen == m_rows;
    return !m_allRead;
}

// With m_lock held: the page's own ids are known, and the next page's first
// one that ends it (or every id is read).
bool Pages::hasIdsFor(int index) const { return m_firstIds.size() > index + 1 || m_allRead; }

bool Pages::isReady(int index) const
{
    if (!m_apart)
        return true;
    const std::lock_guard lock(m_lock);
    return hasIdsFor(index);
}

report::Page Pages::page(int index) const
{
    const int count = pageCount();
    if (m_rows == 0 || index < 0 || index >= count)
        return layoutPage({}, 0, count, m_laidOut, m_banner);
    qint64 from = 0;
    qint64 to = 0;
    {
        std::unique_lock lock(m_lock, std::defer_lock);
        if (m_apart) {
            lock.lock();
            m_idsRead.wait(lock, [&] { return hasIdsFor(index); });
        } else {
            while (!hasIdsFor(index) && readMore()) {
            }
        }
        if (index >= m_firstIds.size()) {
            if (!m_failure.isEmpty())
                throw StoreError(m_failure);
            return layoutPage({}, index, count, m_laidOut, m_banner);   // rows deleted since they were counted
        }
        from = m_firstIds[index];
        to = index + 1 < m_firstIds.size() ? m_firstIds[index + 1] - 1 : m_lastId;
    }
    QVector<QStringList> rows;
    for (const auto &[id, packed] : m_view.rowsByIdRange(from, to)) {
        JournalRow row;
        for (int f = 0; f < WeighingRecord::FieldCount && f < packed.size(); ++f)
            row.set(WeighingRecord::Field(f), TableCursor::valueText(packed.string(f), m_view.isDateField(f)));
        rows.append(rowTexts(row));
    }
    return layoutPage(rows, index, count, m_laidOut, m_banner);
}

}

ExpBD::ExpBD(TableStore &store, QObject *parent)
    : QObject(parent), m_view(std::make_unique<TableCursor>(store, Tables::Journal)),
      m_report(QStringLiteral("БД Кродалин"), QPageLayout::Landscape)
{
    m_view->setObjectName(QStringLiteral("JournalReportView"));
    m_view->Open();
}

ExpBD::~ExpBD()
{
    if (m_counter)
        m_counter->wait();
}

void ExpBD::prepare(const QDateTime &laidOut)
{
    setPages(std::make_shared<journalreport::Pages>(*m_view, laidOut));
}

void ExpBD::readIdsLater()
{
    // One batch a turn of the event loop, while these pages are the report's.
    QTimer::singleShot(0, this, [this] {
        const std::shared_ptr<journalreport::Pages> pages = m_pages.lock();
        bool more = false;
        if (pages && runGuarded([&] { more = pages->readMore(); }) && more)
            readIdsLater();
    });
}

void ExpBD::setPages(std::shared_ptr<journalreport::Pages> pages)
{
    m_pages = pages;
    m_report.setSource(std::move(pages));
    readIdsLater();
}

void ExpBD::PreviewJournal(QWidget *parent)
{
    if (m_counting)
        return;
    const QDateTime laidOut = QDateTime::currentDateTime();
    auto read = std::make_shared<ApartRead>(m_view->store());
    if (!read->runsApart()) {
        prepare(laidOut);
        m_report.showPreview(parent);
        return;
    }
    // The count on a connection of its own; the preview opens with it.
    m_counting = true;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    auto rows = std::make_shared<qint64>(0);
    auto failure = std::make_shared<QString>();
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM %1").arg(TableStore::sqlName(Tables::Journal));
    QThread *thread = QThread::create([read, sql, rows, failure] {
        // The text widths' table, read from the font once a run, is built
        // here rather than while the first page is laid out.
        report::textWidthMm(u"0", 7);
        try {
            read->run(sql, {}, [&](RawQuery &q) { *rows = q.next() ? q.integer(0) : 0; });
        } catch (const Failure &e) {
            *failure = e.message();
        } catch (const std::exception &e) {
            *failure = QString::fromLocal8Bit(e.what());
        }
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, rows, failure, laidOut, owner = QPointer<QWidget>(parent)] {
        thread->deleteLater();
        m_counting = false;
        QGuiApplication::restoreOverrideCursor();
        if (!failure->isEmpty()) {
            showErrorReport(*failure);
            return;
        }
        runGuarded([&] {
            setPages(std::make_shared<journalreport::Pages>(*m_view, laidOut, *rows));
            m_report.showPreview(owner);
        });
    });
    m_counter = thread;
    thread->start();
}

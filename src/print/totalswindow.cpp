#include "print/totalswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/errorreport.h"
#include "common/failure.h"
#include "toolkit/datefield.h"
#include "toolkit/report/previewwindow.h"
#include "toolkit/report/textfit.h"
#include "toolkit/widgetlook.h"

namespace totalsreport {

namespace {

// Places in millimetres from the sheet's top-left corner.
constexpr double Margin = 15.0;
constexpr double TitlePoints = 12;
constexpr double TextPoints = 9;
constexpr double TitleStep = 5.5;
constexpr double RowHeight = 5.0;
constexpr double LabelX = Margin;
constexpr double LabelWidth = 100.0;
constexpr double Indent = 6.0;
constexpr double UnitX = 120.0;
constexpr double UnitWidth = 14.0;
constexpr double CountRight = 160.0;
constexpr double SumRight = 210.0 - Margin;

int titleLineCount(const Totals::Request &r) { return r.searchLines.isEmpty() ? 3 : 4; }

double headerTop(const Totals::Request &r) { return Margin + 8.0 + (titleLineCount(r) - 1) * TitleStep + 3.0; }

}

report::PageGeometry geometry()
{
    report::PageGeometry g;
    g.paperMm = {210.0, 297.0};
    g.orientation = QPageLayout::Portrait;
    g.marginsMm = {Margin, Margin, Margin, Margin};
    return g;
}

int linesPerPage()
{
    using report::tenths;
    // The title is at most four lines; a page keeps room for the page number.
    const int top = tenths(Margin + 8.0 + 3 * TitleStep + 3.0) + tenths(RowHeight) + tenths(2.0);
    return (tenths(297.0 - Margin - 8.0) - top) / tenths(RowHeight);
}

QVector<report::Page> layout(const Totals::Result &result, const QDateTime &made)
{
    using report::Item;
    const Totals::Request &r = result.request;
    const QVector<Totals::Line> lines = Totals::lines(result);
    const QStringList titles = Totals::titleLines(r, made);
    const QStringList head = Totals::headers(r);
    const int perPage = linesPerPage();
    const int pageCount = std::max<int>(1, int((lines.size() + perPage - 1) / perPage));

    QVector<report::Page> pages;
    for (int p = 0; p < pageCount; ++p) {
        report::Page page;
        auto text = [&page](double x, double y, const QString &t, double points, bool bold, double width = 0) {
            page.items.append(Item::textAt(x, y, width > 0 ? report::fitFirstLine(t, width, points) : t, points,
                                           width, bold));
        };
        auto right = [&](double rightX, double y, const QString &t, bool bold) {
            text(rightX - report::textWidthMm(t, TextPoints), y, t, TextPoints, bold);
        };
        double y = Margin;
        text(Margin, y, titles[0], TitlePoints, true);
        y += 8.0;
        for (int i = 1; i < titles.size(); ++i, y += TitleStep)
            text(Margin, y, titles[i], TextPoints, false, 210.0 - 2 * Margin);
        y = headerTop(r);
        text(LabelX, y, head[0], TextPoints, true, LabelWidth);
        text(UnitX, y, head[1], TextPoints, true);
        right(CountRight, y, head[2], true);
        right(SumRight, y, head[3], true);
        y += RowHeight;
        page.items.append(Item::line({Margin, y - 0.8}, {SumRight, y - 0.8}, 0.2));

        for (int i = p * perPage; i < std::min<int>(int(lines.size()), (p + 1) * perPage); ++i) {
            const Totals::Line &l = lines[i];
            using Kind = Totals::Line::Kind;
            const bool bold = l.kind == Kind::Heading || l.kind == Kind::Subtotal || l.kind == Kind::Total;
            const bool indented = r.second && (l.kind == Kind::Entry || l.kind == Kind::NotNumbers);
            if (l.kind == Kind::Total && (i == 0 || lines[i - 1].kind != Kind::Total))
                page.items.append(Item::line({Margin, y - 0.4}, {SumRight, y - 0.4}, 0.2));
            const double x = LabelX + (indented ? Indent : 0);
            text(x, y, l.label, TextPoints, bold, LabelWidth - (x - LabelX));
            if (!l.unit.isEmpty())
                text(UnitX, y, l.unit, TextPoints, bold, UnitWidth);
            if (!l.count.isEmpty())
                right(CountRight, y, l.count, bold);
            if (!l.sum.isEmpty())
                right(SumRight, y, l.sum, bold);
            y += RowHeight;
        }
        const QString number = QStringLiteral("Лист %1 из %2").arg(p + 1).arg(pageCount);
        text(SumRight - report::textWidthMm(number, 7), 297.0 - Margin - 4.0, number, 7, false);
        pages.append(page);
    }
    return pages;
}

}

TotalsWindow::TotalsWindow(TableStore &store, SearchLines searchLines, QWidget *parent)
    : QWidget(parent, Qt::Window), m_store(store), m_searchLines(std::move(searchLines)),
      m_report(QStringLiteral("Итоги"), QPageLayout::Portrait)
{
    setObjectName(QStringLiteral("TotalsWindow"));
    setWindowTitle(QStringLiteral("Итоги"));
    setFont(windowFont());
    createLayout();
}

TotalsWindow::~TotalsWindow()
{
    // A count under way ends before its window goes.
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void TotalsWindow::createLayout()
{
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);

    auto *dates = new QHBoxLayout;
    m_from = new DateField(this);
    m_from->setObjectName(QStringLiteral("TotalsDateFrom"));
    m_to = new DateField(this);
    m_to->setObjectName(QStringLiteral("TotalsDateTo"));
    const QDate today = QDate::currentDate();
    m_from->setDate(QDate(today.year(), today.month(), 1));
    m_to->setDate(today);
    dates->addWidget(new QLabel(QStringLiteral("с"), this));
    dates->addWidget(m_from);
    dates->addWidget(new QLabel(QStringLiteral("по"), this));
    dates->addWidget(m_to);
    dates->addStretch();
    for (DateField *d : {m_from, m_to}) {
        d->setFixedWidth(100);
        setHint(d, {QStringLiteral("Период, включая обе даты")});
    }
    grid->addWidget(new QLabel(QStringLiteral("Период"), this), 0, 0);
    grid->addLayout(dates, 0, 1);

    m_first = new QComboBox(this);
    m_first->setObjectName(QStringLiteral("TotalsGrouping"));
    m_second = new QComboBox(this);
    m_second->setObjectName(QStringLiteral("TotalsSecondGrouping"));
    m_second->addItem(QStringLiteral("без подгрупп"), -1);
    for (const Totals::GroupingInfo &g : Totals::groupings()) {
        m_first->addItem(g.caption, int(g.grouping));
        m_second->addItem(QStringLiteral("затем ") + g.caption, int(g.grouping));
    }
    grid->addWidget(new QLabel(QStringLiteral("Итоги"), this), 1, 0);
    grid->addWidget(m_first, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Подгруппы"), this), 2, 0);
    grid->addWidget(m_second, 2, 1);

    m_useSearch = new QCheckBox(QStringLiteral("учитывать условия поиска"), this);
    m_useSearch->setObjectName(QStringLiteral("TotalsUseSearch"));
    setHint(m_useSearch, {QStringLiteral("Только взвешивания, отвечающие условиям поиска на странице журнала")});
    grid->addWidget(m_useSearch, 3, 1);

    auto *row = new QHBoxLayout;
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("TotalsState"));
    m_show = namedButton(QStringLiteral("TotalsShowButton"), QStringLiteral("Показать"), this);
    m_show->setDefault(true);
    setHint(m_show, {QStringLiteral("Подсчитать итоги и открыть их для печати")});
    connect(m_show, &QPushButton::clicked, this, guarded([this] { showTotals(); }));
    row->addWidget(m_state, 1);
    row->addWidget(m_show);
    grid->addLayout(row, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
}

Totals::Request TotalsWindow::request() const
{
    Totals::Request r;
    r.from = m_from->date();
    r.to = m_to->date();
    if (r.from.isValid() && r.to.isValid() && r.from > r.to)
        throw Failure(QStringLiteral("Дата «с» позже даты «по»"));
    r.first = Totals::Grouping(m_first->currentData().toInt());
    const int second = m_second->currentData().toInt();
    if (second >= 0 && Totals::Grouping(second) != r.first)
        r.second = Totals::Grouping(second);
    if (m_useSearch->isChecked() && m_searchLines)
        r.searchLines = m_searchLines();
    return r;
}

void TotalsWindow::showTotals()
{
    if (m_thread)
        return;
    const QDateTime made = QDateTime::currentDateTime();
    m_reading = std::make_shared<Totals::Reading>(m_store, request());
    m_error.clear();
    if (!m_reading->runsApart()) {
        // No second connection sees this journal as the window's does: counted here.
        m_result = m_reading->run();
        m_reading.reset();
        finish(made);
        return;
    }
    m_show->setEnabled(false);
    m_state->setText(QStringLiteral("Подсчёт итогов…"));
    std::shared_ptr<Totals::Reading> reading = m_reading;
    m_thread = QThread::create([this, reading] {
        try {
            m_result = reading->run();
        } catch (const Failure &e) {
            m_error = e.message();
        } catch (const std::exception &e) {
            m_error = QString::fromLocal8Bit(e.what());
        }
    });
    connect(m_thread, &QThread::finished, this, [this, made] {
        m_thread->deleteLater();
        m_thread = nullptr;
        m_reading.reset();
        m_show->setEnabled(true);
        m_state->clear();
        if (!m_error.isEmpty()) {
            emit counted();
            showErrorReport(m_error);
            return;
        }
        runGuarded([&] { finish(made); });
    });
    m_thread->start();
}

void TotalsWindow::finish(const QDateTime &made)
{
    m_report.setSource(std::make_shared<report::FixedPages>(totalsreport::geometry(),
                                                            totalsreport::layout(m_result, made)));
    emit counted();
    m_report.showPreview(this);
}

#include "journal/evidencewindow.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGraphicsScene>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QValueAxis>

#include "common/errorreport.h"
#include "toolkit/report/page.h"
#include "toolkit/report/report.h"
#include "toolkit/widgetlook.h"

const QString EvidenceWindow::NoEvidenceText = QStringLiteral("Нет сведений о взвешивании");

namespace {

const QString Title = QStringLiteral("Доказательства взвешивания");

// Reading texts carry a decimal comma and may stand in blanks.
bool weightOf(const QString &text, double *value)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    *value = t.toDouble(&ok);
    return ok;
}

QString passCaption(const PassRecord &p)
{
    return QStringLiteral("%1 взвешивание: %2")
        .arg(p.pass == 1 ? QStringLiteral("Первое") : QStringLiteral("Второе"), p.mode);
}

QString shownTime(const QString &at)
{
    const QDateTime t = QDateTime::fromString(at, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : at;
}

}

EvidenceWindow::EvidenceWindow(TableStore &store, QWidget *parent) : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("EvidenceWindow"));
    setWindowTitle(Title);
    setFont(windowFont());
    auto *column = new QVBoxLayout(this);
    m_none = new QLabel(NoEvidenceText, this);
    m_none->setObjectName(QStringLiteral("NoEvidenceLabel"));
    m_none->setAlignment(Qt::AlignCenter);
    m_none->setFont(pixelFont(font(), 14, true));
    m_none->setMinimumSize(320, 80);
    column->addWidget(m_none);
    m_passArea = new QWidget(this);
    m_passLayout = new QVBoxLayout(m_passArea);
    m_passLayout->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_passArea, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_print = namedButton(QStringLiteral("EvidencePrintButton"), QStringLiteral("Печать"), this);
    setHint(m_print, {QStringLiteral("Печать и экспорт в PDF")});
    buttons->addWidget(m_print);
    column->addLayout(buttons);
    m_report = std::make_unique<report::Report>(Title, QPageLayout::Portrait);
    connect(m_print, &QPushButton::clicked, this, guarded([this] { report()->showPreview(this); }));
}

EvidenceWindow::~EvidenceWindow() = default;

void EvidenceWindow::showRow(qint64 rowId)
{
    load(rowId);
    show();
    raise();
    activateWindow();
}

void EvidenceWindow::clearPasses()
{
    while (QLayoutItem *item = m_passLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_charts.clear();
    m_facts.clear();
}

void EvidenceWindow::load(qint64 rowId)
{
    QVector<PassRecord> passes = PassLog::available(m_store) ? PassLog::forRow(m_store, rowId) : QVector<PassRecord>();
    clearPasses();
    m_rowId = rowId;
    m_passes = std::move(passes);
    const bool none = m_passes.isEmpty();
    m_none->setVisible(none);
    m_passArea->setVisible(!none);
    m_print->setVisible(!none);
    setWindowTitle(rowId ? QStringLiteral("%1: запись %2").arg(Title).arg(rowId) : Title);
    for (int i = 0; i < m_passes.size(); ++i) {
        const PassRecord &p = m_passes[i];
        auto *box = new QGroupBox(passCaption(p), m_passArea);
        auto *row = new QHBoxLayout(box);
        auto *view = new QChartView(makeChart(p), box);
        view->setObjectName(QStringLiteral("PassChart%1").arg(i + 1));
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(640, 290);
        row->addWidget(view, 1);
        const auto facts = factsOf(p);
        auto *table = new QTableWidget(int(facts.size()), 1, box);
        table->setObjectName(QStringLiteral("PassFacts%1").arg(i + 1));
        table->horizontalHeader()->hide();
        table->horizontalHeader()->setStretchLastSection(true);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < facts.size(); ++r) {
            table->setVerticalHeaderItem(r, new QTableWidgetItem(facts[r].first));
            table->setItem(r, 0, new QTableWidgetItem(facts[r].second));
        }
        table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        table->resizeRowsToContents();
        table->setFixedWidth(300);
        table->setFixedHeight(table->verticalHeader()->length() + 2 * table->frameWidth());
        table->verticalHeader()->setMinimumWidth(150);
        row->addWidget(table);
        m_passLayout->addWidget(box);
        m_charts.append(view);
        m_facts.append(table);
    }
    // The plots are drawn for paper only when printing is asked for.
    m_reportFilled = false;
    adjustSize();
}

report::Report *EvidenceWindow::report()
{
    if (!m_reportFilled && !m_passes.isEmpty())
        fillReport();
    m_reportFilled = true;
    return m_report.get();
}

QVector<QPair<QString, QString>> EvidenceWindow::factsOf(const PassRecord &p)
{
    int stable = 0;
    for (const TraceReading &r : p.trace)
        stable += r.stable ? 1 : 0;
    const QString indicator = (p.indicatorDate + QLatin1Char(' ') + p.indicatorTime).trimmed();
    return {{QStringLiteral("Запись журнала"), QString::number(p.rowId)},
            {QStringLiteral("Взвешивание"), p.pass == 1 ? QStringLiteral("первое") : QStringLiteral("второе")},
            {QStringLiteral("Режим"), p.mode},
            {QStringLiteral("Записанный вес"), (p.weight + QLatin1Char(' ') + p.unit).trimmed()},
            {QStringLiteral("Дата и время компьютера"), shownTime(p.at)},
            {QStringLiteral("Дата и время прибора"), indicator.isEmpty() ? QStringLiteral("нет часов") : indicator},
            {QStringLiteral("Весовщик"), p.operatorName},
            {QStringLiteral("Рабочее место"), p.station},
            {QStringLiteral("Показаний за 30 с"),
             QStringLiteral("%1, из них стабильных %2").arg(p.trace.size()).arg(stable)}};
}

QChart *EvidenceWindow::makeChart(const PassRecord &p)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *weight = new QLineSeries(chart);
    weight->setName(QStringLiteral("Показания прибора"));
    weight->setPen(QPen(QColor(30, 80, 180), 1.5));
    double low = 0, high = 0, stored = 0;
    const bool haveStored = weightOf(p.weight, &stored);
    bool any = false;
    const auto take = [&](double v) {
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    };
    if (haveStored)
        take(stored);
    // Stable stretches as thick green runs over the readings.
    QVector<QLineSeries *> stretches;
    QLineSeries *stretch = nullptr;
    for (const TraceReading &r : p.trace) {
        double v = 0;
        if (!weightOf(r.text, &v)) {
            stretch = nullptr;
            continue;
        }
        take(v);
        const QPointF point(r.offsetMs / 1000.0, v);
        weight->append(point);
        if (!r.stable) {
            stretch = nullptr;
            continue;
        }
        if (!stretch) {
            stretch = new QLineSeries(chart);
            stretch->setPen(QPen(QColor(0, 160, 60), 5));
            stretch->setName(QStringLiteral("Стабильно"));
            stretches.append(stretch);
        }
        stretch->append(point);
    }
    if (!any)
        high = 1;
    const double margin = std::max((high - low) * 0.1, std::max(std::abs(high) * 0.01, 0.01));
    low -= margin;
    high += margin;

    auto *press = new QLineSeries(chart);
    press->setName(QStringLiteral("Нажатие «Взвесить»"));
    QPen pressPen(Qt::red, 1.5, Qt::DashLine);
    press->setPen(pressPen);
    press->append(0, low);
    press->append(0, high);
    auto *point = new QScatterSeries(chart);
    point->setName(QStringLiteral("Записанный вес"));
    point->setMarkerSize(11);
    point->setColor(Qt::red);
    if (haveStored)
        point->append(0, stored);

    chart->addSeries(weight);
    for (QLineSeries *s : stretches)
        chart->addSeries(s);
    chart->addSeries(press);
    chart->addSeries(point);
    auto *x = new QValueAxis(chart);
    // Room on both ends, so the press and its point stand clear of the frame.
    x->setRange(-PassTrace::WindowMs / 1000.0 - 0.5, 1.5);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(5);
    x->setLabelFormat(QStringLiteral("%.0f"));
    x->setTitleText(QStringLiteral("секунды до нажатия «Взвесить»"));
    auto *y = new QValueAxis(chart);
    y->setRange(low, high);
    y->setLabelFormat(QStringLiteral("%.1f"));
    y->applyNiceNumbers();
    y->setTitleText(p.unit.isEmpty() ? QStringLiteral("вес") : QStringLiteral("вес, %1").arg(p.unit));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // One legend entry for all stable stretches.
    for (int i = 1; i < stretches.size(); ++i)
        for (QLegendMarker *m : chart->legend()->markers(stretches[i]))
            m->setVisible(false);
    return chart;
}

void EvidenceWindow::fillReport()
{
    // A4 portrait: a heading, then per pass its plot and its facts.
    report::PageGeometry geometry;
    geometry.orientation = QPageLayout::Portrait;
    report::Page page;
    const double left = 15, width = 180;
    double y = 12;
    page.items.append(report::Item::textAt(left, y, QStringLiteral("%1: запись журнала %2").arg(Title).arg(m_rowId),
                                           14, width, true));
    y += 10;
    for (const PassRecord &p : m_passes) {
        page.items.append(report::Item::textAt(left, y, passCaption(p), 11, width, true));
        y += 6;
        // The plot drawn at print size, 6 pixels to the millimetre.
        const QSizeF mm(width, 72);
        QImage image((mm * 6).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            std::unique_ptr<QChart> chart(makeChart(p));
            chart->resize(image.size());
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            QGraphicsScene scene;
            scene.addItem(chart.get());
            scene.setSceneRect(QRectF(QPointF(0, 0), image.size()));
            scene.render(&painter);
            scene.removeItem(chart.get());
        }
        page.items.append(report::Item::imageAt(QRectF(QPointF(left, y), mm), page.addImage(image)));
        y += mm.height() + 3;
        for (const auto &[caption, value] : factsOf(p)) {
            page.items.append(report::Item::textAt(left, y, caption, 9, 60));
            page.items.append(report::Item::textAt(left + 62, y, value, 9, width - 62));
            y += 4.6;
        }
        y += 6;
    }
    m_report->setSource(std::make_shared<report::FixedPages>(geometry, QVector<report::Page>{page}));
}

#include "indicator/indicatorpanel.h"

#include <QLabel>
#include <QPalette>

#include "indicator/indicatorlink.h"
#include "toolkit/lamp.h"

namespace {

const QColor StatusOnColour(0, 128, 0);
const QColor StatusOffColour(255, 0, 0);

} // namespace

IndicatorPanel::IndicatorPanel(IndicatorLink *link, const IndicatorWidgets &widgets, QObject *parent)
    : QObject(parent), m_w(widgets)
{
    // The panel is the context of every connection: without the panel the
    // link's reports reach no widget.
    connect(link, &IndicatorLink::readingShown, this, [this](const QString &t) { m_w.weight->setText(t); });
    connect(link, &IndicatorLink::unitChanged, this, [this](const QString &t) { m_w.unit->setText(t); });
    connect(link, &IndicatorLink::dateChanged, this, [this](const QString &t) { m_w.date->setText(t); });
    connect(link, &IndicatorLink::indicatorTimeChanged, this,
            [this](const QString &t) { m_w.indicatorTime->setText(t); });
    connect(link, &IndicatorLink::deviceStatusChanged, this, &IndicatorPanel::showStatus);
    connect(link, &IndicatorLink::clockSourceChanged, this, &IndicatorPanel::showClockSource);
    connect(link, &IndicatorLink::portOpenChanged, this, &IndicatorPanel::showPortOpen);
    showPortOpen(link->isPortOpen());
}

void IndicatorPanel::showStatus(bool deviceOn)
{
    m_w.status->setText(deviceOn ? QStringLiteral("Прибор Включен") : QStringLiteral("Прибор Выключен"));
    QPalette palette = m_w.status->palette();
    palette.setColor(QPalette::WindowText, deviceOn ? StatusOnColour : StatusOffColour);
    m_w.status->setPalette(palette);
}

void IndicatorPanel::showClockSource(bool indicatorClock)
{
    m_w.pcClock->setVisible(!indicatorClock);
    m_w.indicatorTime->setVisible(indicatorClock);
}

void IndicatorPanel::showPortOpen(bool open)
{
    m_w.lampMain->setLit(open);
    m_w.lampSettings->setLit(open);
}

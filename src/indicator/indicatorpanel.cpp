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
    connect(link, &IndicatorLink::readingShown, m_w.weight, &QLabel::setText);
    connect(link, &IndicatorLink::unitChanged, m_w.unit, &QLabel::setText);
    connect(link, &IndicatorLink::dateChanged, m_w.date, &QLabel::setText);
    connect(link, &IndicatorLink::indicatorTimeChanged, m_w.indicatorTime, &QLabel::setText);
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

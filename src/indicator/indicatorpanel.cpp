#include "indicator/indicatorpanel.h"

#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>

#include "indicator/indicatorlink.h"
#include "toolkit/lamp.h"
#include "toolkit/portswitch.h"

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
    // The label is StableFlag as the operator sees it: nothing else shows or hides it.
    connect(link, &IndicatorLink::stabilityChanged, this, [this](bool stable) { m_w.stability->setVisible(stable); });
    // The switch shows PortSwitch, and the operator's clicks set it.
    connect(link, &IndicatorLink::portSwitchChanged, this, [this](bool on) { m_w.portSwitch->setOn(on); });
    const QPointer<IndicatorLink> to(link);
    connect(m_w.portSwitch, &PortSwitch::switchedOn, this, [to] {
        if (to)
            to->setPortSwitch(true);
    });
    connect(m_w.portSwitch, &PortSwitch::switchedOff, this, [to] {
        if (to)
            to->setPortSwitch(false);
    });
    // Direct connections: the link waits while the box is open.
    connect(link, &IndicatorLink::pollWriteFailed, this, &IndicatorPanel::showPollWriteFailure);
    connect(link, &IndicatorLink::lineErrorOccurred, this, &IndicatorPanel::showLineError);

    m_w.stability->setVisible(link->StableFlag());
    m_w.portSwitch->setOn(link->isSwitchOn());
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

void IndicatorPanel::showPollWriteFailure()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка работы с прибором"),
                    QStringLiteral("Ошибка записи в Последовательный порт(ComPort) или Ошибка прибора!")
                        + QString(32, QLatin1Char(' '))
                        + QStringLiteral("Последовательный порт(ComPort) Выключен Автоматически!")
                        + QString(59, QLatin1Char(' ')) + QStringLiteral("Рекомендуеться Перезагрузить программу!"),
                    QMessageBox::Ok, m_w.stability->window());
    box.setTextFormat(Qt::PlainText); // the runs of blanks belong to the text
    box.exec();
}

void IndicatorPanel::showLineError()
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи в ComPort!"),
                    QMessageBox::Ok, m_w.stability->window());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

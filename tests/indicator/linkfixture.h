#pragma once
// An IndicatorLink on the real QSerialPort, handed the settings lists' texts
// as they change (as the main window does), with a simulated indicator at the
// far end of a pseudo-terminal, and no widget at all: what the panel would
// show is kept from the link's reports in `shown`.
// The link's clock is driven by hand: second() lets one second pass and waits
// until the indicator's answer to the poll has arrived, as it would within a
// real second.

#include <QDeadlineTimer>
#include <QObject>
#include <QTest>

#include <memory>

#include "indicator/devicemodel.h"
#include "indicator/indicatorlink.h"
#include "indicator/linkclock.h"
#include "simulator/simulator.h"
#include "linksecond.h"

// The panel's widgets as the link's reports leave them, with their start values.
struct ShownReports
{
    QString weight = QStringLiteral("0,000");         // RxLabel2
    QString unit = QStringLiteral("кг");              // izmer2
    QString status = QStringLiteral("Прибор Выключен"); // RxLabel23
    bool stability = false;                           // RxLabel10 shown
    QString indicatorTime = QStringLiteral("12:00");  // Panel5
    QString date;                                     // Panel3
    bool indicatorTimeShown = true;                   // Panel5 visible
    bool pcClockShown = true;                         // the computer's clock visible
    bool lampsLit = false;                            // both port lamps
};

class LinkFixture
{
public:
    explicit LinkFixture(IndicatorSimulator::Model model = IndicatorSimulator::Model::Libra124)
        : sim(model), lists{QString(), QStringLiteral("br9600"), IndicatorSimulator::modelText(model),
                            QStringLiteral("кг")}
    {
        QString error;
        plugged = sim.plug(&error);
        if (!plugged)
            qWarning("no pseudo-terminal: %s", qPrintable(error));
        sim.setSendInterval(0); // a WI2002 sends when the test says so
        lists.portName = sim.devicePath();

        link = std::make_unique<IndicatorLink>();
        showReports();
        link->setLineSettings(lists);
        link->clock()->setManual(true);
        link->setPortName(lists.portName);
    }

    // A settings list's text changes: the link is handed the lists anew.
    void choose(QString LineSettings::*list, const QString &text)
    {
        lists.*list = text;
        link->setLineSettings(lists);
    }

    // What the link reports from now on is no longer kept.
    void stopShowing() { m_shower.reset(); }

    void switchOn() { link->setPortSwitch(true); }
    void switchOff() { link->setPortSwitch(false); }

    // One second of the link: the ticks that fall due, then the indicator's
    // answer to the poll, if it gives one.
    bool second() { return linkSecond(*link, sim); }

    // The indicator sends a line of its own (what a WI2002 does); returns
    // once the link has read it.
    bool send(const QByteArray &line)
    {
        const qsizetype before = link->ReceiveBuffer().size();
        if (!sim.sendLine(line))
            return false;
        QDeadlineTimer deadline(3000);
        while (link->ReceiveBuffer().size() < before + line.size() + 2) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(1);
        }
        return true;
    }

    // Seconds until t, each one checked.
    bool secondsUntil(int t)
    {
        while (link->clock()->elapsed() < t)
            if (!second())
                return false;
        return true;
    }

    IndicatorSimulator sim;
    LineSettings lists; // the texts of comselect, comspeed, Pribor and izmer
    bool plugged = false;
    std::unique_ptr<IndicatorLink> link;
    ShownReports shown;

private:
    // The panel's part, on plain values.
    void showReports()
    {
        m_shower = std::make_unique<QObject>();
        QObject *c = m_shower.get();
        IndicatorLink *l = link.get();
        ShownReports &s = shown;
        QObject::connect(l, &IndicatorLink::readingShown, c, [&s](const QString &t) { s.weight = t; });
        QObject::connect(l, &IndicatorLink::unitChanged, c, [&s](const QString &t) { s.unit = t; });
        QObject::connect(l, &IndicatorLink::dateChanged, c, [&s](const QString &t) { s.date = t; });
        QObject::connect(l, &IndicatorLink::indicatorTimeChanged, c, [&s](const QString &t) { s.indicatorTime = t; });
        QObject::connect(l, &IndicatorLink::deviceStatusChanged, c, [&s](bool on) {
            s.status = on ? QStringLiteral("Прибор Включен") : QStringLiteral("Прибор Выключен");
        });
        QObject::connect(l, &IndicatorLink::stabilityChanged, c, [&s](bool stable) { s.stability = stable; });
        QObject::connect(l, &IndicatorLink::clockSourceChanged, c, [&s](bool indicatorClock) {
            s.indicatorTimeShown = indicatorClock;
            s.pcClockShown = !indicatorClock;
        });
        QObject::connect(l, &IndicatorLink::portOpenChanged, c, [&s](bool open) { s.lampsLit = open; });
    }

    std::unique_ptr<QObject> m_shower;
};

#pragma once
// An indicator panel with its real widgets and the settings lists, an
// IndicatorLink on the real QSerialPort handed the lists' texts as they
// change (as the main window does), and a simulated indicator at the far end of a pseudo-terminal.
// The link's clock is driven by hand: second() lets one second pass and waits
// until the indicator's answer to the poll has arrived, as it would within a
// real second.

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <memory>

#include "toolkit/clocklabel.h"
#include "indicator/devicemodel.h"
#include "indicator/indicatorlink.h"
#include "indicator/indicatorpanel.h"
#include "indicator/indicatorwidgets.h"
#include "toolkit/lamp.h"
#include "indicator/linkclock.h"
#include "toolkit/portswitch.h"
#include "simulator/simulator.h"
#include "linksecond.h"

// The panel's widgets and the settings lists beside them.
struct FixtureWidgets : IndicatorWidgets
{
    QComboBox *speed = nullptr; // comspeed
    QComboBox *model = nullptr; // Pribor
    QComboBox *port = nullptr;  // comselect
    QComboBox *units = nullptr; // izmer
};

class LinkFixture
{
public:
    explicit LinkFixture(IndicatorSimulator::Model model = IndicatorSimulator::Model::Libra124)
        : sim(model)
    {
        w.weight = label("RxLabel2", QStringLiteral("0,000"));
        w.unit = label("izmer2", QStringLiteral("кг"));
        w.status = label("RxLabel23", QStringLiteral("Прибор Выключен"));
        w.stability = label("RxLabel10", QStringLiteral("Стабильность"));
        w.stability->hide();
        w.indicatorTime = label("Panel5", QStringLiteral("12:00"));
        w.date = label("Panel3", QString());
        w.pcClock = new ClockLabel(&window);
        w.portSwitch = new PortSwitch(&window);
        w.portSwitch->setObjectName(QStringLiteral("RxSwitch1"));
        w.lampMain = new Lamp(&window);
        w.lampSettings = new Lamp(&window);
        w.speed = combo("comspeed", DeviceModel::speedNames(), QStringLiteral("br9600"));
        w.model = combo("Pribor", DeviceModel::modelNames(), IndicatorSimulator::modelText(model));
        w.port = combo("comselect", DeviceModel::portNames(), QString());
        w.units = combo("izmer", {QStringLiteral("кг"), QStringLiteral("тонны")}, QStringLiteral("кг"));

        QString error;
        plugged = sim.plug(&error);
        if (!plugged)
            qWarning("no pseudo-terminal: %s", qPrintable(error));
        sim.setSendInterval(0); // a WI2002 sends when the test says so
        w.port->setCurrentText(sim.devicePath());

        link = std::make_unique<IndicatorLink>(w.portSwitch, w.stability);
        panel = std::make_unique<IndicatorPanel>(link.get(), w);
        link->setLineSettings(lineSettings());
        for (QComboBox *list : {w.speed, w.model, w.port, w.units})
            QObject::connect(list, &QComboBox::currentTextChanged, link.get(),
                             [this] { link->setLineSettings(lineSettings()); });
        link->clock()->setManual(true);
        link->setPortName(w.port->currentText());
    }

    LineSettings lineSettings() const
    {
        return LineSettings{w.port->currentText(), w.speed->currentText(), w.model->currentText(),
                            w.units->currentText()};
    }

    void switchOn() { w.portSwitch->setOn(true); }
    void switchOff() { w.portSwitch->setOn(false); }

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

    QWidget window;
    FixtureWidgets w;
    IndicatorSimulator sim;
    bool plugged = false;
    std::unique_ptr<IndicatorLink> link;
    std::unique_ptr<IndicatorPanel> panel;

private:
    QLabel *label(const char *name, const QString &text)
    {
        auto *l = new QLabel(text, &window);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    }

    QComboBox *combo(const char *name, const QStringList &items, const QString &text)
    {
        auto *c = new QComboBox(&window);
        c->setObjectName(QString::fromLatin1(name));
        c->setEditable(true);
        c->addItems(items);
        c->setCurrentText(text);
        return c;
    }
};

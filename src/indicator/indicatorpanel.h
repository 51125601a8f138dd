#pragma once
// The indicator panel of the main window: shows what the IndicatorLink
// reports in the widgets the main window made (see IndicatorWidgets), hands
// the port switch's clicks to the link, and tells the operator of the link's
// faults in modal boxes over the panel's window.

#include <QObject>

#include "indicator/indicatorwidgets.h"

class IndicatorLink;

class IndicatorPanel : public QObject
{
    Q_OBJECT
public:
    IndicatorPanel(IndicatorLink *link, const IndicatorWidgets &widgets, QObject *parent = nullptr);

    const IndicatorWidgets &widgets() const { return m_w; }

private:
    void showStatus(bool deviceOn);
    void showClockSource(bool indicatorClock);
    void showPortOpen(bool open);
    void showPollWriteFailure();
    void showLineError();

    IndicatorWidgets m_w;
};

#pragma once
// The indicator panel of the main window: shows what the IndicatorLink
// reports in the widgets the main window made (see IndicatorWidgets). The
// stability label is the link's own to show or hide; the panel never sets it.

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

    IndicatorWidgets m_w;
};

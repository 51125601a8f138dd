#include "toolkit/clocklabel.h"

#include <QLocale>
#include <QTime>

ClockLabel::ClockLabel(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    connect(&m_timer, &QTimer::timeout, this, &ClockLabel::refresh);
    m_timer.start(1000);
    refresh();
}

void ClockLabel::refresh()
{
    setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

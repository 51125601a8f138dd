#pragma once
// A control's hint: its lines as the tooltip, and the lines joined on one
// line as the status-bar text (the status bar has room for one line only).

#include <QStringList>
#include <QWidget>

inline void setHint(QWidget *w, const QStringList &lines)
{
    w->setToolTip(lines.join(QLatin1Char('\n')));
    QStringList oneLine;
    for (const QString &l : lines)
        oneLine << l.trimmed();
    w->setStatusTip(oneLine.join(QLatin1Char(' ')));
}

#pragma once
// Small helpers every window uses for the look of its controls.

#include <QColor>
#include <QPalette>
#include <QStringList>
#include <QWidget>

// A control's hint: its lines as the tooltip, and the lines joined on one
// line as the status-bar text (the status bar has room for one line only).
inline void setHint(QWidget *w, const QStringList &lines)
{
    w->setToolTip(lines.join(QLatin1Char('\n')));
    QStringList oneLine;
    for (const QString &l : lines)
        oneLine << l.trimmed();
    w->setStatusTip(oneLine.join(QLatin1Char(' ')));
}

// Text colour of labels, buttons and editable fields alike.
inline void paintText(QWidget *w, const QColor &color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::ButtonText, color);
    pal.setColor(QPalette::Text, color);
    w->setPalette(pal);
}

#pragma once
// Small helpers every window uses for the look of its controls.

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QPushButton>
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

// The face of every window of the program. Where "MS Sans Serif" is
// missing, an Arial-sized face keeps the captions in the room they were laid
// out for.
inline QFont windowFont()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}

// The window's face at a pixel size (0: the size it has), bold or not.
inline QFont pixelFont(const QFont &base, int pixels, bool bold)
{
    QFont f = base;
    if (pixels > 0)
        f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// A push button with its objectName, so that it can be found by name.
inline QPushButton *namedButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

// Puts the window in the middle of its screen's free area, its frame
// included once the window system knows it.
inline void centreOnDesktop(QWidget *w)
{
    QScreen *s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect frame = w->frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    w->move(frame.topLeft());
}

#pragma once
// Keys as a keyboard delivers them: each one goes where the application
// routes it (an open popup first, then the focused widget of the active
// window), carrying its text, Cyrillic included. Clicks as a mouse delivers
// them, through the window.

#include <QString>
#include <Qt>

class QWidget;

// Types the text one key at a time.
void typeKeys(const QString &text);
// One key without text (Tab, Return, Down ...).
void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The same, aimed at one window: into the widget that has the focus inside
// it (a modal dialog that is not the active window included).
QWidget *focusedIn(QWidget *window);
void type(QWidget *window, const QString &text);
void key(QWidget *window, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier);

// A left click in the middle of the widget, through its window (an open popup
// sees it first, as it would see a mouse's).
void clickOn(QWidget *w);

#pragma once
// Keys as a keyboard delivers them: each one goes where the application
// routes it (an open popup first, then the focused widget of the active
// window), carrying its text, Cyrillic included.

#include <QString>
#include <Qt>

// Types the text one key at a time.
void typeKeys(const QString &text);
// One key without text (Tab, Return, Down ...).
void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

#include "keyboard.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

void typeKeys(const QString &text)
{
    for (const QChar c : text) {
        // Qt names a letter key by its capital letter.
        const auto key = Qt::Key(c.toUpper().unicode());
        // No widget given: QTest sends the key where the application would.
        QTest::sendKeyEvent(QTest::Click, static_cast<QWidget *>(nullptr), key, QString(c), Qt::NoModifier);
    }
}

void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QString text;
    if (key == Qt::Key_Tab)
        text = QStringLiteral("\t");
    else if (key == Qt::Key_Return)
        text = QStringLiteral("\r");
    QTest::sendKeyEvent(QTest::Click, static_cast<QWidget *>(nullptr), key, text, modifiers);
}

QWidget *focusedIn(QWidget *window)
{
    QWidget *w = QApplication::focusWidget();
    return w && window->isAncestorOf(w) ? w : window->focusWidget();
}

void type(QWidget *window, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, focusedIn(window), Qt::Key(ch.toUpper().unicode()), QString(ch),
                            Qt::NoModifier);
}

void key(QWidget *window, Qt::Key k, Qt::KeyboardModifiers m)
{
    QTest::keyClick(focusedIn(window), k, m);
}

void clickOn(QWidget *w)
{
    QWidget *window = w->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(window, w->rect().center()));
}

#include "keyboard.h"

#include <QTest>

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

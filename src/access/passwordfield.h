#pragma once
// A password field as every sign-in of the program shows it: one "*" for
// each character typed, whatever the style's own mask character is.

#include <QRect>
#include <QString>

class QLineEdit;
class QWidget;

QLineEdit *passwordField(const QString &name, QWidget *parent, const QRect &geometry);

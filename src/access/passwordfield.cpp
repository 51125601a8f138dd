#include "access/passwordfield.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>

namespace {

class AsteriskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *data) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QStyle *asteriskStyle()
{
    // One instance for the run, owned by the application so that it outlives
    // every field that uses it.
    static QPointer<AsteriskStyle> style;
    if (!style) {
        style = new AsteriskStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

QLineEdit *passwordField(const QString &name, QWidget *parent, const QRect &geometry)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setStyle(asteriskStyle());
    e->setEchoMode(QLineEdit::Password);
    e->setGeometry(geometry);
    return e;
}

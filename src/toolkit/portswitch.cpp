#include "toolkit/portswitch.h"

#include <QKeyEvent>
#include <QPainter>

PortSwitch::PortSwitch(QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::toggled, this, &PortSwitch::onToggled);
}

void PortSwitch::setOn(bool on)
{
    if (on != isChecked())
        setChecked(on);
}

void PortSwitch::onToggled(bool checked)
{
    if (checked)
        emit switchedOn();
    else
        emit switchedOff();
}

QSize PortSwitch::sizeHint() const { return QSize(50, 22); }

void PortSwitch::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_A && (e->modifiers() & Qt::ControlModifier)) {
        setOn(!isOn());
        e->accept();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void PortSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = r.height() / 2;
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(isOn() ? QColor(0x2e, 0xa0, 0x43) : QColor(0xc8, 0xc8, 0xc8));
    p.drawRoundedRect(r, radius, radius);
    const qreal d = r.height() - 4;
    const qreal x = isOn() ? r.right() - d - 2 : r.left() + 2;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, r.top() + 2, d, d));
    if (hasFocus()) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    }
}

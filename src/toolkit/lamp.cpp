#include "toolkit/lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent) : QWidget(parent) { setFixedSize(16, 16); }

void Lamp::setLit(bool lit)
{
    if (m_lit == lit)
        return;
    m_lit = lit;
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(5.5, 5.5), 9);
    if (m_lit) {
        g.setColorAt(0, QColor(0xb8, 0xff, 0xb8));
        g.setColorAt(1, QColor(0x00, 0xa0, 0x00));
    } else {
        g.setColorAt(0, QColor(0x6a, 0x8a, 0x6a));
        g.setColorAt(1, QColor(0x10, 0x40, 0x10));
    }
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, 14, 14));
}

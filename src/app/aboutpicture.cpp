#include "app/aboutpicture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

void drawSky(QPainter &p, const QRect &r)
{
    QLinearGradient sky(r.topLeft(), QPoint(r.left(), 300));
    sky.setColorAt(0, QColor(0x3d, 0x7e, 0xc6));
    sky.setColorAt(1, QColor(0xcf, 0xe6, 0xf7));
    p.fillRect(QRect(r.left(), r.top(), r.width(), 300), sky);

    // sun and a few clouds
    QRadialGradient sun(QPointF(585, 60), 38);
    sun.setColorAt(0, QColor(255, 250, 210));
    sun.setColorAt(0.6, QColor(255, 228, 120));
    sun.setColorAt(1, QColor(255, 228, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(585, 60), 38, 38);

    p.setBrush(QColor(255, 255, 255, 220));
    const QPointF clouds[] = {{330, 52}, {360, 44}, {390, 55}, {120, 88}, {150, 80}, {178, 90}};
    for (const QPointF &c : clouds)
        p.drawEllipse(c, 26, 14);
}

void drawBackground(QPainter &p)
{
    // distant hills
    QPainterPath hills;
    hills.moveTo(0, 250);
    hills.cubicTo(120, 200, 220, 235, 330, 215);
    hills.cubicTo(430, 198, 540, 240, 660, 212);
    hills.lineTo(660, 300);
    hills.lineTo(0, 300);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7d, 0xa8, 0x6a));
    p.drawPath(hills);

    // a warehouse on the left
    p.setBrush(QColor(0xb9, 0xb2, 0xa6));
    p.drawRect(10, 196, 92, 80);
    p.setBrush(QColor(0x8a, 0x3b, 0x2e));
    QPolygonF roof({QPointF(4, 198), QPointF(56, 170), QPointF(108, 198)});
    p.drawPolygon(roof);
    p.setBrush(QColor(0x6b, 0x6b, 0x6b));
    p.drawRect(34, 226, 44, 50);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    for (int y = 232; y < 276; y += 6)
        p.drawLine(35, y, 77, y);

    // ground and the access road
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9d, 0xa5, 0x86));
    p.drawRect(0, 276, 660, 135);
    p.setBrush(QColor(0x6e, 0x6e, 0x70));
    p.drawRect(0, 322, 660, 40);
}

void drawWeighbridge(QPainter &p)
{
    // concrete foundation with the pit
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    p.setBrush(QColor(0xc4, 0xc0, 0xb8));
    p.drawRect(60, 336, 470, 26);

    // ramps on both ends
    p.setBrush(QColor(0x8c, 0x8c, 0x8c));
    p.drawPolygon(QPolygonF({QPointF(20, 350), QPointF(72, 330), QPointF(72, 350)}));
    p.drawPolygon(QPolygonF({QPointF(518, 330), QPointF(570, 350), QPointF(518, 350)}));

    // the steel platform, ribbed
    QLinearGradient steel(QPointF(0, 328), QPointF(0, 344));
    steel.setColorAt(0, QColor(0x9a, 0xa4, 0xad));
    steel.setColorAt(1, QColor(0x4c, 0x55, 0x5e));
    p.setBrush(steel);
    p.drawRect(72, 328, 446, 16);
    p.setPen(QPen(QColor(0x3a, 0x40, 0x46), 1));
    for (int x = 84; x < 518; x += 24)
        p.drawLine(x, 329, x, 343);

    // load cells under the platform
    p.setBrush(QColor(0xd8, 0x9a, 0x1e));
    for (int x : {96, 230, 362, 492}) {
        p.drawRect(x - 7, 344, 14, 10);
        p.drawLine(x, 354, x, 360);
    }

    // cable to the indicator booth
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(492, 358);
    cable.cubicTo(540, 372, 570, 372, 590, 350);
    p.drawPath(cable);
}

void drawWheel(QPainter &p, QPointF c)
{
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
    p.setBrush(QColor(0x22, 0x22, 0x22));
    p.drawEllipse(c, 22, 22);
    p.setBrush(QColor(0xa8, 0xa8, 0xa8));
    p.drawEllipse(c, 11, 11);
    p.setBrush(QColor(0x55, 0x55, 0x55));
    p.drawEllipse(c, 4, 4);
}

void drawTruck(QPainter &p)
{
    // chassis frame
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x2a, 0x2a));
    p.drawRect(110, 286, 390, 12);

    // cargo body with a load of gravel
    QPainterPath load;
    load.moveTo(122, 200);
    load.cubicTo(160, 184, 220, 178, 270, 186);
    load.cubicTo(320, 178, 366, 186, 388, 200);
    load.closeSubpath();
    p.setBrush(QColor(0x9b, 0x86, 0x6c));
    p.drawPath(load);

    QLinearGradient body(QPointF(0, 198), QPointF(0, 288));
    body.setColorAt(0, QColor(0x3b, 0x78, 0xc4));
    body.setColorAt(1, QColor(0x1d, 0x4a, 0x86));
    p.setPen(QPen(QColor(0x12, 0x2c, 0x52), 1.5));
    p.setBrush(body);
    p.drawRect(QRectF(116, 198, 276, 88));
    p.setPen(QPen(QColor(0x16, 0x3a, 0x6a), 1));
    for (int x = 150; x < 392; x += 34)
        p.drawLine(x, 202, x, 282);

    // cab
    QPainterPath cab;
    cab.moveTo(400, 286);
    cab.lineTo(400, 206);
    cab.lineTo(462, 206);
    cab.lineTo(500, 246);
    cab.lineTo(506, 286);
    cab.closeSubpath();
    QLinearGradient cabPaint(QPointF(0, 206), QPointF(0, 286));
    cabPaint.setColorAt(0, QColor(0xe0, 0x3a, 0x2a));
    cabPaint.setColorAt(1, QColor(0x9c, 0x1e, 0x14));
    p.setPen(QPen(QColor(0x5a, 0x10, 0x0a), 1.5));
    p.setBrush(cabPaint);
    p.drawPath(cab);

    // windows, door line, bumper and lights
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(QColor(0xbf, 0xe3, 0xf5));
    p.drawPolygon(QPolygonF({QPointF(458, 214), QPointF(490, 246), QPointF(458, 246)}));
    p.drawRect(QRectF(412, 214, 38, 32));
    p.drawLine(QPointF(454, 250), QPointF(454, 284));
    p.setBrush(QColor(0x50, 0x50, 0x50));
    p.drawRect(QRectF(496, 276, 14, 12));
    p.setBrush(QColor(0xff, 0xe8, 0x80));
    p.drawRect(QRectF(498, 262, 8, 8));

    // exhaust pipe behind the cab
    p.setBrush(QColor(0x70, 0x70, 0x70));
    p.drawRect(QRectF(394, 176, 5, 30));

    for (QPointF c : {QPointF(158, 306), QPointF(210, 306), QPointF(346, 306), QPointF(462, 306)})
        drawWheel(p, c);
}

void drawBooth(QPainter &p)
{
    // the weigher's booth with the indicator on its wall
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
    p.setBrush(QColor(0xe9, 0xe4, 0xd4));
    p.drawRect(562, 220, 90, 108);
    p.setBrush(QColor(0x4a, 0x4a, 0x4a));
    p.drawRect(556, 212, 102, 10);
    p.setBrush(QColor(0xbf, 0xe3, 0xf5));
    p.drawRect(574, 234, 66, 34);

    // indicator: dark case, red figures
    p.setBrush(QColor(0x22, 0x22, 0x26));
    p.drawRoundedRect(QRectF(570, 280, 76, 32), 3, 3);
    QFont digits(QStringLiteral("Liberation Mono"));
    digits.setStyleHint(QFont::Monospace);
    digits.setPixelSize(15);
    digits.setBold(true);
    p.setFont(digits);
    p.setPen(QColor(0xff, 0x30, 0x20));
    p.drawText(QRectF(570, 282, 76, 20), Qt::AlignCenter, QStringLiteral("14,380"));
    QFont small = digits;
    small.setPixelSize(8);
    small.setBold(false);
    p.setFont(small);
    p.setPen(QColor(0x9a, 0xff, 0x9a));
    p.drawText(QRectF(570, 300, 76, 10), Qt::AlignCenter, QStringLiteral("т   STAB"));
}

void drawCaption(QPainter &p)
{
    QFont title(QStringLiteral("Liberation Sans"));
    title.setStyleHint(QFont::SansSerif);
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(22, 52), QStringLiteral("Кродалин"));
    p.setPen(QColor(0xb0, 0x10, 0x10));
    p.drawText(QPointF(20, 50), QStringLiteral("Кродалин"));

    QFont sub = title;
    sub.setPixelSize(16);
    p.setFont(sub);
    p.setPen(QColor(0x10, 0x28, 0x50));
    p.drawText(QPointF(22, 76), QStringLiteral("для автомобильных весов v.11.0.5"));

    QFont foot = title;
    foot.setPixelSize(13);
    foot.setBold(false);
    p.setFont(foot);
    p.fillRect(QRect(0, 372, 660, 39), QColor(0x20, 0x30, 0x48, 200));
    p.setPen(QColor(0xf4, 0xf4, 0xf4));
    p.drawText(QRectF(0, 372, 660, 34), Qt::AlignCenter,
               QStringLiteral("Взвешивание автомобилей, учёт грузов и печать "
                              "дорожно-транспортных накладных"));
}

}

QImage drawAboutPicture()
{
    QImage image(AboutPictureSize, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawSky(p, image.rect());
    drawBackground(p);
    drawWeighbridge(p);
    drawTruck(p);
    drawBooth(p);
    drawCaption(p);
    p.end();
    return image;
}

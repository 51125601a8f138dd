#include "access/loginpictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor Navy(0x1f, 0x3a, 0x68);
const QColor Steel(0x2f, 0x5d, 0x9b);
const QColor Skin(0xf1, 0xc2, 0x9a);
const QColor SkinShade(0xd9, 0xa4, 0x7c);
const QColor Gold(0xe3, 0xb1, 0x2f);
const QColor GoldDark(0xa6, 0x7a, 0x12);

QFont pictureFont(int pixelSize, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QImage blankImage(QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// A steelyard balance: the mark of a weighbridge program.
void drawBalance(QPainter &p, const QPointF &c, qreal s, const QColor &ink)
{
    p.save();
    p.translate(c);
    p.scale(s, s);
    p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(0, -13), QPointF(0, 12));           // post
    p.drawLine(QPointF(-9, 13), QPointF(9, 13));           // foot
    p.drawLine(QPointF(-15, -9), QPointF(15, -9));         // beam
    p.setBrush(ink);
    p.drawEllipse(QPointF(0, -13), 2.2, 2.2);
    p.setBrush(Qt::NoBrush);
    for (int side : {-1, 1}) {
        const qreal x = 15 * side;
        p.drawLine(QPointF(x, -9), QPointF(x - 5, 3));
        p.drawLine(QPointF(x, -9), QPointF(x + 5, 3));
        QPainterPath pan;
        pan.moveTo(x - 7, 3);
        pan.quadTo(x, 10, x + 7, 3);
        pan.closeSubpath();
        p.setBrush(ink);
        p.drawPath(pan);
        p.setBrush(Qt::NoBrush);
    }
    p.restore();
}

// Background card of the small portraits.
void drawPortraitCard(QPainter &p, QSize size, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(0x8a, 0x9b, 0xb4), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 6, 6);
}

// Head and neck of a portrait bust centred at x.
void drawHead(QPainter &p, qreal x, qreal y, qreal r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(SkinShade);
    p.drawRect(QRectF(x - r * 0.42, y + r * 0.6, r * 0.84, r * 0.9));   // neck
    QRadialGradient face(QPointF(x - r * 0.3, y - r * 0.3), r * 1.4);
    face.setColorAt(0, Skin.lighter(108));
    face.setColorAt(1, SkinShade);
    p.setBrush(face);
    p.drawEllipse(QPointF(x, y), r * 0.92, r);
    // ears, eyes, a smile
    p.setBrush(SkinShade);
    p.drawEllipse(QPointF(x - r * 0.92, y + r * 0.1), r * 0.16, r * 0.26);
    p.drawEllipse(QPointF(x + r * 0.92, y + r * 0.1), r * 0.16, r * 0.26);
    p.setBrush(QColor(0x33, 0x2a, 0x22));
    p.drawEllipse(QPointF(x - r * 0.35, y), r * 0.1, r * 0.12);
    p.drawEllipse(QPointF(x + r * 0.35, y), r * 0.1, r * 0.12);
    p.setPen(QPen(QColor(0x9a, 0x4e, 0x3c), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(x - r * 0.35, y + r * 0.2, r * 0.7, r * 0.45), 200 * 16, 140 * 16);
}

QPainterPath shoulders(qreal cx, qreal top, qreal bottom, qreal halfWidth)
{
    QPainterPath path;
    path.moveTo(cx - halfWidth, bottom);
    path.cubicTo(cx - halfWidth, top + 4, cx - halfWidth * 0.6, top, cx - 8, top);
    path.lineTo(cx + 8, top);
    path.cubicTo(cx + halfWidth * 0.6, top, cx + halfWidth, top + 4, cx + halfWidth, bottom);
    path.closeSubpath();
    return path;
}

void drawKey(QPainter &p, const QPointF &at, qreal angle, qreal s)
{
    p.save();
    p.translate(at);
    p.rotate(angle);
    p.scale(s, s);
    QLinearGradient metal(0, -10, 0, 10);
    metal.setColorAt(0, Gold.lighter(125));
    metal.setColorAt(1, Gold.darker(112));
    p.setPen(QPen(GoldDark, 1.2));
    p.setBrush(metal);
    QPainterPath key;
    key.addEllipse(QPointF(0, 0), 10, 10);
    key.addRect(QRectF(8, -2.5, 30, 5));
    key.addRect(QRectF(28, 2.5, 4, 6));
    key.addRect(QRectF(34, 2.5, 4, 8));
    key.setFillRule(Qt::WindingFill);
    p.drawPath(key.simplified());
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(-2, 0), 3.8, 3.8);
    p.restore();
}

} // namespace

QImage drawLoginHeader(QSize size)
{
    QImage img = blankImage(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = size.width();
    const int h = size.height();

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, Steel);
    sky.setColorAt(1, Navy);
    p.fillRect(img.rect(), sky);

    // a truck standing on the weighbridge deck, faint, above the subtitle
    const QColor ghost(255, 255, 255, 60);
    const qreal deck = h / 2.0;
    p.setPen(Qt::NoPen);
    p.setBrush(ghost);
    p.drawRect(QRectF(w - 124, deck, 116, 3));                       // deck
    p.drawRoundedRect(QRectF(w - 116, deck - 26, 64, 20), 2, 2);    // body
    QPainterPath cab;
    cab.moveTo(w - 49, deck - 6);
    cab.lineTo(w - 49, deck - 24);
    cab.lineTo(w - 32, deck - 24);
    cab.lineTo(w - 24, deck - 14);
    cab.lineTo(w - 24, deck - 6);
    cab.closeSubpath();
    p.drawPath(cab);
    p.setBrush(QColor(255, 255, 255, 90));
    for (qreal x : {w - 104.0, w - 88.0, w - 36.0})
        p.drawEllipse(QPointF(x, deck - 4), 4.5, 4.5);

    // the emblem
    const QPointF centre(34, h / 2.0);
    QRadialGradient disc(centre - QPointF(6, 6), 30);
    disc.setColorAt(0, Qt::white);
    disc.setColorAt(1, QColor(0xd6, 0xe2, 0xf3));
    p.setPen(QPen(Gold, 2));
    p.setBrush(disc);
    p.drawEllipse(centre, 24, 24);
    drawBalance(p, centre + QPointF(0, 1), 0.95, Navy);

    p.setPen(Qt::white);
    p.setFont(pictureFont(22, true));
    p.drawText(QPointF(68, h / 2.0 + 1), QStringLiteral("Кродалин"));
    p.setPen(QColor(0xc9, 0xda, 0xf2));
    p.setFont(pictureFont(11, false));
    p.drawText(QPointF(69, h / 2.0 + 17), QStringLiteral("автомобильные весы · вход в программу"));

    // a gold rule along the bottom edge
    p.fillRect(QRect(0, h - 3, w, 3), Gold);
    return img;
}

QImage drawOperatorPicture()
{
    const QSize size = PersonPictureSize;
    QImage img = blankImage(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawPortraitCard(p, size, QColor(0xee, 0xf4, 0xfb), QColor(0xc9, 0xd8, 0xec));

    const qreal cx = size.width() / 2.0;
    drawHead(p, cx, 38, 15);

    // work jacket with a reflective band
    QPainterPath body = shoulders(cx, 58, size.height() - 1.5, 31);
    p.setPen(QPen(QColor(0x1c, 0x2f, 0x52), 1));
    p.setBrush(QColor(0x2c, 0x4f, 0x8a));
    p.drawPath(body);
    p.save();
    p.setClipPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xd0, 0x3a));
    p.drawRect(QRectF(0, 76, size.width(), 5));
    p.setBrush(QColor(0xdd, 0xdd, 0xdd));
    p.drawRect(QRectF(cx - 1, 58, 2, 40));   // zip
    p.restore();

    // cap with a visor
    p.setPen(QPen(QColor(0x1c, 0x2f, 0x52), 1));
    p.setBrush(QColor(0xe0, 0x5a, 0x2b));
    QPainterPath cap;
    cap.moveTo(cx - 15, 32);
    cap.cubicTo(cx - 15, 14, cx + 15, 14, cx + 15, 32);
    cap.closeSubpath();
    p.drawPath(cap);
    p.drawRoundedRect(QRectF(cx - 16, 29, 34, 5), 2, 2);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(cx, 23), 2.5, 2.5);

    // a weighing slip in hand
    p.setPen(QPen(QColor(0x7b, 0x86, 0x96), 1));
    p.setBrush(Qt::white);
    p.save();
    p.translate(size.width() - 22, 66);
    p.rotate(-10);
    p.drawRect(QRectF(0, 0, 16, 20));
    p.setPen(QPen(QColor(0x9a, 0xa6, 0xb8), 1));
    for (int y = 4; y < 18; y += 4)
        p.drawLine(QPointF(3, y), QPointF(13, y));
    p.restore();
    return img;
}

QImage drawAdministratorPicture()
{
    const QSize size = PersonPictureSize;
    QImage img = blankImage(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawPortraitCard(p, size, QColor(0xf7, 0xf1, 0xe4), QColor(0xe2, 0xd3, 0xb4));

    const qreal cx = size.width() / 2.0;
    drawHead(p, cx, 38, 15);
    // hair
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x36, 0x28));
    QPainterPath hair;
    hair.moveTo(cx - 14, 34);
    hair.cubicTo(cx - 16, 16, cx + 16, 16, cx + 14, 34);
    hair.cubicTo(cx + 10, 26, cx - 4, 24, cx - 14, 34);
    p.drawPath(hair);

    // suit, shirt and tie
    QPainterPath body = shoulders(cx, 58, size.height() - 1.5, 31);
    p.setPen(QPen(QColor(0x22, 0x22, 0x28), 1));
    p.setBrush(QColor(0x3a, 0x3d, 0x48));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(cx - 9, 58), QPointF(cx + 9, 58), QPointF(cx, 80)}));
    p.setBrush(QColor(0xb3, 0x1b, 0x1b));
    p.drawPolygon(QPolygonF({QPointF(cx - 3, 59), QPointF(cx + 3, 59), QPointF(cx + 2, 63), QPointF(cx - 2, 63)}));
    p.drawPolygon(QPolygonF({QPointF(cx - 2, 63), QPointF(cx + 2, 63), QPointF(cx + 4, 78), QPointF(cx, 83),
                             QPointF(cx - 4, 78)}));
    // a key on the badge
    drawKey(p, QPointF(cx + 15, 74), -35, 0.38);
    return img;
}

QImage drawAccountsPicture()
{
    const QSize size = AccountsPictureSize;
    QImage img = blankImage(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();

    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(0xe9, 0xf0, 0xf8));
    bg.setColorAt(1, QColor(0xc4, 0xd4, 0xe8));
    p.setPen(QPen(QColor(0x8a, 0x9b, 0xb4), 1));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 8, 8);

    // clipboard with the list of accounts
    const QRectF board(40, 22, 200, 232);
    p.setPen(QPen(QColor(0x6b, 0x46, 0x22), 1.5));
    QLinearGradient wood(board.topLeft(), board.bottomRight());
    wood.setColorAt(0, QColor(0xc3, 0x8b, 0x52));
    wood.setColorAt(1, QColor(0x99, 0x64, 0x33));
    p.setBrush(wood);
    p.drawRoundedRect(board, 8, 8);
    const QRectF sheet = board.adjusted(12, 20, -12, -12);
    p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    // the clip
    QLinearGradient metal(0, 10, 0, 36);
    metal.setColorAt(0, QColor(0xf2, 0xf2, 0xf2));
    metal.setColorAt(1, QColor(0x8c, 0x8c, 0x8c));
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(board.center().x() - 34, 12, 68, 24), 5, 5);
    p.setBrush(QColor(0x60, 0x60, 0x60));
    p.drawEllipse(QPointF(board.center().x(), 20), 4, 4);

    // the sheet: a heading and account rows, names and hidden passwords
    p.setPen(Navy);
    p.setFont(pictureFont(13, true));
    p.drawText(QRectF(sheet.left(), sheet.top() + 6, sheet.width(), 18), Qt::AlignCenter,
               QStringLiteral("Пользователи"));
    p.setPen(QPen(QColor(0xd3, 0x3b, 0x2f), 1));
    p.drawLine(QPointF(sheet.left() + 26, sheet.top() + 28), QPointF(sheet.left() + 26, sheet.bottom() - 4));
    const qreal nameWidths[] = {92, 70, 104, 80, 62, 96};
    qreal y = sheet.top() + 40;
    for (qreal nameWidth : nameWidths) {
        if (y > sheet.bottom() - 14)
            break;
        // a tiny person
        p.setPen(Qt::NoPen);
        p.setBrush(Steel);
        p.drawEllipse(QPointF(sheet.left() + 13, y - 4), 3.2, 3.2);
        p.drawPie(QRectF(sheet.left() + 7, y, 12, 10), 0, 180 * 16);
        // the name and the password
        p.setBrush(QColor(0x55, 0x5f, 0x6e));
        p.drawRoundedRect(QRectF(sheet.left() + 32, y - 4, nameWidth, 4), 2, 2);
        p.setPen(QColor(0x9a, 0xa3, 0xaf));
        p.setFont(pictureFont(11, true));
        p.drawText(QPointF(sheet.left() + 32, y + 10), QStringLiteral("* * * * *"));
        p.setPen(QPen(QColor(0xcf, 0xdf, 0xf0), 1));
        p.drawLine(QPointF(sheet.left() + 4, y + 14), QPointF(sheet.right() - 4, y + 14));
        y += 30;
    }

    // a pencil across the corner of the board
    p.save();
    p.translate(226, 206);
    p.rotate(-52);
    p.setPen(QPen(QColor(0x5a, 0x45, 0x10), 1));
    p.setBrush(QColor(0xf2, 0xc1, 0x2e));
    p.drawRect(QRectF(0, -6, 84, 12));
    p.setBrush(QColor(0xf6, 0xd7, 0xa6));
    p.drawPolygon(QPolygonF({QPointF(0, -6), QPointF(0, 6), QPointF(-18, 0)}));
    p.setBrush(QColor(0x33, 0x33, 0x33));
    p.drawPolygon(QPolygonF({QPointF(-12, -2), QPointF(-12, 2), QPointF(-18, 0)}));
    p.setBrush(QColor(0xe8, 0x8f, 0xa0));
    p.drawRect(QRectF(84, -6, 10, 12));
    p.setBrush(QColor(0xbf, 0xbf, 0xbf));
    p.drawRect(QRectF(78, -6, 6, 12));
    p.restore();

    // the key that opens the list
    drawKey(p, QPointF(252, 64), 28, 1.15);
    return img;
}

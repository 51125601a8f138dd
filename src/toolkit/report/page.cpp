#include "toolkit/report/page.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

namespace report {

int Page::addImage(const QImage &image)
{
    for (int i = 0; i < images.size(); ++i)
        if (images[i].cacheKey() == image.cacheKey())
            return i;
    images.append(image);
    return int(images.size()) - 1;
}

QStringList Page::texts() const
{
    QStringList out;
    for (const Item &i : items)
        if (i.kind == Item::Kind::Text)
            out << i.text;
    return out;
}

bool Page::operator==(const Page &other) const
{
    if (items != other.items || images.size() != other.images.size())
        return false;
    for (int i = 0; i < images.size(); ++i)
        if (images[i].convertToFormat(QImage::Format_RGB32) != other.images[i].convertToFormat(QImage::Format_RGB32))
            return false;
    return true;
}

void renderPage(QPainter &painter, const Page &page, QPointF originPx, double pxPerMm)
{
    // Reports are set in Arial; Liberation Sans has its metrics where Arial is missing.
    static const bool arialMapped = [] {
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        return true;
    }();
    Q_UNUSED(arialMapped);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // A point size is taken at the device's logical resolution; scaled so that
    // a point is 1/72 inch of the sheet, whatever the zoom.
    const double dpi = painter.device()->logicalDpiY();
    const double pointScale = 25.4 * pxPerMm / dpi;
    auto at = [&](QPointF mm) { return originPx + mm * pxPerMm; };

    for (const Item &item : page.items) {
        switch (item.kind) {
        case Item::Kind::Text: {
            if (item.text.isEmpty())
                break;
            QFont font(item.family);
            font.setPointSizeF(item.pointSize * pointScale);
            font.setBold(item.bold);
            // Widths and cuts are decided by the layout, not by the device's hinting.
            font.setHintingPreference(QFont::PreferNoHinting);
            painter.setFont(font);
            painter.setPen(QColor::fromRgb(item.color));
            const QFontMetricsF fm(font, painter.device());
            // The item's y is the top of its text line.
            painter.drawText(at(item.pos) + QPointF(0, fm.ascent()), item.text);
            break;
        }
        case Item::Kind::Image:
            if (item.image >= 0 && item.image < page.images.size())
                painter.drawImage(QRectF(at(item.pos), item.size * pxPerMm), page.images[item.image]);
            break;
        case Item::Kind::Line: {
            QPen pen(QColor::fromRgb(item.color));
            pen.setWidthF(std::max(1.0, item.penMm * pxPerMm));
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(at(item.pos), at(item.pos + QPointF(item.size.width(), item.size.height())));
            break;
        }
        }
    }
    painter.restore();
}

}

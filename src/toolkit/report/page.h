#pragma once
// A report is pages of items placed in millimetres on a sheet: texts, pictures
// and thin lines. Pages are asked for one at a time by index (a PageSource),
// so a report of tens of thousands of pages lays out only the ones shown or
// printed, and its page count is known before any page is made.

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVector>

class QPainter;

namespace report {

// Band heights and positions are counted in whole tenths of a millimetre, so
// that the number of bands on a page does not depend on rounding.
inline int tenths(double mm) { return int(mm * 10.0 + (mm < 0 ? -0.5 : 0.5)); }
inline double fromTenths(int t) { return t / 10.0; }

struct PageGeometry
{
    QSizeF paperMm{210.0, 297.0};   // the paper, portrait
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    QMarginsF marginsMm{10, 10, 10, 10};

    // The sheet as it lies: width and height after the orientation.
    QSizeF sheetMm() const
    {
        return orientation == QPageLayout::Landscape ? paperMm.transposed() : paperMm;
    }
    bool operator==(const PageGeometry &) const = default;
};

struct Item
{
    enum class Kind : quint8 { Text, Image, Line };

    Kind kind = Kind::Text;
    QPointF pos;        // mm from the sheet's top-left corner: top-left of a text or picture, start of a line
    QSizeF size;        // text: box width (0 grows with the text); picture: its size; line: offset of its end
    QString text;
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false;
    QRgb color = qRgb(0, 0, 0);
    int image = -1;     // index into the page's pictures
    double penMm = 0.1; // a line's width

    static Item textAt(double xMm, double yMm, const QString &text, double pointSize, double boxWidthMm = 0,
                       bool bold = false)
    {
        Item i;
        i.pos = {xMm, yMm};
        i.size = {boxWidthMm, 0};
        i.text = text;
        i.pointSize = pointSize;
        i.bold = bold;
        return i;
    }
    static Item imageAt(const QRectF &mm, int image)
    {
        Item i;
        i.kind = Kind::Image;
        i.pos = mm.topLeft();
        i.size = mm.size();
        i.image = image;
        return i;
    }
    static Item line(QPointF fromMm, QPointF toMm, double penMm = 0.1)
    {
        Item i;
        i.kind = Kind::Line;
        i.pos = fromMm;
        i.size = {toMm.x() - fromMm.x(), toMm.y() - fromMm.y()};
        i.penMm = penMm;
        return i;
    }
    bool operator==(const Item &) const = default;
};

struct Page
{
    QVector<Item> items;
    QVector<QImage> images;   // shared: the same picture on every page costs one copy

    // Adds a picture and returns its index (the same picture twice is kept once).
    int addImage(const QImage &image);
    QStringList texts() const;   // the texts of the page, in item order
    bool operator==(const Page &other) const;
};

// The pages of one report.
class PageSource
{
public:
    virtual ~PageSource() = default;
    virtual PageGeometry geometry() const = 0;
    virtual int pageCount() const = 0;
    // Whether page(index) would give the page without waiting for its data
    // (read by a worker meanwhile).
    virtual bool isReady(int) const { return true; }
    // Page index (0-based) laid out afresh. Throws Failure when its data cannot be read.
    virtual Page page(int index) const = 0;
};

// Pages made up front (a one-page note, a test).
class FixedPages : public PageSource
{
public:
    FixedPages(PageGeometry geometry, QVector<Page> pages) : m_geometry(geometry), m_pages(std::move(pages)) {}
    PageGeometry geometry() const override { return m_geometry; }
    int pageCount() const override { return int(m_pages.size()); }
    Page page(int index) const override { return m_pages.value(index); }

private:
    PageGeometry m_geometry;
    QVector<Page> m_pages;
};

// Paints a page with its sheet's top-left corner at originPx, pxPerMm device
// pixels to the millimetre. Point sizes stay true on any device: on a printer
// at its resolution as in a zoomed preview.
void renderPage(QPainter &painter, const Page &page, QPointF originPx, double pxPerMm);

}

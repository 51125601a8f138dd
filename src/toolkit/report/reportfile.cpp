#include "toolkit/report/reportfile.h"

#include <QBuffer>
#include <QDataStream>
#include <QHash>
#include <QSaveFile>

#include "common/failure.h"

namespace report {

namespace {

constexpr quint32 Magic = 0x4B525054;   // "KRPT"
constexpr quint16 FormatVersion = 1;

void prepare(QDataStream &s)
{
    s.setVersion(QDataStream::Qt_6_4);
    s.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

void writeGeometry(QDataStream &s, const PageGeometry &g)
{
    s << g.paperMm.width() << g.paperMm.height() << qint8(g.orientation) << g.marginsMm.left() << g.marginsMm.top()
      << g.marginsMm.right() << g.marginsMm.bottom();
}

PageGeometry readGeometry(QDataStream &s)
{
    PageGeometry g;
    double w = 0, h = 0, l = 0, t = 0, r = 0, b = 0;
    qint8 orientation = 0;
    s >> w >> h >> orientation >> l >> t >> r >> b;
    g.paperMm = {w, h};
    g.orientation = orientation == qint8(QPageLayout::Portrait) ? QPageLayout::Portrait : QPageLayout::Landscape;
    g.marginsMm = {l, t, r, b};
    return g;
}

QString notAReport(const QString &path)
{
    return QStringLiteral("Файл %1 не является сохранённым отчётом").arg(path);
}

class FilePages : public PageSource
{
public:
    explicit FilePages(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            throw Failure(QStringLiteral("Не удалось открыть файл %1").arg(path));
        QDataStream s(&m_file);
        prepare(s);
        quint32 magic = 0;
        quint16 version = 0;
        s >> magic >> version;
        if (s.status() != QDataStream::Ok || magic != Magic || version != FormatVersion)
            throw Failure(notAReport(path));
        m_geometry = readGeometry(s);
        qint32 count = 0;
        s >> count;

        qint64 trailer = 0;
        if (m_file.size() < 8 || !m_file.seek(m_file.size() - 8))
            throw Failure(notAReport(path));
        s >> trailer;
        if (s.status() != QDataStream::Ok || trailer <= 0 || trailer >= m_file.size() || !m_file.seek(trailer))
            throw Failure(notAReport(path));
        qint32 imageCount = 0;
        s >> imageCount;
        for (qint32 i = 0; i < imageCount && s.status() == QDataStream::Ok; ++i) {
            QByteArray png;
            s >> png;
            m_images.append(QImage::fromData(png, "PNG"));
        }
        qint32 offsetCount = 0;
        s >> offsetCount;
        if (s.status() != QDataStream::Ok || offsetCount != count || count < 0)
            throw Failure(notAReport(path));
        m_offsets.resize(count);
        for (qint64 &o : m_offsets)
            s >> o;
        if (s.status() != QDataStream::Ok)
            throw Failure(notAReport(path));
    }

    PageGeometry geometry() const override { return m_geometry; }
    int pageCount() const override { return int(m_offsets.size()); }

    Page page(int index) const override
    {
        Page page;
        if (index < 0 || index >= m_offsets.size())
            return page;
        if (!m_file.seek(m_offsets[index]))
            throw Failure(notAReport(m_file.fileName()));
        QDataStream s(&m_file);
        prepare(s);
        qint32 count = 0;
        s >> count;
        for (qint32 n = 0; n < count && s.status() == QDataStream::Ok; ++n) {
            Item i;
            quint8 kind = 0;
            double x = 0, y = 0, w = 0, h = 0;
            qint32 image = -1;
            s >> kind >> x >> y >> w >> h >> i.text >> i.family >> i.pointSize >> i.bold >> i.color >> image
                >> i.penMm;
            i.kind = Item::Kind(kind);
            i.pos = {x, y};
            i.size = {w, h};
            if (image >= 0 && image < m_images.size())
                i.image = page.addImage(m_images[image]);
            page.items.append(i);
        }
        if (s.status() != QDataStream::Ok)
            throw Failure(notAReport(m_file.fileName()));
        return page;
    }

private:
    mutable QFile m_file;
    PageGeometry m_geometry;
    QVector<QImage> m_images;
    QVector<qint64> m_offsets;
};

}

bool saveReport(const PageSource &source, const PageGeometry &geometry, const QString &path, const Progress &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Cannot create file %1").arg(path));
    QDataStream s(&file);
    prepare(s);
    const int count = source.pageCount();
    s << Magic << FormatVersion;
    writeGeometry(s, geometry);
    s << qint32(count);

    QVector<qint64> offsets;
    offsets.reserve(count);
    QHash<qint64, qint32> imageIds;   // picture cache key -> its number in the file
    QVector<QImage> images;
    for (int p = 0; p < count; ++p) {
        if (progress && !progress(p, count)) {
            file.cancelWriting();
            return false;
        }
        const Page page = source.page(p);
        offsets.append(file.pos());
        s << qint32(page.items.size());
        for (const Item &i : page.items) {
            qint32 image = -1;
            if (i.image >= 0 && i.image < page.images.size()) {
                const QImage &picture = page.images[i.image];
                auto found = imageIds.constFind(picture.cacheKey());
                if (found == imageIds.constEnd()) {
                    found = imageIds.insert(picture.cacheKey(), qint32(images.size()));
                    images.append(picture);
                }
                image = *found;
            }
            s << quint8(i.kind) << i.pos.x() << i.pos.y() << i.size.width() << i.size.height() << i.text << i.family
              << i.pointSize << i.bold << i.color << image << i.penMm;
        }
    }
    const qint64 trailer = file.pos();
    s << qint32(images.size());
    for (const QImage &picture : images) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        s << png;
    }
    s << qint32(offsets.size());
    for (qint64 o : offsets)
        s << o;
    s << trailer;
    if (s.status() != QDataStream::Ok || !file.commit())
        throw Failure(QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()));
    if (progress)
        progress(count, count);
    return true;
}

std::shared_ptr<PageSource> loadReport(const QString &path) { return std::make_shared<FilePages>(path); }

}

#include "toolkit/report/textfit.h"

#include <QFont>
#include <QRawFont>
#include <QtDebug>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace report {
namespace {

// Advances of Liberation Sans in font design units, one entry per UTF-16
// code unit, read once for the whole BMP. Design units are integers and a
// width at any size is their sum scaled, so one table serves every point size
// and a width is exact. Kerning is ignored: the boxes are wide enough that a
// pair's adjustment (a few hundredths of a millimetre at 5 pt) never decides
// more than one character at the edge, and the reports set text unkerned.
class AdvanceTable
{
public:
    static const AdvanceTable &instance()
    {
        static AdvanceTable table;
        return table;
    }

    int unitsPerEm() const { return m_unitsPerEm; }
    int maxAdvance() const { return m_maxAdvance; }
    int advance(char16_t c) const { return m_advances[c]; }

    // A code point beyond the BMP (a surrogate pair); rare, so looked up each time.
    int advance(char32_t codePoint) const
    {
        const char16_t pair[2] = {QChar::highSurrogate(codePoint), QChar::lowSurrogate(codePoint)};
        quint32 glyph = 0;
        int count = 1;
        if (!m_font.glyphIndexesForChars(reinterpret_cast<const QChar *>(pair), 2, &glyph, &count) || count < 1)
            return m_advances[0];
        QPointF adv;
        m_font.advancesForGlyphIndexes(&glyph, &adv, 1, QRawFont::UseDesignMetrics);
        return qRound(adv.x());
    }

private:
    AdvanceTable()
    {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setStyleStrategy(QFont::NoFontMerging);
        font.setHintingPreference(QFont::PreferNoHinting);
        // At a pixel size of one em the design advances come out in font units.
        QRawFont probe = QRawFont::fromFont(font);
        m_unitsPerEm = probe.isValid() ? qRound(probe.unitsPerEm()) : 2048;
        font.setPixelSize(m_unitsPerEm);
        m_font = QRawFont::fromFont(font);
        if (!m_font.isValid() || m_font.familyName() != QLatin1String("Liberation Sans"))
            qWarning("Liberation Sans is not installed; text widths follow %s",
                     qPrintable(m_font.familyName()));

        std::array<quint32, 65536> glyphs{};
        for (int c = 0; c < 65536; ++c) {
            const QChar ch{char16_t(c)};
            int count = 1;
            if (!m_font.glyphIndexesForChars(&ch, 1, &glyphs[c], &count) || count != 1)
                glyphs[c] = 0;
        }
        // Each distinct glyph measured once (TrueType glyph ids are 16-bit),
        // all in one call: one by one they took most of the table's time.
        std::vector<int> byGlyph(65536, -1);
        std::vector<quint32> distinct;
        for (int c = 0; c < 65536; ++c) {
            int &slot = byGlyph[glyphs[c] & 0xFFFF];
            if (slot < 0) {
                slot = int(distinct.size());
                distinct.push_back(glyphs[c]);
            }
        }
        std::vector<QPointF> advances(distinct.size());
        if (m_font.isValid())
            m_font.advancesForGlyphIndexes(distinct.data(), advances.data(), int(distinct.size()),
                                           QRawFont::UseDesignMetrics);
        for (int c = 0; c < 65536; ++c) {
            const int adv = qBound(0, qRound(advances[byGlyph[glyphs[c] & 0xFFFF]].x()), 0xFFFF);
            m_advances[c] = std::uint16_t(adv);
            m_maxAdvance = qMax(m_maxAdvance, adv);
        }
    }

    QRawFont m_font;
    int m_unitsPerEm = 2048;
    int m_maxAdvance = 0;
    std::array<std::uint16_t, 65536> m_advances{};
};

constexpr double MmPerPoint = 25.4 / 72.0;

// Font units across a box of widthMm at pointSize.
double unitsAcross(const AdvanceTable &table, double widthMm, double pointSize)
{
    // A width that equals the box to rounding still fits it.
    return widthMm / (pointSize * MmPerPoint) * table.unitsPerEm() * (1.0 + 1e-12);
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

double textWidthMm(QStringView text, double pointSize)
{
    const AdvanceTable &table = AdvanceTable::instance();
    qint64 units = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            units += table.advance(char32_t(QChar::surrogateToUcs4(c, text[i + 1])));
            ++i;
        } else {
            units += table.advance(c.unicode());
        }
    }
    return double(units) / table.unitsPerEm() * pointSize * MmPerPoint;
}

double fittingPointSize(QStringView text, double boxWidthMm, double maxPoints, double minPoints)
{
    const double atMax = textWidthMm(text, maxPoints);
    if (atMax <= boxWidthMm * (1.0 + 1e-12))
        return maxPoints;
    // A width grows in proportion to the size: the size that fills the box,
    // taken down to a tenth (and one tenth less where rounding says it
    // would not fit after all).
    int tenths = int(std::floor(maxPoints * boxWidthMm / atMax * 10.0));
    if (textWidthMm(text, tenths / 10.0) > boxWidthMm * (1.0 + 1e-12))
        --tenths;
    return std::max(minPoints, tenths / 10.0);
}

qsizetype fittedLength(QStringView text, double boxWidthMm, double pointSize)
{
    const AdvanceTable &table = AdvanceTable::instance();
    const qsizetype n = text.size();
    const double limit = unitsAcross(table, boxWidthMm, pointSize);
    // Short values fit whatever their letters; most cells of a journal are such.
    if (double(n) * table.maxAdvance() <= limit)
        return n;

    // Widths only grow along the text: walk it once, remembering the last
    // word end that still fits, until the first character that does not.
    qint64 units = 0;
    qsizetype lastWordEnd = 0;
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (i > 0 && isBlank(c.unicode()) && !isBlank(text[i - 1].unicode()))
            lastWordEnd = i;
        qsizetype len = 1;
        int adv;
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            adv = table.advance(char32_t(QChar::surrogateToUcs4(c, text[i + 1])));
            len = 2;
        } else {
            adv = table.advance(c.unicode());
        }
        units += adv;
        if (double(units) > limit)
            // Wrapped at the last word that fits; a first word wider than the
            // box keeps the characters before this one.
            return lastWordEnd > 0 ? lastWordEnd : i;
        i += len;
    }
    return n;
}

QString fitFirstLine(const QString &text, double boxWidthMm, double pointSize)
{
    const qsizetype len = fittedLength(text, boxWidthMm, pointSize);
    return len == text.size() ? text : text.left(len);
}

} // namespace report

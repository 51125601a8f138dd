#include "print/journalcsv.h"

#include <QDate>
#include <QVarLengthArray>

#include <algorithm>
#include <cstdint>

#include "common/oneline.h"
#include "print/journalrow.h"
#include "toolkit/report/textfit.h"

namespace JournalCsv {
namespace {

constexpr int DateCell = 18;   // Dat

// Windows-1251 bytes 0x80..0xFF as Unicode (0x98 is not assigned).
constexpr char16_t Upper1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: А..я in order
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B,
    0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439,
    0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

// The code page's byte for every UTF-16 code unit; 0 where it has none
// (apart from U+0000 itself). A table lookup per character: Qt's codec goes
// through ICU call by call, many times slower for a million rows.
struct Encoder1251
{
    std::uint8_t bytes[65536] = {};
    Encoder1251()
    {
        for (int c = 0; c < 0x80; ++c)
            bytes[c] = std::uint8_t(c);
        for (int b = 0; b < 128; ++b)
            if (Upper1251[b])
                bytes[Upper1251[b]] = std::uint8_t(0x80 + b);
    }
};

const Encoder1251 &encoder()
{
    static const Encoder1251 table;
    return table;
}

// Writes text in Windows-1251 at out, doubling double quotes when asked;
// returns the end. out must hold 2 × text.size() bytes.
char *encode(char *out, QStringView text, bool doubleQuotes)
{
    const std::uint8_t *table = encoder().bytes;
    const qsizetype n = text.size();
    const char16_t *s = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            *out++ = char(c);
            if (c == u'"' && doubleQuotes)
                *out++ = '"';
            continue;
        }
        const std::uint8_t b = table[c];
        *out++ = b ? char(b) : '?';
        // A character beyond the BMP is one character: one "?".
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]))
            ++i;
    }
    return out;
}

// UTF-8 as the store holds it into UTF-16 at out (room for bytes.size()
// units); a broken sequence reads as U+FFFD. Returns the unit count.
qsizetype decodeUtf8(QByteArrayView bytes, char16_t *out)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t *o = out;
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        const int extra = b >= 0xF5 ? -1 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
        char32_t cp = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
        if (extra < 0 || i + extra >= n) {
            *o++ = 0xFFFD;
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (!ok || overlong || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) {
            *o++ = 0xFFFD;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            *o++ = QChar::highSurrogate(cp);
            *o++ = QChar::lowSurrogate(cp);
        } else {
            *o++ = char16_t(cp);
        }
        i += extra + 1;
    }
    return o - out;
}

// The journal's dates are stored yyyy-MM-dd; the file shows them dd.MM.yyyy.
// Anything else is written as it stands.
qsizetype shortDate(char16_t *text, qsizetype n)
{
    if (n != 10 || text[4] != u'-' || text[7] != u'-')
        return n;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < u'0' || text[i] > u'9')
            return n;
    const auto digit = [text](int i) { return int(text[i] - u'0'); };
    const int y = digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3);
    if (!QDate(y, digit(5) * 10 + digit(6), digit(8) * 10 + digit(9)).isValid())
        return n;
    const char16_t out[10] = {text[8], text[9], u'.', text[5], text[6], u'.', text[0], text[1], text[2], text[3]};
    std::copy(out, out + 10, text);
    return n;
}

QByteArray lineOf(const std::array<QStringView, Cells> &cells)
{
    QByteArray line;
    for (int i = 0; i < Cells; ++i) {
        line += '"';
        appendWindows1251(line, cells[size_t(i)]);
        line += i + 1 < Cells ? "\";" : "\"\r\n";
    }
    return line;
}

} // namespace

const std::array<Column, Cells> &columns()
{
    static const std::array<Column, Cells> list = {{
        {WeighingRecord::N_Avto, u"№ Автомобиля", 21.17, 5},
        {WeighingRecord::N_pricepa, u"№ Прицепа", 20.41, 5},
        {WeighingRecord::FIO, u"Ф.И.О. Водителя", 40.82, 5},
        {WeighingRecord::Marcka, u"Марка автомабиля", 23.62, 5},
        {WeighingRecord::AvtoPr, u"Автопредприятие", 59.15, 5},
        {WeighingRecord::Zakazchik, u"Заказчик", 84.48, 5},
        {WeighingRecord::Gruz_otprav, u"Грузоотправитель", 85.04, 5},
        {WeighingRecord::Gruz_poluch, u"Грузополучатель", 85.04, 5},
        {WeighingRecord::Punkt, u"Пункт разгрузки", 42.14, 5},
        {WeighingRecord::Punkt_zagruz, u"Пункт загрузки", 44.98, 5},
        {WeighingRecord::Tovar, u"Товар", 85.04, 5},
        {WeighingRecord::Zena, u"Цена", 85.04, 5},
        {WeighingRecord::Forma, u"Форма оплаты", 85.04, 5},
        {WeighingRecord::N_List, u"№ путевого листа", 85.04, 5},
        {WeighingRecord::Sum, u"Брутто", 85.04, 8},
        {WeighingRecord::Tara, u"Тара", 85.04, 5},
        {WeighingRecord::Netto, u"Нетто", 85.04, 5},
        {WeighingRecord::Ed_izm, u"Единицы измерения веса", 37.80, 5},
        {WeighingRecord::Dat, u"Дата", 85.04, 8},
        {WeighingRecord::Time, u"Время", 85.04, 5},
        {WeighingRecord::Klad, u"Весовщик", 85.04, 5},
    }};
    return list;
}

void appendWindows1251(QByteArray &out, QStringView text)
{
    const qsizetype old = out.size();
    out.resize(old + text.size());
    char *end = encode(out.data() + old, text, false);
    out.truncate(end - out.constData());
}

QByteArray titleLine(const QDateTime &when)
{
    // The Russian short date and long time forms.
    const QString title = QStringLiteral("БД кродалин v.10.0 от ") + when.date().toString(QStringLiteral("dd.MM.yyyy"))
                          + QLatin1Char(' ') + when.time().toString(QStringLiteral("H:mm:ss"));
    std::array<QStringView, Cells> cells{};
    cells[0] = title;
    return lineOf(cells);
}

QByteArray headerLine()
{
    std::array<QStringView, Cells> cells{};
    for (int i = 0; i < Cells; ++i)
        cells[size_t(i)] = QStringView(columns()[size_t(i)].header);
    return lineOf(cells);
}

QByteArray emptyRowLine()
{
    return lineOf({});
}

Writer::Writer(Clock clock) : m_clock(std::move(clock)) {}

void Writer::addRow(const QByteArrayView *values)
{
    if (m_rows % RowsPerBlock == 0) {
        m_out += titleLine(m_clock());
        m_out += headerLine();
    }
    ++m_rows;
    const auto &cols = columns();
    QVarLengthArray<char16_t, 256> text;
    for (int i = 0; i < Cells; ++i) {
        const QByteArrayView v = values[i];
        text.resize(v.size());
        qsizetype n = breaksToBlanks(text.data(), decodeUtf8(v, text.data()));
        if (i == DateCell)
            n = shortDate(text.data(), n);
        appendCell(QStringView(text.data(), n), cols[size_t(i)], i + 1 == Cells);
    }
}

void Writer::appendCell(QStringView value, const Column &column, bool last)
{
    const qsizetype kept = report::fittedLength(value, column.boxMm, column.pointSize);
    const qsizetype old = m_out.size();
    m_out.resize(old + 2 * kept + 4);
    char *p = m_out.data() + old;
    *p++ = '"';
    p = encode(p, value.first(kept), true);
    *p++ = '"';
    if (last) {
        *p++ = '\r';
        *p++ = '\n';
    } else {
        *p++ = ';';
    }
    m_out.truncate(p - m_out.constData());
}

void Writer::finish()
{
    if (m_rows == 0) {
        m_out += titleLine(m_clock());
        m_out += emptyRowLine();
    }
}

} // namespace JournalCsv

#include "indicator/numberform.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// A decimal counted in thousandths: value = ±digits / 1000. digits holds no
// leading zeros and is empty for zero, so zero has no sign.
struct Thousandths
{
    bool negative = false;
    std::string digits;
};

bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Adds one to a string of decimal digits.
void incrementDigits(std::string &digits)
{
    int i = int(digits.size()) - 1;
    while (i >= 0 && digits[i] == '9') {
        digits[i] = '0';
        --i;
    }
    if (i < 0)
        digits.insert(digits.begin(), '1');
    else
        ++digits[i];
}

void stripLeadingZeros(std::string &digits)
{
    const auto first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() : first);
}

// Rounds the digits `kept` half-to-even on the digits `cut` that follow them.
// Returns true when the kept part went up.
bool roundHalfEven(std::string &kept, const std::string &cut)
{
    if (cut.empty() || cut[0] < '5')
        return false;
    bool up = cut[0] > '5' || cut.find_first_not_of('0', 1) != std::string::npos;
    if (!up) // an exact half: go to the even neighbour
        up = !kept.empty() && (kept.back() - '0') % 2 == 1;
    if (up)
        incrementDigits(kept);
    return up;
}

// A decimal read exactly: value = ±digits * 10^exponent. digits holds no
// leading zeros and is empty for zero, so zero has no sign.
struct Exact
{
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

// Digits below 10^-1000 are rounded away: no weight text has them, and it
// keeps the exact arithmetic on a text like "1e-999999" small.
constexpr long long LowestExponent = -1000;

// Rounds half-to-even so that the value has no digit below 10^e.
void roundToExponent(Exact &x, long long e)
{
    if (x.exponent >= e)
        return;
    const long long drop = e - x.exponent;
    if (drop > (long long)x.digits.size()) {
        // Every digit lies below the first cut place, which is a zero.
        x = Exact{false, std::string(), e};
        return;
    }
    std::string kept, cut;
    if (drop == (long long)x.digits.size()) {
        cut = std::string(size_t(drop - (long long)x.digits.size()), '0') + x.digits;
    } else {
        kept = x.digits.substr(0, x.digits.size() - size_t(drop));
        cut = x.digits.substr(x.digits.size() - size_t(drop));
    }
    roundHalfEven(kept, cut);
    stripLeadingZeros(kept);
    x.digits = kept;
    x.exponent = e;
    if (x.digits.empty())
        x.negative = false;
}

// Reads a text by the weight grammar, exactly.
std::optional<Exact> readExact(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;

    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    std::string mantissa; // all digits of the mantissa, the comma left out
    long long fractionDigits = 0;
    bool sawDigitOrComma = false;
    while (i < n && isAsciiDigit(text[i])) {
        mantissa.push_back(char(text[i].unicode()));
        ++i;
        sawDigitOrComma = true;
    }
    if (i < n && text[i] == QLatin1Char(',')) {
        sawDigitOrComma = true;
        ++i;
        while (i < n && isAsciiDigit(text[i])) {
            mantissa.push_back(char(text[i].unicode()));
            ++fractionDigits;
            ++i;
        }
    }
    if (!sawDigitOrComma)
        return std::nullopt;

    long long exponent = 0;
    if (i < n && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        ++i;
        bool exponentNegative = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            exponentNegative = text[i] == QLatin1Char('-');
            ++i;
        }
        if (i >= n || !isAsciiDigit(text[i]))
            return std::nullopt;
        while (i < n && isAsciiDigit(text[i])) {
            // Beyond a million the value is out of any range anyway; stop
            // counting so that a long run of digits cannot overflow.
            if (exponent < 1000000)
                exponent = exponent * 10 + (text[i].unicode() - '0');
            ++i;
        }
        if (exponentNegative)
            exponent = -exponent;
    }

    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    if (i != n)
        return std::nullopt;

    Exact x;
    stripLeadingZeros(mantissa);
    if (mantissa.empty())
        return x; // zero, whatever its sign or exponent
    // Far above the largest double.
    if ((long long)mantissa.size() - fractionDigits + exponent > 400)
        return std::nullopt;
    x.negative = negative;
    x.digits = mantissa;
    x.exponent = exponent - fractionDigits;
    roundToExponent(x, LowestExponent);
    return x;
}

// Reads a text by the weight grammar into thousandths, rounding half-to-even.
std::optional<Thousandths> readThousandths(const QString &text)
{
    std::optional<Exact> x = readExact(text);
    if (!x)
        return std::nullopt;
    roundToExponent(*x, -3);
    Thousandths result;
    result.negative = x->negative;
    result.digits = x->digits.empty() ? std::string() : x->digits + std::string(size_t(x->exponent + 3), '0');
    return result;
}

std::optional<double> toDouble(const Thousandths &t)
{
    if (t.digits.empty())
        return 0.0;
    // "<digits>e-3" is read with correct rounding to the nearest double.
    const std::string text = t.digits + "e-3";
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return t.negative ? -value : value;
}

// Compares magnitudes of two digit strings without leading zeros.
int compareMagnitude(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::string addMagnitudes(const std::string &a, const std::string &b)
{
    std::string out;
    int carry = 0;
    for (size_t k = 0; k < std::max(a.size(), b.size()) || carry; ++k) {
        int s = carry;
        if (k < a.size())
            s += a[a.size() - 1 - k] - '0';
        if (k < b.size())
            s += b[b.size() - 1 - k] - '0';
        out.insert(out.begin(), char('0' + s % 10));
        carry = s / 10;
    }
    stripLeadingZeros(out);
    return out;
}

// a - b for magnitudes with a >= b.
std::string subtractMagnitudes(const std::string &a, const std::string &b)
{
    std::string out = a;
    int borrow = 0;
    for (size_t k = 0; k < out.size(); ++k) {
        const size_t pos = out.size() - 1 - k;
        int d = (out[pos] - '0') - borrow - (k < b.size() ? b[b.size() - 1 - k] - '0' : 0);
        borrow = d < 0;
        if (d < 0)
            d += 10;
        out[pos] = char('0' + d);
    }
    stripLeadingZeros(out);
    return out;
}

// a - b, exactly.
Exact subtract(Exact a, Exact b)
{
    // Both on the lower exponent: the digits then line up.
    const long long e = std::min(a.exponent, b.exponent);
    for (Exact *x : {&a, &b}) {
        if (!x->digits.empty())
            x->digits += std::string(size_t(x->exponent - e), '0');
        x->exponent = e;
    }
    Exact result;
    result.exponent = e;
    if (a.negative != b.negative) {
        // a - (-|b|) = a + |b|;  -|a| - b = -(|a| + |b|)
        result.digits = addMagnitudes(a.digits, b.digits);
        result.negative = a.negative;
    } else {
        const int c = compareMagnitude(a.digits, b.digits);
        if (c >= 0) {
            result.digits = subtractMagnitudes(a.digits, b.digits);
            result.negative = a.negative;
        } else {
            result.digits = subtractMagnitudes(b.digits, a.digits);
            result.negative = !a.negative;
        }
    }
    if (result.digits.empty())
        result.negative = false;
    return result;
}

// An exact decimal in fixed point, every digit kept.
QString exactText(const Exact &x)
{
    if (x.digits.empty())
        return QStringLiteral("0");
    // Whole digits, then the fraction with its trailing zeros dropped.
    std::string integer, fraction;
    if (x.exponent >= 0) {
        integer = x.digits + std::string(size_t(x.exponent), '0');
    } else {
        const size_t scale = size_t(-x.exponent);
        if (x.digits.size() > scale) {
            integer = x.digits.substr(0, x.digits.size() - scale);
            fraction = x.digits.substr(x.digits.size() - scale);
        } else {
            integer = "0";
            fraction = std::string(scale - x.digits.size(), '0') + x.digits;
        }
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();

    QString out;
    if (x.negative)
        out += QLatin1Char('-');
    out += QString::fromLatin1(integer.data(), qsizetype(integer.size()));
    if (!fraction.empty()) {
        out += QLatin1Char(',');
        out += QString::fromLatin1(fraction.data(), qsizetype(fraction.size()));
    }
    return out;
}

// An exact decimal in the weight text form, held to 15 significant digits.
QString toWeightText(Exact x)
{
    if (x.digits.size() > 15)
        roundToExponent(x, x.exponent + (long long)x.digits.size() - 15);
    return exactText(x);
}

Exact add(const Exact &a, Exact b)
{
    b.negative = !b.negative && !b.digits.empty();
    return subtract(a, b);
}

// |digits| * times, for times > 0.
std::string multiplyMagnitude(const std::string &digits, unsigned long long times)
{
    std::string out;
    unsigned __int128 carry = 0;
    for (size_t k = digits.size(); k-- > 0;) {
        carry += (unsigned __int128)(digits[k] - '0') * times;
        out.push_back(char('0' + int(carry % 10)));
        carry /= 10;
    }
    for (; carry; carry /= 10)
        out.push_back(char('0' + int(carry % 10)));
    std::reverse(out.begin(), out.end());
    stripLeadingZeros(out);
    return out;
}

Exact fromScaled(__int128 value, int decimals)
{
    Exact x;
    x.negative = value < 0;
    unsigned __int128 magnitude = x.negative ? -(unsigned __int128)value : (unsigned __int128)value;
    for (; magnitude; magnitude /= 10)
        x.digits.push_back(char('0' + int(magnitude % 10)));
    std::reverse(x.digits.begin(), x.digits.end());
    x.exponent = -decimals;
    return x;
}

// The usual weight text, read straight from its bytes: blanks, a sign, at
// most 18 digits with at most one comma among them, blanks. Anything else
// goes to the exact reader.
bool readShort(QByteArrayView s, long long &mantissa, int &decimals)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long m = 0;
    int digits = 0, fraction = -1;
    bool any = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 18)
                return false;
            m = m * 10 + (c - '0');
            if (fraction >= 0)
                ++fraction;
            any = true;
        } else if (c == ',' && fraction < 0) {
            fraction = 0;
            any = true;
        } else {
            break;
        }
    }
    while (i < n && s[i] == ' ')
        ++i;
    if (i != n || !any)
        return false;
    mantissa = negative ? -m : m;
    decimals = fraction < 0 ? 0 : fraction;
    return true;
}

} // namespace

namespace NumberForm {

std::optional<double> parse(const QString &text)
{
    const auto t = readThousandths(text);
    if (!t)
        return std::nullopt;
    return toDouble(*t);
}

QString format(double value)
{
    // Nothing that parse() gives is infinite or NaN; such a value has no
    // weight text, and showing it as zero keeps the display sane.
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0");

    // Fifteen significant digits, as "d.dddddddddddddde±x".
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                         std::chars_format::scientific, 14);
    if (ec != std::errc())
        return QStringLiteral("0");
    const std::string text(buffer, end);
    const auto ePos = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, ePos - 2);
    const int exponent = std::stoi(text.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string integer, fraction;
    if (exponent >= 0) {
        const size_t intLen = size_t(exponent) + 1;
        if (digits.size() <= intLen) {
            integer = digits + std::string(intLen - digits.size(), '0');
        } else {
            integer = digits.substr(0, intLen);
            fraction = digits.substr(intLen);
        }
    } else {
        integer = "0";
        fraction = std::string(size_t(-exponent - 1), '0') + digits;
    }

    QString out;
    if (value < 0)
        out += QLatin1Char('-');
    out += QString::fromLatin1(integer.data(), qsizetype(integer.size()));
    if (!fraction.empty()) {
        out += QLatin1Char(',');
        out += QString::fromLatin1(fraction.data(), qsizetype(fraction.size()));
    }
    return out;
}

std::optional<QString> difference(const QString &gross, const QString &tare)
{
    const auto g = readExact(gross);
    const auto t = readExact(tare);
    if (!g || !t)
        return std::nullopt;
    return toWeightText(subtract(*g, *t));
}


bool Total::add(QByteArrayView utf8, qint64 times)
{
    if (times == 0)
        return parse(QString::fromUtf8(utf8)).has_value();
    long long mantissa = 0;
    int decimals = 0;
    if (readShort(utf8, mantissa, decimals)) {
        __int128 product = 0, sum = 0;
        if (!__builtin_mul_overflow(__int128(mantissa), __int128(times), &product)
            && !__builtin_add_overflow(m_scaled[size_t(decimals)], product, &sum)) {
            m_scaled[size_t(decimals)] = sum;
            return true;
        }
    }
    const auto x = readExact(QString::fromUtf8(utf8));
    if (!x)
        return false;
    Exact part = *x;
    if (!part.digits.empty()) {
        part.digits = multiplyMagnitude(part.digits, times < 0 ? 0ULL - (unsigned long long)times : (unsigned long long)times);
        part.negative = part.negative != (times < 0);
    }
    const Exact sum = ::add(Exact{m_negative, m_digits, m_exponent}, part);
    m_negative = sum.negative;
    m_digits = sum.digits;
    m_exponent = sum.exponent;
    return true;
}

void Total::add(const Total &other)
{
    for (int k = 0; k < ScaledDecimals; ++k) {
        __int128 sum = 0;
        if (!__builtin_add_overflow(m_scaled[size_t(k)], other.m_scaled[size_t(k)], &sum)) {
            m_scaled[size_t(k)] = sum;
            continue;
        }
        const Exact folded = ::add(Exact{m_negative, m_digits, m_exponent}, fromScaled(other.m_scaled[size_t(k)], k));
        m_negative = folded.negative;
        m_digits = folded.digits;
        m_exponent = folded.exponent;
    }
    const Exact sum = ::add(Exact{m_negative, m_digits, m_exponent}, Exact{other.m_negative, other.m_digits, other.m_exponent});
    m_negative = sum.negative;
    m_digits = sum.digits;
    m_exponent = sum.exponent;
}

QString Total::text() const
{
    Exact sum{m_negative, m_digits, m_exponent};
    for (int k = 0; k < ScaledDecimals; ++k)
        if (m_scaled[size_t(k)] != 0)
            sum = ::add(sum, fromScaled(m_scaled[size_t(k)], k));
    return exactText(sum);
}

} // namespace NumberForm

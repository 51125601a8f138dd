#pragma once
// The one place where weights change between text and number.
//
// Weights are written with a decimal comma whatever the system's locale, and
// every reading is held to three decimals. The rounding is done on the decimal
// digits of the text, never on a double, so "1,2345" is 1.234 and "1,2355" is
// 1.236 (an exact half goes to the even thousandth) on every machine.
//
// No widget and no locale in here: a test calls it in microseconds.

#include <QByteArrayView>
#include <QString>
#include <array>
#include <optional>
#include <string>

namespace NumberForm {

// Text to number. Accepted: leading blanks (spaces only), an optional "+" or
// "-", digits, optionally a comma followed by digits, optionally an exponent
// ("E" or "e", an optional sign, at least one digit), trailing blanks, and
// nothing else. At least one digit or the comma must stand before the exponent
// ("," alone is 0). The value is rounded half-to-even to three decimals.
// nullopt when the text does not follow that form or the value is too large
// for a double.
std::optional<double> parse(const QString &text);

// Number to the shown weight text: fixed point, up to 15 significant digits,
// decimal comma, no trailing zeros, no trailing comma, no thousands separators.
// 211.515 -> "211,515", 20 -> "20", 0.5 -> "0,5", 0 -> "0", -0.2 -> "-0,2".
QString format(double value);

// gross - tare, computed exactly on the decimal digits of both texts as they
// stand (a tare edited to "5,1234" counts with all four decimals), in the
// weight text form: 15,3 - 15,2 gives "0,1" (never 0,100000000000001) and
// 18,4 - 5,1234 gives "13,2766". A result with more than 15 significant digits
// is rounded half-to-even to 15. nullopt when either text does not convert.
std::optional<QString> difference(const QString &gross, const QString &tare);

// An exact sum of weight texts, each taken a number of times: 0,1 added ten
// times is 1, and nothing is rounded (the sum keeps every digit of its
// parts). Texts of the weight grammar (as parse() reads them) are summed on
// their decimal digits; the usual short ones in 128-bit integers per count of
// decimals, anything else (an exponent, more than 18 digits) digit by digit.
class Total
{
public:
    // Adds the UTF-8 text `times` times; false, adding nothing, when it does
    // not follow the weight grammar.
    bool add(QByteArrayView utf8, qint64 times = 1);
    void add(const Total &other);
    // Fixed point with a decimal comma, no trailing zeros, every digit kept: "1", "-0,2", "0".
    QString text() const;

private:
    static constexpr int ScaledDecimals = 19;
    std::array<__int128, ScaledDecimals> m_scaled{};   // sums of mantissas with k decimals
    // The rest, exactly: ±digits * 10^exponent.
    bool m_negative = false;
    std::string m_digits;
    long long m_exponent = 0;
};

} // namespace NumberForm

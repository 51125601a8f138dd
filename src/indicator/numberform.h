#pragma once
// The one place where weights change between text and number.
//
// Weights are written with a decimal comma whatever the system's locale, and
// every reading is held to three decimals. The rounding is done on the decimal
// digits of the text, never on a double, so "1,2345" is 1.234 and "1,2355" is
// 1.236 (an exact half goes to the even thousandth) on every machine.
//
// No widget and no locale in here: a test calls it in microseconds.

#include <QString>
#include <optional>

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

} // namespace NumberForm

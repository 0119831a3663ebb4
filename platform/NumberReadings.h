#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// Readings of typed or stored text as numbers. All of them take plain decimal
// text only: no digit grouping, exponent or hexadecimal prefix.
namespace numbers {

// A whole text as a plain decimal number: blanks and tabs around it ignored,
// an optional sign, digits with an optional fraction after `separator`.
std::optional<double> plainDecimal(QStringView text, QStringView separator);

// Whole-text reading: blanks around the number ignored, an optional sign,
// digits with an optional fraction after the locale's decimal separator.
bool isNumeric(QStringView text);
// The value of a text for which isNumeric() holds; NaN otherwise.
double value(QStringView text);

// The number formed by the leading characters of a text, with blanks, tabs and
// line feeds ignored wherever they stand and a full stop as decimal point
// whatever the locale; 0 when the text does not begin with a number.
double leadingValue(QStringView text);

// A double rounded to the nearest integer, halves to the even neighbour.
// Throws the overflow error outside the signed 16-bit range.
qint16 roundToInt16(double value);

// The whole-text conversion to a signed 16-bit integer: isNumeric() and
// value() rounded by roundToInt16(). Throws the type-mismatch error for a text
// that is no number and the overflow error for one out of range.
qint16 toInt16(QStringView text);

// A single-precision value as at most seven significant digits, with a full
// stop whatever the locale and no trailing zeros: "10.5", "12".
QString singleText(float value);

} // namespace numbers

#pragma once

#include <QChar>
#include <QString>
#include <optional>

// Number texts of the program. Both formats use the decimal separator of the
// process-wide format settings unless one is given explicitly.

// Fixed notation: the value is first rounded to `precision` significant digits
// and then written with exactly `decimals` decimals, e.g. 12345.6 (4, 0) gives
// "12350" and 0.4567 (4, 2) gives "0,46". Halves round away from zero.
QString fixedText(double value, int precision, int decimals);
QString fixedText(double value, int precision, int decimals, QChar decimalSeparator);

// General notation: the shortest text with up to 15 significant digits and no
// trailing zeros ("7", "0,100000001490116"). Magnitudes from 1E-4 up to
// 15 integer digits are written without exponent, others as "1,5E-5" or "1E20".
QString generalText(double value);
QString generalText(double value, QChar decimalSeparator);

// Text to number. Blanks around the number are ignored. strToInt takes a
// decimal 32-bit integer with an optional sign; strToFloat a number with an
// optional fraction (after the decimal separator) and exponent.
// Both throw ConversionError with "'<text>' is not a valid integer value" or
// "'<text>' is not a valid floating point value".
int strToInt(const QString &text);
double strToFloat(const QString &text);
double strToFloat(const QString &text, QChar decimalSeparator);

std::optional<int> tryStrToInt(const QString &text);
std::optional<double> tryStrToFloat(const QString &text);
std::optional<double> tryStrToFloat(const QString &text, QChar decimalSeparator);

#include "common/NumberText.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"

#include <QLocale>
#include <QVarLengthArray>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Significant digits a double is taken to before any further rounding: enough
// for every value the program shows, few enough that 2.675 stays 2.675.
constexpr int maxDigits = 15;

// A finite non-zero value as decimal digits d1 d2 ... and an exponent such
// that value = 0.d1d2... * 10^exponent.
struct Decimal
{
    bool negative = false;
    QByteArray digits; // without trailing zeros; empty for zero
    int exponent = 0;
};

Decimal toDecimal(double value)
{
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0.0)
        return d;
    // "d.dddddddddddddde[+-]xx", correctly rounded like printf's "%.14e" but
    // without its locale and format parsing (recordings write 270000 of these).
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer - 1, std::fabs(value),
        std::chars_format::scientific, maxDigits - 1);
    *written.ptr = '\0';
    const char *e = std::strchr(buffer, 'e');
    d.digits.append(buffer[0]);
    d.digits.append(buffer + 2, int(e - buffer - 2));
    d.exponent = std::atoi(e + 1) + 1;
    while (d.digits.endsWith('0'))
        d.digits.chop(1);
    return d;
}

// Keeps `count` leading digits, rounding half away from zero. A count below
// zero rounds everything away (the value becomes zero).
void roundDigits(Decimal &d, int count)
{
    if (count >= d.digits.size())
        return;
    if (count < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits.at(count) >= '5';
    d.digits.truncate(count);
    if (up) {
        int i = count - 1;
        while (i >= 0 && d.digits.at(i) == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i < 0) {
            d.digits.prepend('1');
            d.digits.truncate(qMax(count, 1));
            ++d.exponent;
        } else {
            d.digits[i] = char(d.digits.at(i) + 1);
        }
    }
    while (d.digits.endsWith('0'))
        d.digits.chop(1);
}

QString specialText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// Writes digits with the decimal point after `integerDigits` of them, padding
// with zeros and cutting or filling the fraction to `decimals` (or leaving it
// as it is when decimals < 0).
QString plainText(const Decimal &d, int decimals, QChar separator)
{
    // Built in place: a recording writes hundreds of thousands of these.
    QVarLengthArray<char, 64> integer;
    QVarLengthArray<char, 64> fraction;
    const int size = d.digits.size();
    for (int i = 0; i < qMax(d.exponent, 0); ++i)
        integer.append(i < size ? d.digits.at(i) : '0');
    if (integer.isEmpty())
        integer.append('0');
    for (int i = qMin(d.exponent, 0); i < 0; ++i)
        fraction.append('0');
    for (int i = qMax(d.exponent, 0); i < size; ++i)
        fraction.append(d.digits.at(i));
    if (decimals >= 0) {
        if (fraction.size() > decimals)
            fraction.resize(decimals);
        while (fraction.size() < decimals)
            fraction.append('0');
    }
    QString text;
    text.reserve(integer.size() + fraction.size() + 2);
    if (d.negative && !d.digits.isEmpty())
        text += QLatin1Char('-');
    text += QLatin1StringView(integer.constData(), integer.size());
    if (!fraction.isEmpty()) {
        text += separator;
        text += QLatin1StringView(fraction.constData(), fraction.size());
    }
    return text;
}

QString trimmedNumberText(const QString &text)
{
    return text.trimmed();
}

QString integerError(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString floatError(const QString &text)
{
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

} // namespace

QString fixedText(double value, int precision, int decimals, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return specialText(value);
    precision = qBound(1, precision, maxDigits);
    decimals = qBound(0, decimals, 18);
    Decimal d = toDecimal(value);
    roundDigits(d, precision);
    roundDigits(d, d.exponent + decimals);
    return plainText(d, decimals, decimalSeparator);
}

QString fixedText(double value, int precision, int decimals)
{
    return fixedText(value, precision, decimals, FormatSettings::current().decimalSeparator);
}

QString generalText(double value, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return specialText(value);
    const Decimal d = toDecimal(value);
    if (d.digits.isEmpty())
        return QStringLiteral("0");
    // Small and very large magnitudes are written with an exponent, as
    // 1,5E-5 or 1E20.
    constexpr int smallestPlainExponent = -3;
    if (d.exponent > maxDigits || d.exponent < smallestPlainExponent) {
        QString text = d.negative ? QStringLiteral("-") : QString();
        text += QLatin1Char(d.digits.at(0));
        if (d.digits.size() > 1)
            text += decimalSeparator + QString::fromLatin1(d.digits.mid(1));
        text += QLatin1Char('E') + QString::number(d.exponent - 1);
        return text;
    }
    return plainText(d, -1, decimalSeparator);
}

QString generalText(double value)
{
    return generalText(value, FormatSettings::current().decimalSeparator);
}

std::optional<int> tryStrToInt(const QString &text)
{
    const QString t = trimmedNumberText(text);
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > qint64(INT_MAX) + 1)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return int(value);
}

int strToInt(const QString &text)
{
    if (const auto value = tryStrToInt(text))
        return *value;
    throw ConversionError(integerError(text));
}

std::optional<double> tryStrToFloat(const QString &text, QChar decimalSeparator)
{
    const QString t = trimmedNumberText(text);
    QByteArray plain; // the number in C notation
    plain.reserve(t.size());
    int i = 0;
    const int n = t.size();
    auto isDigit = [&](int at) {
        return at < n && t.at(at) >= QLatin1Char('0') && t.at(at) <= QLatin1Char('9');
    };
    if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        plain += char(t.at(i++).unicode());
    int digits = 0;
    while (isDigit(i)) {
        plain += char(t.at(i++).unicode());
        ++digits;
    }
    if (i < n && t.at(i) == decimalSeparator) {
        plain += '.';
        ++i;
        while (isDigit(i)) {
            plain += char(t.at(i++).unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        plain += 'e';
        ++i;
        if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            plain += char(t.at(i++).unicode());
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i))
            plain += char(t.at(i++).unicode());
    }
    if (i != n)
        return std::nullopt;
    // The text is plain C notation by now; a leading "+" is all from_chars
    // does not take. A text from_chars refuses (a number beyond the range of
    // double, too large or too small to tell from zero) goes to Qt's C-locale
    // parser as a second opinion, which refuses it as well: not a number.
    const char *first = plain.constData();
    const char *last = first + plain.size();
    if (*first == '+')
        ++first;
    double value = 0;
    const auto parsed = std::from_chars(first, last, value);
    if (parsed.ec != std::errc() || parsed.ptr != last) {
        bool ok = false;
        value = QLocale::c().toDouble(QString::fromLatin1(plain), &ok);
        if (!ok)
            return std::nullopt;
    }
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> tryStrToFloat(const QString &text)
{
    return tryStrToFloat(text, FormatSettings::current().decimalSeparator);
}

double strToFloat(const QString &text, QChar decimalSeparator)
{
    if (const auto value = tryStrToFloat(text, decimalSeparator))
        return *value;
    throw ConversionError(floatError(text));
}

double strToFloat(const QString &text)
{
    return strToFloat(text, FormatSettings::current().decimalSeparator);
}

#include "common/FormatSettings.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex settingsMutex;

FormatSettings &shared()
{
    static FormatSettings settings;
    return settings;
}

const char *const monthShortNames[12]
    = { "янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек" };
const char *const monthLongNames[12] = { "Январь", "Февраль", "Март", "Апрель", "Май", "Июнь",
    "Июль", "Август", "Сентябрь", "Октябрь", "Ноябрь", "Декабрь" };

QString number(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// Converts a Qt date pattern (d, dd, M, MM, yy, yyyy) into our notation and
// finds the separator between its parts.
void takeShortDate(const QString &qtPattern, FormatSettings &settings)
{
    QString pattern;
    QChar separator;
    for (QChar c : qtPattern) {
        if (c == QLatin1Char('d') || c == QLatin1Char('y'))
            pattern += c;
        else if (c == QLatin1Char('M'))
            pattern += QLatin1Char('m');
        else if (!c.isLetter() && !c.isSpace()) {
            if (separator.isNull())
                separator = c;
            pattern += QLatin1Char('/');
        }
    }
    if (pattern.count(QLatin1Char('d')) == 0 || pattern.count(QLatin1Char('m')) == 0
        || pattern.count(QLatin1Char('y')) == 0 || separator.isNull())
        return; // a pattern with month names or without separators: keep ours
    settings.shortDateFormat = pattern;
    settings.dateSeparator = separator;
}

} // namespace

FormatSettings FormatSettings::current()
{
    QMutexLocker lock(&settingsMutex);
    return shared();
}

void FormatSettings::setCurrent(const FormatSettings &settings)
{
    QMutexLocker lock(&settingsMutex);
    shared() = settings;
}

void FormatSettings::setDecimalSeparator(QChar separator)
{
    QMutexLocker lock(&settingsMutex);
    shared().decimalSeparator = separator;
}

void FormatSettings::setDateSeparator(QChar separator)
{
    QMutexLocker lock(&settingsMutex);
    shared().dateSeparator = separator;
}

void FormatSettings::setTimeSeparator(QChar separator)
{
    QMutexLocker lock(&settingsMutex);
    shared().timeSeparator = separator;
}

void FormatSettings::setShortDateFormat(const QString &pattern)
{
    QMutexLocker lock(&settingsMutex);
    shared().shortDateFormat = pattern;
}

void FormatSettings::initFromLocale(const QLocale &locale)
{
    FormatSettings settings;
    const QString decimal = locale.decimalPoint();
    settings.decimalSeparator = decimal.size() == 1 ? decimal.at(0) : QLatin1Char('.');
    takeShortDate(locale.dateFormat(QLocale::ShortFormat), settings);
    settings.timeSeparator = QLatin1Char(':');
    setCurrent(settings);
}

namespace {

// `nested` is set while the short date format itself is expanded, so that a
// pattern naming itself cannot recurse.
QString format(
    const QString &pattern, const QDateTime &dateTime, const FormatSettings &settings, bool nested)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    QString out;
    QChar lastToken; // last letter token: "m" right after an hour means minutes
    int i = 0;
    const int n = pattern.size();
    auto runLength = [&](QChar letter) {
        int count = 0;
        while (i + count < n && pattern.at(i + count).toLower() == letter)
            ++count;
        return count;
    };

    while (i < n) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int end = pattern.indexOf(c, i + 1);
            const int stop = end < 0 ? n : end;
            out += pattern.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == QLatin1Char('/')) {
            out += settings.dateSeparator;
            ++i;
            continue;
        }
        if (c == QLatin1Char(':')) {
            out += settings.timeSeparator;
            ++i;
            continue;
        }
        QChar token = c.toLower();
        if (token == QLatin1Char('m') && lastToken == QLatin1Char('h'))
            token = QLatin1Char('n');
        const int count = runLength(c.toLower());
        switch (token.unicode()) {
        case 'd':
            if (count >= 5 && !nested) {
                out += format(settings.shortDateFormat, dateTime, settings, true);
                i += 5;
            } else {
                out += number(date.day(), count >= 2 ? 2 : 1);
                i += qMin(count, 4);
            }
            break;
        case 'm':
            if (count >= 4)
                out += QString::fromUtf8(monthLongNames[date.month() - 1]);
            else if (count == 3)
                out += QString::fromUtf8(monthShortNames[date.month() - 1]);
            else
                out += number(date.month(), count);
            i += qMin(count, 4);
            break;
        case 'n':
            out += number(time.minute(), count >= 2 ? 2 : 1);
            i += qMin(count, 2);
            break;
        case 'y':
            if (count >= 3) {
                out += number(date.year(), 4);
                i += qMin(count, 4);
            } else {
                out += number(date.year() % 100, 2);
                i += count;
            }
            break;
        case 'h':
            out += number(time.hour(), count >= 2 ? 2 : 1);
            i += qMin(count, 2);
            break;
        case 's':
            out += number(time.second(), count >= 2 ? 2 : 1);
            i += qMin(count, 2);
            break;
        case 'z':
            out += number(time.msec(), count >= 3 ? 3 : 1);
            i += count >= 3 ? 3 : 1;
            break;
        case 'c':
            if (!nested) {
                out += format(settings.shortDateFormat, dateTime, settings, true);
                out += QLatin1Char(' ');
                out += format(QStringLiteral("hh:nn:ss"), dateTime, settings, true);
            }
            ++i;
            break;
        default:
            out += c;
            ++i;
            break;
        }
        if (c.isLetter())
            lastToken = token;
    }
    return out;
}

} // namespace

QString formatDateTime(
    const QString &pattern, const QDateTime &dateTime, const FormatSettings &settings)
{
    return format(pattern, dateTime, settings, false);
}

QString formatDateTime(const QString &pattern, const QDateTime &dateTime)
{
    return formatDateTime(pattern, dateTime, FormatSettings::current());
}

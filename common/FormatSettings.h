#pragma once

#include <QChar>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The process-wide format settings: every number, date and time text of the
// program goes through them. The polling thread changes the separators while
// the user interface formats, so the shared copy is guarded and handed out by
// value; a routine that needs its own separators formats with a modified copy
// instead of changing the shared one.
struct FormatSettings
{
    QChar decimalSeparator = QLatin1Char('.');
    QChar dateSeparator = QLatin1Char('.');
    QChar timeSeparator = QLatin1Char(':');
    // Day-month-year pattern in the program's date notation, e.g. "dd.mm.yyyy".
    QString shortDateFormat = QStringLiteral("dd/mm/yyyy");

    // A copy of the shared settings, consistent even while another thread
    // changes them.
    static FormatSettings current();
    static void setCurrent(const FormatSettings &settings);

    static void setDecimalSeparator(QChar separator);
    static void setDateSeparator(QChar separator);
    static void setTimeSeparator(QChar separator);
    static void setShortDateFormat(const QString &pattern);

    // Takes the decimal separator (a comma under Russian settings), the date
    // separator and the short date format from the locale; the time separator
    // becomes ":".
    static void initFromLocale(const QLocale &locale);
};

// Formats a date and time by a pattern in the program's notation:
//   d dd       day (1 or 2 digits, or always 2)
//   m mm       month, or minutes right after an hour (hh:mm)
//   mmm mmmm   short and long month name (Russian)
//   yy yyyy    year, 2 or 4 digits
//   h hh       hour 0-23
//   n nn       minutes
//   s ss       seconds
//   z zzz      milliseconds
//   ddddd      the short date format
//   c          short date format, then hh:nn:ss
//   /  :       the date separator and the time separator
//   "..." '...' literal text
// Letters are case-insensitive; any other character is copied.
QString formatDateTime(
    const QString &pattern, const QDateTime &dateTime, const FormatSettings &settings);
QString formatDateTime(const QString &pattern, const QDateTime &dateTime);

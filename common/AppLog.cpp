#include "common/AppLog.h"

#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace {

// Two threads logging at once must not interleave their lines.
QMutex logMutex;

} // namespace

void WriteLog(const QString &text)
{
    // The log always uses ":" between hours, minutes and seconds whatever
    // the process-wide separator (the polling thread sets "-").
    FormatSettings settings = FormatSettings::current();
    settings.dateSeparator = QLatin1Char('.');
    settings.timeSeparator = QLatin1Char(':');

    // The clock is read under the lock, so lines stand in the order of their
    // stamps.
    QMutexLocker lock(&logMutex);
    const QString line = formatDateTime(QStringLiteral("[dd/mm/yy][hh:nn:ss] "),
                             QDateTime::currentDateTime(), settings)
        + text + QLatin1Char('\n');
    QFile file(programFolder() + QLatin1String(LogFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(line.toUtf8());
}

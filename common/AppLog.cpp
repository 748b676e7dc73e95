#include "common/AppLog.h"

#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace {

// Two threads logging at once must not interleave their lines.
QMutex logMutex;
// Set while the log cannot be written and the operator's console has been told.
bool unwritableToldOnStderr = false;

void tellStderrOnce(const QFile &file)
{
    if (unwritableToldOnStderr)
        return;
    unwritableToldOnStderr = true;
    const QByteArray text
        = QStringLiteral("zelmor: cannot write the log %1: %2; log lines are lost\n")
              .arg(file.fileName(), file.errorString())
              .toLocal8Bit();
    std::fputs(text.constData(), stderr);
    std::fflush(stderr);
}

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
    // The program goes on without its log, but somebody looking at the
    // console learns why the log stays empty.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        tellStderrOnce(file);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        tellStderrOnce(file);
        return;
    }
    unwritableToldOnStderr = false;
}

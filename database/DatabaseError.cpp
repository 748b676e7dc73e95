#include "database/DatabaseError.h"

#include "common/AppLog.h"

void throwDatabaseError(const QString &message, const QString &logText)
{
    WriteLog(QStringLiteral("database error: ") + logText);
    throw ZelmorError(message);
}

void throwWriteError(const QString &reason, const QString &logText)
{
    WriteLog(QStringLiteral("database error: ") + logText);
    throw DatabaseWriteError(reason);
}

#pragma once

#include "common/ZelmorError.h"

#include <QString>

// A failure of the database: the operator reads message, the log gains one
// line "database error: " + logText (lower-case English, with the engine's
// own words), so a failure seen on screen can be traced afterwards.
[[noreturn]] void throwDatabaseError(const QString &message, const QString &logText);
// The same for a change that did not happen: throws DatabaseWriteError(reason).
[[noreturn]] void throwWriteError(const QString &reason, const QString &logText);

// Thrown by ZelmorDatabase::open() when the database could be opened for
// reading only: the tables are open and can be browsed, but nothing can be
// stored, and message() says why.
class DatabaseReadOnlyError : public ZelmorError
{
public:
    using ZelmorError::ZelmorError;
};

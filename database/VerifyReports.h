#pragma once

#include <QSqlDatabase>
#include <QString>

class QTextStream;

// The command-line check "zelmor --verify-reports": walks every
// instrument's chain of stored results and names the first row changed,
// inserted or deleted behind the program's back.
namespace VerifyReports {

inline constexpr const char *Option = "--verify-reports";

enum ExitCode { Intact = 0, Broken = 1, CannotCheck = 2 };

// Checks the database the program in programFolder uses (its settings file
// says which) without changing it; writes the outcome to out.
int run(const QString &programFolder, QTextStream &out);

// The same on an open connection (the report browser's button).
int run(const QSqlDatabase &db, QTextStream &out);

// When argv holds the option: runs the check on the program's own folder and
// returns its exit code; otherwise returns -1 and does nothing. Needs no
// display and may be called before the application object exists.
int fromCommandLine(int argc, char **argv);

} // namespace VerifyReports

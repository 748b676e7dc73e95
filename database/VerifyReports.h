#pragma once

#include "database/ReportChain.h"

#include <QSqlDatabase>
#include <QString>

class QTextStream;

// The administrator's command-line tools over the chain of stored results:
// "zelmor --verify-reports" walks every instrument's chain and names the
// first entry changed, inserted or deleted behind the program's back;
// "zelmor --verify-code NUMBER CODE" says whether a printed protocol's
// control code still matches its stored row; "zelmor --rekey-reports"
// moves every chain to the station key ("--accept-faults" to re-key a chain
// whose check found faults, recording them in the chain); "zelmor
// --init-station-db [ROLE]" prepares the station's server database as the
// owner of its tables (ROLE in place of the settings' User): the tables, the
// chain's functions and the roles' rights.
namespace VerifyReports {

inline constexpr const char *Option = "--verify-reports";
inline constexpr const char *CodeOption = "--verify-code";
inline constexpr const char *RekeyOption = "--rekey-reports";
inline constexpr const char *AcceptFaultsOption = "--accept-faults";

enum ExitCode { Intact = 0, Broken = 1, CannotCheck = 2 };

// Checks the database the program in programFolder uses (its settings file
// says which, and which station key) without changing it; writes the
// outcome to out.
int run(const QString &programFolder, QTextStream &out);

// The outcome of a check in words, and its exit code.
int report(const ReportChain::VerifyResult &result, QTextStream &out);

// "--verify-code": Intact when the code matches the stored, unchanged row,
// Broken when it does not, CannotCheck when the check cannot be made.
int verifyCode(
    const QString &programFolder, const QString &number, const QString &code, QTextStream &out);

// "--rekey-reports": Intact when the chains were moved to the key, Broken
// when the check found faults and they were not accepted, CannotCheck when
// the database or the key cannot be used.
int rekey(const QString &programFolder, bool acceptFaults, QTextStream &out);

// "--init-station-db": Intact when the database is ready, CannotCheck (with
// the reason written to out) when not.
int initStation(const QString &programFolder, const QString &role, QTextStream &out);

// When argv holds one of the options: runs it on the program's own folder
// and returns its exit code; otherwise returns -1 and does nothing. Needs no
// display and may be called before the application object exists.
int fromCommandLine(int argc, char **argv);

} // namespace VerifyReports

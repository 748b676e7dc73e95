#pragma once

#include <QString>

// Appends one line "[dd.mm.yy][hh:nn:ss] <text>" to "zelmor.log" in the
// program folder. The file is opened and closed per call and never truncated;
// when it cannot be written the line is lost, and the first such loss (after
// the last line that was written) is said once on stderr; logging never stops
// or disturbs the operator. Safe to call from any thread.
void WriteLog(const QString &text);

// Name of the application log inside the program folder.
inline constexpr const char *LogFileName = "zelmor.log";

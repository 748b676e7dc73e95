#pragma once

#include <QString>

// The progress display of the report: told when preparing or printing
// starts, how far it got and when it ends. The window that shows it lives
// with the widgets; the report only calls it while its display is on.
class ReportProgress
{
public:
    virtual ~ReportProgress() = default;
    virtual void begin(const QString &caption, int steps) = 0;
    virtual void advance(int done) = 0;
    virtual void end() = 0;
};

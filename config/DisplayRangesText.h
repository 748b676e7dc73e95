#pragma once

#include "config/DisplayLimits.h"

#include <QChar>
#include <QString>

#include <array>

// The display limits as the ranges dialog shows and reads them: ten texts in
// the order lower CO, upper CO, lower CH, upper CH, ... lower NOx, upper NOx.
namespace DisplayRangesText {

inline constexpr int EditCount = 2 * DisplayLimits::GasCount;
using Texts = std::array<QString, EditCount>;

// CO, CO2 and O2 rounded to 3 significant digits with 3 decimals, CH and NOx
// to 5 significant digits with 1 decimal ("7,000", "3000,0").
Texts format(const DisplayLimits &limits, QChar decimalSeparator);

struct Reading
{
    bool Ok = false;
    DisplayLimits Limits;
    int BadEdit = -1; // index of the text that is wrong
    QString Error;
};

// All ten texts as single-precision limits, or the first text that is not a
// number (the runtime's conversion message), does not fit a single-precision
// value, or whose gas has a lower limit not below its upper one.
Reading read(const Texts &texts, QChar decimalSeparator);

} // namespace DisplayRangesText

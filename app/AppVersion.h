#pragma once

#include <QString>

inline constexpr int ProgramVersionMajor = 1;
inline constexpr int ProgramVersionMinor = 0;

// "1.0": the version the program box shows.
QString programVersionText();

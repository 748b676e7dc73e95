#pragma once

// The instrument's spline kept in a file, so that service staff can save the
// spline read from an instrument and write it back later (or into the
// instrument that replaces it). The file holds the spline's 130 bytes exactly
// as the instrument gives and takes them, nothing before or after; the
// service panel offers "*.spl" for it.

#include "device/Records.h"

#include <QString>

// Reads a spline file. Throws IoError naming the file when it cannot be
// read, is no regular file or is not exactly 130 bytes long.
SplineVector readSplineFile(const QString &path);
// Writes the spline, replacing the file as a whole; throws IoError.
void writeSplineFile(const QString &path, const SplineVector &spline);

#pragma once

#include <QString>

// The folder of the program with a trailing "/": where "zelmor.log", "conf/"
// and "db/" live. The environment variable ZELMOR_PROGRAM_DIR, when set,
// points the program at another folder (used for an installed program that
// keeps its files elsewhere, and by tests).
QString programFolder();

// Replaces the folder for the rest of the run (tests); an empty text returns
// to the default.
void setProgramFolder(const QString &folder);

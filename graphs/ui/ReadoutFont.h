#pragma once

#include <QFont>

// The face of the large numeric readouts: a seven-segment font when one is
// installed, else a bold monospaced face of the same size.
QFont readoutFont(int pixelSize);

// True when the seven-segment face is available.
bool hasSevenSegmentFont();

#pragma once

#include <functional>

// Runs a blocking call (a connect, reading the constants) on a worker thread
// while the user interface keeps processing its events, and returns the
// call's result. The caller sees a plain function call; the window repaints
// and its timers run meanwhile.
int runInBackground(const std::function<int()> &call);

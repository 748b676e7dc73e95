#pragma once

#include <functional>

// Runs a blocking call of the device link (a connect, reading the constants)
// on a helper thread while the calling thread keeps processing its events, and
// returns the call's result. Called on the user interface thread it keeps the
// windows painting and the timers running; anywhere else it simply calls.
int callKeepingEventsFlowing(const std::function<int()> &call);

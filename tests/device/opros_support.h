#pragma once

// Helpers for the polling thread's tests: waiting for what the thread
// publishes, with generous time bounds.

#include "device/TOpros_ZMX.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitForSnapshot.h"

#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace opros_test {

// Polls the thread's snapshot until `ready` holds or `timeoutMs` passed; the
// last snapshot is left in `last`.
inline bool waitFor(const TOpros_ZMX &opros, const std::function<bool(const ZmxSnapshot &)> &ready,
    int timeoutMs, ZmxSnapshot *last = nullptr)
{
    return waitForSnapshot(opros, ready, timeoutMs, last);
}

// Waits until the thread has ended its last cycle and sleeps.
inline bool waitSuspended(const TOpros_ZMX &opros, int timeoutMs)
{
    return waitFor(
        opros, [](const ZmxSnapshot &s) { return s.Suspended; }, timeoutMs);
}

inline bool waitForStatus(const TOpros_ZMX &opros, const QString &text, int timeoutMs)
{
    return waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.StatusText == text; }, timeoutMs);
}

// Starts the simulator for one test.
#define OPROS_START_SIM(sim, ...)                                                                  \
    SimProcess sim { __VA_ARGS__ };                                                                \
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString())

// A thread connected to a fresh simulator, reading continuously.
#define OPROS_CONNECTED(sim, opros, ...)                                                           \
    OPROS_START_SIM(sim, __VA_ARGS__);                                                             \
    TOpros_ZMX opros;                                                                              \
    opros.setAutoReadAfterZero(true);                                                              \
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected)

} // namespace opros_test

#pragma once

// Paces the attempts to get a port back: one that went away (an unplugged
// USB adapter, a hung-up line) or could not be opened is tried again every
// IntervalMs, and nothing is tried in between. A replugged adapter is thus in
// use again within a fraction of a second, while a missing one costs a failed
// open four times a second. The owner of the port makes the attempts and
// sleeps for msUntilDue() between them; it never waits in a loop.

#include "device/MsClock.h"

#include <QString>

#include <cstdint>
#include <functional>

class PortRetry
{
public:
    static constexpr uint32_t IntervalMs = 250;

    using Clock = std::function<uint32_t()>;

    explicit PortRetry(Clock clock = &MsClock::now);

    // Starts looking for `port`: the first attempt is due at once, or after
    // one interval when the caller has just tried it.
    void start(const QString &port, bool triedJustNow);
    void stop() { m_port.clear(); }
    bool active() const { return !m_port.isEmpty(); }
    const QString &port() const { return m_port; }

    // True when an attempt is due; it then counts as made, and the next one
    // is due an interval later.
    bool take();
    // Milliseconds until the next attempt is due; 0 when one is due now or
    // nothing is looked for.
    uint32_t msUntilDue() const;

private:
    Clock m_clock;
    QString m_port;
    uint32_t m_dueMs = 0;
};

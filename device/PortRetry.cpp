#include "device/PortRetry.h"

PortRetry::PortRetry(Clock clock)
    : m_clock(std::move(clock))
{ }

void PortRetry::start(const QString &port, bool triedJustNow)
{
    m_port = port;
    m_dueMs = m_clock() + (triedJustNow ? IntervalMs : 0);
}

bool PortRetry::take()
{
    const uint32_t now = m_clock();
    if (!active() || MsClock::before(now, m_dueMs))
        return false;
    m_dueMs = now + IntervalMs;
    return true;
}

uint32_t PortRetry::msUntilDue() const
{
    return active() ? MsClock::remaining(m_dueMs, m_clock()) : 0;
}

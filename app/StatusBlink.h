#pragma once

// The blink of the status labels: shown for three ticks, hidden for one.
class StatusBlink
{
public:
    static constexpr int IntervalMs = 150;
    static constexpr int Period = 4;

    // Whether the labels are visible on this tick; advances the counter.
    bool tick() { return m_counter++ % Period != 0; }
    int counter() const { return m_counter; }

private:
    int m_counter = 0;
};

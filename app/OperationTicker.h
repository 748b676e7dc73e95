#pragma once

#include "app/TestState.h"
#include "device/ZmxSnapshot.h"

#include <QString>
#include <array>
#include <optional>

// What one tick of the operation timer shows, worked out from the thread's
// snapshot without touching a widget. The main window applies it to its
// labels and hands the test-related branches to the emission test.
struct OperationTick
{
    enum class Branch {
        Other, // a kind that changes nothing but the status line and graph
        WarmUp, // the instrument is warming up
        Readings, // readings arrive; the link check passed
        LinkLost, // readings were the last answer but none came for too long
        Procedure, // the instrument runs a procedure (zero correction)
    };

    Branch branch = Branch::Other;
    QString statusText;
    // Texts of the group "Zelmor"; empty optionals leave a label as it is.
    std::optional<QString> timeName;
    std::optional<QString> workTime;
    std::optional<QString> pressure;
    std::optional<QString> termF;
    std::optional<QString> termQ;
    std::optional<bool> warmedUp;
    bool showPanelMeasure = false;
    // Readings branch: a new record arrived since the previous tick.
    bool newRecord = false;
};

// The eight values the gas graph shows (CO, CH, CO2, O2, NOx, engine speed,
// Tm, lambda); `zeroed` while no live reading may be shown, when the small
// labels of the group "Zelmor" read "0" as well.
struct GasGraphInput
{
    std::array<double, 8> values {};
    std::array<double, 5> preValues {};
    bool zeroed = false;
};

class OperationTicker
{
public:
    static constexpr int IntervalMs = 500;
    // Seven ticks (3.5 s) without a new record mean the link is gone.
    static constexpr int MaxStaleTicks = 6;
    static constexpr double MmHgPerPascal = 0.0075006168;

    OperationTick tick(const ZmxSnapshot &snapshot);
    static GasGraphInput gasGraphInput(const ZmxSnapshot &snapshot, TestOperation state);

    static QString warmUpTimeText(int seconds);
    static QString workTimeText(quint32 tickMs);
    static QString pressureText(double pascal);

    int staleTicks() const { return m_staleTicks; }

private:
    int m_lastRecordCount = -1;
    int m_staleTicks = 0;
};

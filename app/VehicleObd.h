#pragma once

#include "config/Settings.h"
#include "device/obd/ObdSnapshot.h"

#include <QString>

#include <cstdint>
#include <optional>

class ObdLink;

// The vehicle's own computer as the main window uses it: whether the OBD-II
// adapter is in use, and which engine speed and temperature the measuring
// page, the gauges and the test's readings show. Holds no widgets; the window
// owns the link and hands it here (none in tests that run without one).
//
// The engine speed comes from the vehicle while the adapter is in use and
// its last value is at most MaxRpmAgeMs old; otherwise from the instrument,
// as without an adapter. The coolant temperature stands in for the
// instrument's Tm only where the instrument gives none (no probe: Tm at or
// below NoTmBelow).
class VehicleObd
{
public:
    // A value older than this is not shown: at 4 values a second and more a
    // second without one means the vehicle stopped answering.
    static constexpr uint32_t MaxRpmAgeMs = 1000;
    // The coolant is asked for every 2 s beside the engine speed.
    static constexpr uint32_t MaxCoolantAgeMs = 6000;
    // Tm at or below this is no reading (the gas graph shows "---" for it).
    static constexpr int NoTmBelow = -55;
    // The temperature gauge's window while it shows the coolant: an engine
    // at its working temperature. The instrument's oil window (55 … 65 °C)
    // would call every warm engine's coolant out of range.
    static constexpr float CoolantWindowLow = 70;
    static constexpr float CoolantWindowHigh = 110;

    struct Reading
    {
        double value = 0;
        bool fromObd = false;
        bool operator==(const Reading &) const = default;
    };

    explicit VehicleObd(ObdLink *link = nullptr);

    // Uses the adapter on the options' port, or stops using it; takes effect
    // at once (the link reopens its port on its own thread).
    void apply(const ObdOptions &options);
    bool inUse() const { return m_link && m_inUse; }
    ObdLink *link() const { return m_link; }

    // The link's state; a blank one (state Off) while the adapter is not in use.
    ObdSnapshot snapshot() const;

    // The engine speed at `nowMs` from the vehicle when it is fresh, else
    // nothing (the instrument's is taken).
    std::optional<double> freshRpm(uint32_t nowMs) const;

    // The engine speed and the temperature to show, from a snapshot taken at
    // `nowMs` (null: no adapter in use) and the instrument's own values.
    static Reading engineSpeed(const ObdSnapshot *obd, double instrumentRpm, uint32_t nowMs);
    static Reading temperature(const ObdSnapshot *obd, double instrumentTm, uint32_t nowMs);

private:
    ObdLink *m_link;
    bool m_inUse = false;
};

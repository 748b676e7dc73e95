#pragma once

// The vehicle's emission monitors as OBD-II mode 01 PID 01 reports them:
// three that run all the time (misfire, fuel system, components) and the
// ones that run once per trip, which differ between spark and compression
// ignition. For each the vehicle says whether it has the monitor and
// whether its test is still incomplete; an inspection wants them ready.

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

enum class ObdMonitor : uint8_t {
    // continuous
    Misfire,
    FuelSystem,
    Components,
    // spark ignition
    Catalyst,
    HeatedCatalyst,
    Evaporative,
    SecondaryAir,
    AcRefrigerant,
    OxygenSensor,
    OxygenSensorHeater,
    Egr,
    // compression ignition
    NmhcCatalyst,
    NoxAftertreatment,
    BoostPressure,
    ExhaustGasSensor,
    ParticulateFilter,
    EgrVvt,
};

// Where a monitor's bits sit in the answer's bytes B, C and D.
enum class ObdMonitorGroup { Continuous, Spark, Compression };

struct ObdMonitorInfo
{
    ObdMonitor monitor;
    ObdMonitorGroup group;
    // Continuous: bit of byte B that says "available" (the "incomplete" bit is 4 higher);
    // otherwise the bit in byte C (available) and byte D (incomplete).
    int bit;
    // Stable name for stored results and the simulator's steering ("catalyst", "o2-heater").
    const char *key;
    // What the operator reads on the protocol ("катализатор").
    const char *name;
};

// Every monitor in the order the protocol lists them.
const std::vector<ObdMonitorInfo> &obdMonitors();
const ObdMonitorInfo &obdMonitorInfo(ObdMonitor monitor);
std::optional<ObdMonitor> obdMonitorFromKey(std::string_view key);
QString obdMonitorName(ObdMonitor monitor);

// A set of monitors as bits (bit n: the monitor with value n).
class ObdMonitorSet
{
public:
    constexpr ObdMonitorSet() = default;
    constexpr explicit ObdMonitorSet(uint32_t bits)
        : m_bits(bits)
    { }
    bool contains(ObdMonitor m) const { return m_bits & bitOf(m); }
    void insert(ObdMonitor m) { m_bits |= bitOf(m); }
    void remove(ObdMonitor m) { m_bits &= ~bitOf(m); }
    bool empty() const { return m_bits == 0; }
    uint32_t bits() const { return m_bits; }
    ObdMonitorSet &operator|=(ObdMonitorSet other)
    {
        m_bits |= other.m_bits;
        return *this;
    }
    bool operator==(const ObdMonitorSet &) const = default;

private:
    static uint32_t bitOf(ObdMonitor m) { return uint32_t(1) << unsigned(m); }
    uint32_t m_bits = 0;
};

// Mode 01 PID 01 ("monitor status since codes cleared"), put together over
// every control unit that answered.
struct ObdMonitorStatus
{
    bool milOn = false; // the malfunction indicator lamp is commanded on
    int codeCount = 0; // stored emission-related codes
    bool compressionIgnition = false; // a diesel: the per-trip monitors are the diesel ones
    ObdMonitorSet supported;
    ObdMonitorSet incomplete; // only meaningful for supported monitors

    bool ready(ObdMonitor m) const { return supported.contains(m) && !incomplete.contains(m); }
    bool operator==(const ObdMonitorStatus &) const = default;
};

// The monitors of one PID 01 answer (bytes B, C, D) for its kind of ignition.
ObdMonitorStatus obdMonitorStatusFromBytes(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
// The four bytes a vehicle would send for `status` (the simulator's car).
std::array<uint8_t, 4> obdMonitorStatusToBytes(const ObdMonitorStatus &status);

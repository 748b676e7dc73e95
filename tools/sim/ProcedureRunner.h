#pragma once

#include "device/Records.h"

#include <cstdint>
#include <optional>
#include <vector>

// The instrument's multi-step procedures: zero correction, pressure-sensor
// calibration, the oxygen channel's offset and gain, and the signal stretch.
// Each runs for a fixed time, reports a progress packet at each step and ends
// with its final answer. While one runs the instrument refuses commands.
class ProcedureRunner
{
public:
    enum Kind { None, Zero, Pressure, ShiftO2, KuO2, Stretch };

    // Default length of a procedure and the time between its steps.
    static constexpr int DefaultDurationMs = 3000;
    static constexpr int StepIntervalMs = 250;

    // What a procedure produced when it ended.
    struct Outcome
    {
        Kind kind = None;
        std::vector<uint8_t> answer; // final answer (or the error progress packet)
        bool failed = false;
        double pressurePa = 0; // pressure calibration: what the sensor reads from now on
        int16_t coefficient = 0; // O2 calibrations
    };

    void setDurationMs(int ms) { m_durationMs = ms; }
    int durationMs() const { return m_durationMs; }
    // A zero correction that ends in an error instead of ZMXprg_zero_end.
    void setZeroFails(bool on) { m_zeroFails = on; }

    // Starts `kind` at `nowMs`. `argument` is the float64 pressure in mm Hg
    // for Pressure, the current offset coefficient for KuO2.
    void start(Kind kind, int64_t nowMs, double argument, double measuredPressurePa);
    bool running() const { return m_kind != None; }
    Kind kind() const { return m_kind; }
    // The packet describing where the procedure stands now.
    ProgressPacket progress(int64_t nowMs) const;

    // Advances to `nowMs`: returns a progress packet when a new step began, and
    // fills `ended` (and stops) when the procedure is over.
    std::optional<ProgressPacket> advance(int64_t nowMs, std::optional<Outcome> &ended);

    int16_t shiftO2() const { return m_shiftO2; }
    int16_t gainO2() const { return m_gainO2; }

    static const char *kindName(Kind kind);

private:
    uint8_t statusAt(int64_t nowMs) const;
    uint8_t stepAt(int64_t nowMs) const;
    Outcome finish();

    Kind m_kind = None;
    int64_t m_startMs = 0;
    int m_lastStep = -1;
    int m_durationMs = DefaultDurationMs;
    bool m_zeroFails = false;
    double m_argument = 0;
    double m_measuredPa = 0;
    int16_t m_shiftO2 = 112;
    int16_t m_gainO2 = 2048;
    int32_t m_stretch = 10240;
};

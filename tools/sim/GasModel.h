#pragma once

#include "device/Records.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>

// The measured world of the instrument: the engine's speed, the exhaust gas,
// the cell's temperatures and the air pressure. Values follow the engine
// speed (idle near 800 rpm, leaner and hotter when raised), wander slowly and
// carry a little noise, unless held: then every record carries exactly the
// values set, so that tests can check means.
class GasModel
{
public:
    enum Channel {
        CO,
        CH,
        CO2,
        O2,
        NOx,
        Lambda,
        Pressure,
        TempF,
        TempQ,
        TempM,
        PrEkv,
        ChannelCount
    };

    static constexpr int IdleRpm = 800;

    explicit GasModel(uint32_t seed);

    void setRpm(int rpm) { m_rpm = rpm; }
    int rpm() const { return m_rpm; }
    // Fixes a channel at `value`; it no longer follows the engine speed.
    void setLevel(Channel channel, double value) { m_set[channel] = value; }
    void setHold(bool on) { m_hold = on; }
    bool hold() const { return m_hold; }
    // Purging with clean air shows the air's composition instead of exhaust.
    void setCleanAir(bool on) { m_cleanAir = on; }
    bool cleanAir() const { return m_cleanAir; }
    // A zero correction takes away the drift gathered since the last one.
    void zeroCorrected(int64_t nowMs) { m_zeroAtMs = nowMs; }
    // Pressure calibration: from now on the sensor reads `pascal`.
    void calibratePressure(double pascal) { m_pressureCalibrated = pascal; }

    // The level a channel has now, without noise.
    double level(Channel channel, int64_t nowMs) const;

    ResultRecord result(int64_t nowMs, uint32_t tickMs);
    WarmUpRecord warmUp(int secondsLeft, int warmupTotal);
    DriftInfoRecord driftInfo(int64_t nowMs);
    TermRatioRecord termRatio(int64_t nowMs);

    // The channel a steering command names; -1 when unknown.
    static int channelFromName(const std::string &name);

private:
    double defaultLevel(Channel channel) const;
    double drift(Channel channel, int64_t nowMs) const;
    double noisy(double value, double relative, double absolute);

    std::mt19937 m_random;
    int m_rpm = IdleRpm;
    std::optional<double> m_set[ChannelCount];
    std::optional<double> m_pressureCalibrated;
    bool m_hold = false;
    bool m_cleanAir = false;
    int64_t m_zeroAtMs = 0;
};

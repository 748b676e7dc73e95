#include "tools/sim/GasModel.h"

#include "device/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Exhaust of a warm petrol engine with a catalyst, at idle and at raised speed.
constexpr double IdleLevels[] = { 0.45, 110.0, 14.6, 0.50, 90.0, 1.010 };
constexpr double RaisedLevels[] = { 0.25, 70.0, 14.9, 0.35, 220.0, 1.000 };
constexpr double RaisedRpm = 3000.0;
// Clean ambient air while the cell is purged.
constexpr double AirLevels[] = { 0.0, 0.0, 0.04, 20.9, 0.0, 9.99 };

constexpr double AirPressurePa = 99000.0;
constexpr double CellTempF = 42.0;
constexpr double CellTempQ = 38.0;
constexpr double EngineOilTemp = 85.0;
constexpr double AmbientTemp = 20.0;
constexpr double PropaneEquivalence = 0.52;

// Drift per minute since the last zero correction, per gas.
constexpr double DriftPerMinute[] = { 0.0004, 0.3, 0.002, 0.003, 0.2 };
constexpr double MsPerMinute = 60000.0;

// How far apart noise goes: relative share and an absolute floor per channel.
constexpr double NoiseRelative = 0.01;
constexpr double NoiseAbsolute[] = { 0.002, 0.5, 0.02, 0.005, 0.5, 0.002, 15.0, 0.2, 0.2, 0.3, 0 };
constexpr double RpmNoise = 8.0;

constexpr uint16_t HeaterTarget = 450;

const char *const ChannelNames[]
    = { "CO", "CH", "CO2", "O2", "NOx", "lambda", "pressure", "tf", "tq", "tm", "pr_ekv" };

int8_t toInt8(double v)
{
    return static_cast<int8_t>(std::clamp(std::lround(v), -128L, 127L));
}

} // namespace

GasModel::GasModel(uint32_t seed)
    : m_random(seed)
{ }

int GasModel::channelFromName(const std::string &name)
{
    for (int i = 0; i < ChannelCount; ++i) {
        std::string lower = name;
        std::string known = ChannelNames[i];
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        std::transform(known.begin(), known.end(), known.begin(), ::tolower);
        if (lower == known)
            return i;
    }
    return -1;
}

double GasModel::defaultLevel(Channel channel) const
{
    if (channel <= Lambda) {
        if (m_cleanAir)
            return AirLevels[channel];
        const double share = std::clamp((m_rpm - IdleRpm) / (RaisedRpm - IdleRpm), 0.0, 1.0);
        return IdleLevels[channel] + share * (RaisedLevels[channel] - IdleLevels[channel]);
    }
    switch (channel) {
    case Pressure:
        return m_pressureCalibrated.value_or(AirPressurePa);
    case TempF:
        return CellTempF;
    case TempQ:
        return CellTempQ;
    case TempM:
        return EngineOilTemp;
    case PrEkv:
        return PropaneEquivalence;
    default:
        return 0;
    }
}

double GasModel::level(Channel channel, int64_t nowMs) const
{
    const double base = m_set[channel] ? *m_set[channel] : defaultLevel(channel);
    return m_hold ? base : base + drift(channel, nowMs);
}

double GasModel::drift(Channel channel, int64_t nowMs) const
{
    if (channel > NOx || m_cleanAir)
        return 0;
    const double minutes = static_cast<double>(nowMs - m_zeroAtMs) / MsPerMinute;
    return DriftPerMinute[channel] * std::max(0.0, minutes);
}

double GasModel::noisy(double value, double relative, double absolute)
{
    if (m_hold)
        return value;
    std::normal_distribution<double> dist(0.0, 1.0);
    const double spread = std::max(std::fabs(value) * relative, absolute);
    return value + spread * std::clamp(dist(m_random), -3.0, 3.0);
}

ResultRecord GasModel::result(int64_t nowMs, uint32_t tickMs)
{
    ResultRecord r;
    double gas[5];
    for (int g = 0; g <= NOx; ++g) {
        const auto ch = static_cast<Channel>(g);
        // Concentrations never read below zero; the oxygen cell stays in range.
        gas[g] = std::max(0.0, noisy(level(ch, nowMs), NoiseRelative, NoiseAbsolute[g]));
    }
    r.gaseCO = static_cast<float>(gas[CO]);
    r.gaseCH = static_cast<float>(gas[CH]);
    r.gaseCO2 = static_cast<float>(gas[CO2]);
    r.gaseO2 = static_cast<float>(gas[O2]);
    r.gaseNOx = static_cast<float>(gas[NOx]);

    // Raw cell signal and the zero reference it is measured against.
    double *prer[] = { &r.prer_CO, &r.prer_CH, &r.prer_CO2, &r.prer_O2, &r.prer_NOx };
    double *prez[] = { &r.prez_CO, &r.prez_CH, &r.prez_CO2, &r.prez_O2, &r.prez_NOx };
    for (int g = 0; g <= NOx; ++g) {
        const double zero = drift(static_cast<Channel>(g), nowMs);
        *prez[g] = zero;
        *prer[g] = gas[g] + zero;
    }

    r.delta = static_cast<int16_t>(std::lround(drift(CO, nowMs) * 1000.0));
    r.paskal = static_cast<float>(noisy(level(Pressure, nowMs), 0, NoiseAbsolute[Pressure]));
    r.pr_ekv = static_cast<float>(level(PrEkv, nowMs));
    r.lyambda = static_cast<float>(noisy(level(Lambda, nowMs), 0.002, NoiseAbsolute[Lambda]));
    const double rpm = m_hold ? m_rpm : (m_rpm > 0 ? noisy(m_rpm, 0, RpmNoise) : 0);
    r.tax = static_cast<uint16_t>(std::clamp(std::lround(rpm), 0L, 65535L));
    r.tick_ms = tickMs;
    r.t_tick = static_cast<uint16_t>(tickMs / 100);
    r.term_f = toInt8(noisy(level(TempF, nowMs), 0, NoiseAbsolute[TempF]));
    r.term_q = toInt8(noisy(level(TempQ, nowMs), 0, NoiseAbsolute[TempQ]));
    r.term_m = toInt8(noisy(level(TempM, nowMs), 0, NoiseAbsolute[TempM]));
    return r;
}

WarmUpRecord GasModel::warmUp(int secondsLeft, int warmupTotal)
{
    WarmUpRecord w;
    const double done
        = warmupTotal > 0 ? std::clamp(1.0 - double(secondsLeft) / warmupTotal, 0.0, 1.0) : 1.0;
    w.warmUpSeconds = static_cast<uint16_t>(std::max(0, secondsLeft));
    w.warmUpFinished = secondsLeft <= 0 ? 1 : 0;
    w.fp_nado = HeaterTarget;
    w.fp_Res = static_cast<uint16_t>(HeaterTarget * (0.6 + 0.4 * done));
    // The heaters work hard while cold and settle as they approach the target.
    w.fp_duty = static_cast<uint16_t>(95 - 55 * done);
    w.qu_duty = static_cast<uint16_t>(90 - 50 * done);
    w.term_f = toInt8(AmbientTemp + (CellTempF - AmbientTemp) * done);
    w.term_q = toInt8(AmbientTemp + (CellTempQ - AmbientTemp) * done);
    return w;
}

DriftInfoRecord GasModel::driftInfo(int64_t nowMs)
{
    DriftInfoRecord d;
    float *gases[] = { &d.DI_gaseCO, &d.DI_gaseCH, &d.DI_gaseCO2, &d.DI_gaseO2, &d.DI_gaseNOx };
    float *drifts[]
        = { &d.DI_driftCO, &d.DI_driftCH, &d.DI_driftCO2, &d.DI_driftO2, &d.DI_driftNOx };
    for (int g = 0; g <= NOx; ++g) {
        *gases[g] = static_cast<float>(level(static_cast<Channel>(g), nowMs));
        *drifts[g] = static_cast<float>(drift(static_cast<Channel>(g), nowMs));
    }
    return d;
}

TermRatioRecord GasModel::termRatio(int64_t nowMs)
{
    TermRatioRecord t;
    // Ratio of each channel's signal to its reference, near one when warm.
    const float ratios[] = { static_cast<float>(noisy(1.0, 0.002, 0)),
        static_cast<float>(noisy(0.98, 0.002, 0)), static_cast<float>(noisy(1.02, 0.002, 0)) };
    for (int i = 0; i < 3; ++i)
        LittleEndian::writeF32(t.bytes.data() + 4 * i, ratios[i]);
    t.bytes[12] = static_cast<uint8_t>(toInt8(level(TempF, nowMs)));
    t.bytes[13] = static_cast<uint8_t>(toInt8(level(TempQ, nowMs)));
    return t;
}

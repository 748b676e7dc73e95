#include "tools/sim/ObdCar.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint8_t PositiveAnswer = 0x40;
constexpr uint8_t ModeCurrentData = 0x01;
constexpr uint8_t ModeStoredCodes = 0x03;
constexpr uint8_t ModeVehicleInfo = 0x09;
constexpr uint8_t PidVin = 0x02;
constexpr int CoolantOffset = 40;
constexpr int RpmCountsPerRev = 4;
constexpr int MaxRpmCount = 0xffff;
// Older protocols: three codes per mode 03 message, four VIN characters
// per mode 09 message.
constexpr size_t KLineCodesPerMessage = 3;
constexpr size_t KLineVinChunk = 4;
constexpr size_t KLineVinMessages = 5;

// PID n of 01..20 is bit 32 - n of the PID 00 answer.
constexpr uint32_t pidBit(int pid)
{
    return uint32_t(1) << (32 - pid);
}

constexpr uint32_t EnginePids = pidBit(0x01) | pidBit(0x05) | pidBit(0x0C);
constexpr uint32_t SecondUnitPids = pidBit(0x01);

ObdMonitorSet monitorsOf(bool compression)
{
    ObdMonitorSet set;
    for (ObdMonitor m : { ObdMonitor::Misfire, ObdMonitor::FuelSystem, ObdMonitor::Components })
        set.insert(m);
    // Named arrays: a braced list chosen by ?: would die with its expression.
    static constexpr ObdMonitor CompressionPerTrip[]
        = { ObdMonitor::NmhcCatalyst, ObdMonitor::NoxAftertreatment, ObdMonitor::BoostPressure,
              ObdMonitor::ExhaustGasSensor, ObdMonitor::ParticulateFilter, ObdMonitor::EgrVvt };
    static constexpr ObdMonitor SparkPerTrip[]
        = { ObdMonitor::Catalyst, ObdMonitor::Evaporative, ObdMonitor::SecondaryAir,
              ObdMonitor::OxygenSensor, ObdMonitor::OxygenSensorHeater, ObdMonitor::Egr };
    for (ObdMonitor m : CompressionPerTrip)
        if (compression)
            set.insert(m);
    for (ObdMonitor m : SparkPerTrip)
        if (!compression)
            set.insert(m);
    return set;
}

ObdCar::Message withBytes(std::initializer_list<uint8_t> head, uint32_t value, int bytes)
{
    ObdCar::Message m(head);
    for (int i = bytes - 1; i >= 0; --i)
        m.push_back(uint8_t(value >> (8 * i)));
    return m;
}

} // namespace

ObdCar::ObdCar(std::function<int()> engineSpeed)
    : m_engineSpeed(std::move(engineSpeed))
    , m_supported(monitorsOf(false))
{ }

void ObdCar::setCompressionIgnition(bool on)
{
    m_compression = on;
    m_supported = monitorsOf(on);
}

ObdMonitorStatus ObdCar::engineStatus() const
{
    ObdMonitorStatus s;
    s.milOn = m_mil;
    s.codeCount = int(m_codes.size());
    s.compressionIgnition = m_compression;
    s.supported = m_supported;
    s.incomplete = m_incomplete;
    return s;
}

std::vector<ObdCar::Message> ObdCar::answer(const std::vector<uint8_t> &request) const
{
    if (request.size() == 2 && request[0] == ModeCurrentData)
        return currentData(request[1]);
    if (request.size() == 1 && request[0] == ModeStoredCodes)
        return storedCodes();
    if (request.size() == 2 && request[0] == ModeVehicleInfo && request[1] == PidVin)
        return vehicleIdentification();
    return {};
}

std::vector<ObdCar::Message> ObdCar::currentData(uint8_t pid) const
{
    const uint8_t mode = ModeCurrentData | PositiveAnswer;
    std::vector<Message> out;
    switch (pid) {
    case 0x00:
        out.push_back(withBytes({ mode, pid }, EnginePids, 4));
        if (m_units > 1)
            out.push_back(withBytes({ mode, pid }, SecondUnitPids, 4));
        break;
    case 0x01: {
        const auto bytes = obdMonitorStatusToBytes(engineStatus());
        out.push_back({ mode, pid, bytes[0], bytes[1], bytes[2], bytes[3] });
        if (m_units > 1) {
            // The second unit watches its own parts all the time, and has no codes.
            ObdMonitorStatus second;
            second.compressionIgnition = m_compression;
            second.supported.insert(ObdMonitor::Components);
            const auto b = obdMonitorStatusToBytes(second);
            out.push_back({ mode, pid, b[0], b[1], b[2], b[3] });
        }
        break;
    }
    case 0x05:
        out.push_back({ mode, pid, uint8_t(std::clamp(m_coolantC + CoolantOffset, 0, 255)) });
        break;
    case 0x0C: {
        const int count = std::clamp(engineSpeed() * RpmCountsPerRev, 0, MaxRpmCount);
        out.push_back(withBytes({ mode, pid }, uint32_t(count), 2));
        break;
    }
    default:
        break;
    }
    return out;
}

std::vector<ObdCar::Message> ObdCar::storedCodes() const
{
    const uint8_t mode = ModeStoredCodes | PositiveAnswer;
    std::vector<Message> out;
    const int units = std::max(m_units, 1);
    if (m_protocol == Protocol::Can) {
        // A count, then two bytes a code; the second unit has none.
        Message m { mode, uint8_t(m_codes.size()) };
        for (uint16_t code : m_codes) {
            m.push_back(uint8_t(code >> 8));
            m.push_back(uint8_t(code));
        }
        out.push_back(m);
        for (int i = 1; i < units; ++i)
            out.push_back({ mode, 0 });
        return out;
    }
    // Three codes a message, the last padded with zeros; one message even without codes.
    size_t next = 0;
    do {
        Message m { mode };
        for (size_t i = 0; i < KLineCodesPerMessage; ++i, ++next) {
            const uint16_t code = next < m_codes.size() ? m_codes[next] : 0;
            m.push_back(uint8_t(code >> 8));
            m.push_back(uint8_t(code));
        }
        out.push_back(m);
    } while (next < m_codes.size());
    for (int i = 1; i < units; ++i)
        out.push_back({ mode, 0, 0, 0, 0, 0, 0 });
    return out;
}

std::vector<ObdCar::Message> ObdCar::vehicleIdentification() const
{
    const uint8_t mode = ModeVehicleInfo | PositiveAnswer;
    if (m_vin.empty())
        return {};
    if (m_protocol == Protocol::Can) {
        Message m { mode, PidVin, 1 };
        m.insert(m.end(), m_vin.begin(), m_vin.end());
        return { m };
    }
    // Numbered messages of four characters, the first padded in front.
    const size_t room = KLineVinChunk * KLineVinMessages;
    const std::string vin = m_vin.substr(0, room);
    const std::string padded = std::string(room - vin.size(), '\0') + vin;
    std::vector<Message> out;
    for (size_t i = 0; i < KLineVinMessages; ++i) {
        Message m { mode, PidVin, uint8_t(i + 1) };
        for (size_t j = 0; j < KLineVinChunk; ++j)
            m.push_back(uint8_t(padded[i * KLineVinChunk + j]));
        out.push_back(m);
    }
    return out;
}

std::string ObdCar::describe() const
{
    char text[200];
    std::snprintf(text, sizeof text,
        "obd_rpm=%d coolant=%d mil=%s codes=%zu vin=%s ignition=%s protocol=%s units=%d",
        engineSpeed(), m_coolantC, m_mil ? "on" : "off", m_codes.size(),
        m_vin.empty() ? "none" : m_vin.c_str(), m_compression ? "compression" : "spark",
        m_protocol == Protocol::Can ? "can" : "kline", m_units);
    return text;
}

#pragma once

#include "device/obd/ObdMonitor.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The vehicle behind the simulated OBD adapter: its engine control unit (and,
// when asked for, a second unit such as a gearbox) answering OBD-II requests
// with the bytes a real one sends. The engine speed is the instrument
// simulator's own, so both sources agree; the rest is set by steering.
class ObdCar
{
public:
    enum class Protocol { Can, KLine };

    using Message = std::vector<uint8_t>;

    // `engineSpeed` gives the engine's speed now (rpm).
    explicit ObdCar(std::function<int()> engineSpeed);

    // The units' answers to one request (its bytes: 01 0C, 03, 09 02), in the
    // order they come; empty when no unit answers.
    std::vector<Message> answer(const std::vector<uint8_t> &request) const;

    Protocol protocol() const { return m_protocol; }
    void setProtocol(Protocol p) { m_protocol = p; }
    // The digit ATDPN gives for the protocol ("6" CAN 11/500, "3" ISO 9141-2).
    char protocolDigit() const { return m_protocol == Protocol::Can ? '6' : '3'; }

    // The engine speed the car reports, apart from the instrument's (its
    // probe not clipped on, or reading another cylinder); none: follow it.
    void setRpm(std::optional<int> rpm) { m_rpm = rpm; }
    void setCoolant(int celsius) { m_coolantC = celsius; }
    void setMil(bool on) { m_mil = on; }
    void setCodes(std::vector<uint16_t> codes) { m_codes = std::move(codes); }
    void setVin(const std::string &vin) { m_vin = vin; }
    // Switches the kind of ignition; the supported monitors become that kind's.
    void setCompressionIgnition(bool on);
    void setIncomplete(ObdMonitorSet incomplete) { m_incomplete = incomplete; }
    void setUnits(int units) { m_units = units; }

    // "key=value ..." for the status line.
    std::string describe() const;

private:
    std::vector<Message> currentData(uint8_t pid) const;
    std::vector<Message> storedCodes() const;
    std::vector<Message> vehicleIdentification() const;
    ObdMonitorStatus engineStatus() const;

    int engineSpeed() const { return m_rpm ? *m_rpm : m_engineSpeed(); }

    std::function<int()> m_engineSpeed;
    std::optional<int> m_rpm;
    Protocol m_protocol = Protocol::Can;
    int m_coolantC = 88;
    bool m_mil = false;
    std::vector<uint16_t> m_codes;
    std::string m_vin = "ZLM1SM0A1B2C34567";
    bool m_compression = false;
    ObdMonitorSet m_supported;
    ObdMonitorSet m_incomplete;
    int m_units = 1;
};

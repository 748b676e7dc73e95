#include "tools/sim/ObdSimulator.h"

#include "device/obd/ObdDecode.h"
#include "tools/sim/SimClock.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

constexpr int ReadChunk = 256;
constexpr int IdleWakeMs = 20;
constexpr int ClientCheckMs = 5; // a line without a client cannot be waited on
constexpr int PacingWakeMs = 1;
constexpr long MinCoolant = -40;
constexpr long MaxCoolant = 215;
constexpr long MaxRpm = 16383; // what PID 0C can carry
constexpr long MaxDelayMs = 60000;
constexpr size_t VinLength = 17;

bool parseSwitch(const std::string &text, bool &on)
{
    if (text == "on" || text == "1")
        on = true;
    else if (text == "off" || text == "0")
        on = false;
    else
        return false;
    return true;
}

bool parseInt(const std::string &text, long min, long max, long &value)
{
    std::istringstream in(text);
    long parsed = 0;
    in >> parsed;
    if (in.fail() || !in.eof() || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

std::string rest(const std::vector<std::string> &words, size_t from)
{
    std::string text;
    for (size_t i = from; i < words.size(); ++i)
        text += (i > from ? " " : "") + words[i];
    return text;
}

bool validVin(const std::string &vin)
{
    return vin.size() == VinLength && std::all_of(vin.begin(), vin.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
    });
}

} // namespace

ObdSimulator::ObdSimulator(const std::string &linkPath, int speed, std::function<int()> engineSpeed,
    Output announce, Output log)
    : m_linkPath(linkPath)
    , m_speed(speed)
    , m_announce(std::move(announce))
    , m_log(std::move(log))
    , m_car(std::move(engineSpeed))
    , m_adapter(m_car)
{ }

bool ObdSimulator::plug(std::string &error)
{
    if (!m_port.open(m_linkPath, m_speed, error))
        return false;
    m_port.setTransmitSpeed(m_speed);
    m_adapter.powerOn();
    m_clientPresent = false;
    m_announce("obd-ready " + m_port.slavePath());
    m_log("obd adapter plugged in on " + m_port.slavePath());
    return true;
}

void ObdSimulator::unplug()
{
    m_port.close();
    m_port.removeLink();
    m_adapter.powerOn();
    m_clientPresent = false;
    ++m_unplugs;
    m_log("obd adapter unplugged");
}

int ObdSimulator::pollFd() const
{
    return m_port.isOpen() && m_clientPresent ? m_port.fd() : -1;
}

void ObdSimulator::readInput(int64_t nowMs)
{
    uint8_t buffer[ReadChunk];
    for (;;) {
        int speed = 0;
        const int n = m_port.read(buffer, sizeof buffer, speed);
        if (n <= 0)
            return;
        if (speed != m_speed)
            m_adapter.receiveNoise();
        else
            m_adapter.receive(buffer, size_t(n), nowMs);
    }
}

void ObdSimulator::advance(int64_t nowMs)
{
    if (!m_port.isOpen())
        return;
    const bool present = m_port.clientPresent();
    if (present != m_clientPresent) {
        m_clientPresent = present;
        if (present)
            ++m_clientOpens;
        m_log(present ? "obd client opened the line" : "obd client closed the line");
        if (!present) {
            m_port.discardInput();
            m_port.discardOutput();
        }
    }
    std::vector<uint8_t> out;
    m_adapter.takeOutput(nowMs, out);
    if (!m_clientPresent)
        return;
    if (!out.empty())
        m_port.queue(out);
    m_port.pump(monotonicMicros());
}

int ObdSimulator::wakeInMs(int64_t nowMs) const
{
    if (!m_port.isOpen())
        return IdleWakeMs;
    if (!m_clientPresent)
        return ClientCheckMs;
    if (!m_port.transmitIdle())
        return PacingWakeMs;
    const int64_t next = m_adapter.nextOutputMs();
    if (next < 0)
        return IdleWakeMs;
    return int(std::clamp<int64_t>(next - nowMs, 0, IdleWakeMs));
}

std::string ObdSimulator::steer(const std::vector<std::string> &words)
{
    const size_t argc = words.size() - 1;
    const std::string what = argc >= 1 ? words[1] : std::string();
    long n = 0;
    bool on = false;
    std::string error;

    if (what == "rpm" && argc == 2 && words[2] == "follow") {
        m_car.setRpm(std::nullopt);
        return "ok";
    }
    if (what == "rpm" && argc == 2 && parseInt(words[2], 0, MaxRpm, n)) {
        m_car.setRpm(int(n));
        return "ok";
    }
    if (what == "coolant" && argc == 2 && parseInt(words[2], MinCoolant, MaxCoolant, n)) {
        m_car.setCoolant(int(n));
        return "ok";
    }
    if (what == "mil" && argc == 2 && parseSwitch(words[2], on)) {
        m_car.setMil(on);
        return "ok";
    }
    if (what == "codes" && argc >= 2) {
        std::vector<uint16_t> codes;
        if (!(argc == 2 && words[2] == "none")) {
            for (size_t i = 2; i < words.size(); ++i) {
                uint8_t high = 0;
                uint8_t low = 0;
                if (!obd::troubleCodeBytes(words[i], high, low))
                    return "error not a trouble code: " + words[i];
                codes.push_back(uint16_t(high << 8 | low));
            }
        }
        m_car.setCodes(codes);
        return "ok";
    }
    if (what == "vin" && argc == 2) {
        if (words[2] != "none" && !validVin(words[2]))
            return "error a VIN has 17 characters 0-9 A-Z";
        m_car.setVin(words[2] == "none" ? std::string() : words[2]);
        return "ok";
    }
    if (what == "incomplete" && argc >= 2) {
        ObdMonitorSet incomplete;
        if (!(argc == 2 && words[2] == "none")) {
            for (size_t i = 2; i < words.size(); ++i) {
                const auto monitor = obdMonitorFromKey(words[i]);
                if (!monitor)
                    return "error unknown monitor " + words[i];
                incomplete.insert(*monitor);
            }
        }
        m_car.setIncomplete(incomplete);
        return "ok";
    }
    if (what == "ignition" && argc == 2 && (words[2] == "spark" || words[2] == "compression")) {
        m_car.setCompressionIgnition(words[2] == "compression");
        return "ok";
    }
    if (what == "protocol" && argc == 2 && (words[2] == "can" || words[2] == "kline")) {
        m_car.setProtocol(words[2] == "can" ? ObdCar::Protocol::Can : ObdCar::Protocol::KLine);
        return "ok";
    }
    if (what == "units" && argc == 2 && parseInt(words[2], 1, 2, n)) {
        m_car.setUnits(int(n));
        return "ok";
    }
    if (what == "version" && argc >= 2) {
        m_adapter.setVersion(rest(words, 2));
        return "ok";
    }
    if (what == "fault" && argc >= 1)
        return fault(words);
    if (what == "unplug" && argc == 1) {
        if (plugged())
            unplug();
        return "ok";
    }
    if (what == "plug" && argc == 1) {
        if (!plugged() && !plug(error))
            return "error " + error;
        return "ok";
    }
    if (what == "status" && argc == 1) {
        char text[200];
        std::snprintf(text, sizeof text,
            "status obd plugged=%d client=%d opens=%llu unplugs=%llu speed=%d client_speed=%d ",
            plugged() ? 1 : 0, m_clientPresent ? 1 : 0,
            static_cast<unsigned long long>(m_clientOpens),
            static_cast<unsigned long long>(m_unplugs), m_speed, m_port.clientSpeed());
        return text + m_adapter.describe() + " " + m_car.describe();
    }
    return "error unknown obd command: " + rest(words, 0);
}

std::string ObdSimulator::fault(const std::vector<std::string> &words)
{
    ElmAdapter::Faults &f = m_adapter.faults();
    const size_t argc = words.size() - 1;
    const std::string what = argc >= 2 ? words[2] : std::string();
    bool on = false;
    long n = 0;
    if (what == "off" && argc == 2) {
        f = ElmAdapter::Faults {};
        return "ok";
    }
    if ((what == "nodata" || what == "echo" || what == "silent") && argc == 3
        && parseSwitch(words[3], on)) {
        (what == "nodata" ? f.noData : what == "echo" ? f.echoStuck : f.silent) = on;
        return "ok";
    }
    if ((what == "search" || what == "reset") && argc == 3
        && parseInt(words[3], 0, MaxDelayMs, n)) {
        (what == "search" ? f.searchMs : f.resetMs) = int(n);
        return "ok";
    }
    if (what == "answer" && argc >= 3) {
        f.answer = argc == 3 && words[3] == "off" ? std::string() : rest(words, 3);
        return "ok";
    }
    return "error unknown obd fault: " + rest(words, 0);
}

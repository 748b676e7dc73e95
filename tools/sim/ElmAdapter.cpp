#include "tools/sim/ElmAdapter.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

// The vehicle's answer comes this long after the request (adaptive timing
// on a CAN vehicle); without one the adapter gives up after its own limit.
constexpr int64_t VehicleLatencyMs = 25;
constexpr int64_t NoAnswerLimitMs = 150;
// A K-line falls asleep after this long without a request and must be woken.
constexpr int64_t KLineSleepMs = 5000;
constexpr int64_t BusInitMs = 200;
constexpr size_t CanFrameData = 7; // data bytes of a CAN frame after its type byte
constexpr size_t FirstFrameData = 6; // the first frame of a long message also carries its length
constexpr int FrameNumbers = 16;
constexpr size_t MaxCommand = 64;
constexpr char Garbage = '#'; // what a byte heard at another speed becomes
constexpr const char *Prompt = ">";

bool allHex(const std::string &text)
{
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return !text.empty();
}

} // namespace

ElmAdapter::ElmAdapter(ObdCar &car)
    : m_car(car)
{ }

void ElmAdapter::powerOn()
{
    m_output.clear();
    m_input.clear();
    m_lastCommand.clear();
    m_waitingForVehicle = false;
    m_resetting = false;
    resetSettings();
}

void ElmAdapter::resetSettings()
{
    m_echo = true;
    m_linefeeds = true;
    m_spaces = true;
    m_connected = false;
    m_searching = false;
}

bool ElmAdapter::knowsSpaces() const
{
    int major = 0;
    int minor = 0;
    const size_t v = m_version.rfind('v');
    if (v == std::string::npos
        || std::sscanf(m_version.c_str() + v + 1, "%d.%d", &major, &minor) != 2)
        return true;
    return major > 1 || (major == 1 && minor >= 3);
}

void ElmAdapter::receive(const uint8_t *data, size_t length, int64_t nowMs)
{
    if (m_faults.silent)
        return;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = data[i];
        if (m_resetting)
            continue;
        if (m_waitingForVehicle) {
            // Any byte stops the wait for the vehicle; the byte itself is lost.
            m_output.clear();
            m_waitingForVehicle = false;
            if (m_searching)
                m_connected = false;
            m_searching = false;
            ++m_counters.stopped;
            answer(nowMs, { "STOPPED" });
            continue;
        }
        if (byte == '\r') {
            const std::string command = m_input.empty() ? m_lastCommand : m_input;
            m_input.clear();
            execute(command, nowMs);
        } else if (byte == '\n' || byte == ' ' || byte == 0) {
            continue;
        } else if (m_input.size() < MaxCommand) {
            m_input += std::isprint(byte) ? char(std::toupper(byte)) : Garbage;
        }
    }
}

void ElmAdapter::receiveNoise()
{
    if (m_faults.silent || m_resetting)
        return;
    ++m_counters.noise;
    if (m_input.size() < MaxCommand)
        m_input += Garbage;
}

void ElmAdapter::say(int64_t dueMs, const std::string &text)
{
    m_output.push_back({ dueMs, text, false });
}

void ElmAdapter::answer(int64_t dueMs, const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + lineEnd();
    m_output.push_back({ dueMs, text + lineEnd() + Prompt, true });
}

void ElmAdapter::takeOutput(int64_t nowMs, std::vector<uint8_t> &out)
{
    while (!m_output.empty() && m_output.front().dueMs <= nowMs) {
        const Piece &piece = m_output.front();
        out.insert(out.end(), piece.text.begin(), piece.text.end());
        if (piece.ends) {
            m_waitingForVehicle = false;
            m_searching = false;
            m_resetting = false;
        }
        m_output.pop_front();
    }
}

int64_t ElmAdapter::nextOutputMs() const
{
    return m_output.empty() ? -1 : m_output.front().dueMs;
}

void ElmAdapter::execute(const std::string &command, int64_t nowMs)
{
    ++m_counters.commands;
    m_lastCommand = command;
    if (m_echo || m_faults.echoStuck)
        say(nowMs, command + lineEnd());
    if (command.empty())
        answer(nowMs, {});
    else if (command.rfind("AT", 0) == 0)
        executeAt(command.substr(2), nowMs);
    else
        executeRequest(command, nowMs);
}

void ElmAdapter::executeAt(const std::string &at, int64_t nowMs)
{
    const auto ok = [&] { answer(nowMs, { "OK" }); };
    if (at == "Z") {
        resetSettings();
        m_resetting = true;
        m_output.push_back({ nowMs + m_faults.resetMs,
            lineEnd() + lineEnd() + m_version + lineEnd() + lineEnd() + Prompt, true });
    } else if (at == "I") {
        answer(nowMs, { m_version });
    } else if (at == "@1") {
        answer(nowMs, { "OBDII to RS232 Interpreter" });
    } else if (at == "E0" || at == "E1") {
        m_echo = at[1] == '1';
        ok();
    } else if (at == "L0" || at == "L1") {
        m_linefeeds = at[1] == '1';
        ok();
    } else if ((at == "S0" || at == "S1") && knowsSpaces()) {
        m_spaces = at[1] == '1';
        ok();
    } else if (at == "H0" || at == "H1" || at == "D" || at == "M0" || at == "M1" || at == "AT0"
        || at == "AT1" || at == "AT2"
        || (at.size() == 4 && at.rfind("ST", 0) == 0 && allHex(at.substr(2)))) {
        ok();
    } else if ((at.size() == 3 && at.rfind("SP", 0) == 0)
        || (at.size() == 4 && at.rfind("SPA", 0) == 0)) {
        m_connected = false;
        ok();
    } else if (at == "DPN") {
        answer(nowMs, { std::string("A") + (m_connected ? m_car.protocolDigit() : '0') });
    } else if (at == "RV") {
        answer(nowMs, { "12.6V" });
    } else {
        answer(nowMs, { "?" });
    }
}

void ElmAdapter::executeRequest(const std::string &command, int64_t nowMs)
{
    std::string hexText = command;
    // A last single digit tells how many answers to wait for.
    if (hexText.size() % 2 == 1 && hexText.size() > 2)
        hexText.pop_back();
    if (!allHex(hexText) || hexText.size() % 2 != 0) {
        answer(nowMs, { "?" });
        return;
    }
    ++m_counters.requests;
    std::vector<uint8_t> request;
    for (size_t i = 0; i < hexText.size(); i += 2)
        request.push_back(uint8_t(std::strtoul(hexText.substr(i, 2).c_str(), nullptr, 16)));

    m_waitingForVehicle = true;
    int64_t at = nowMs;
    if (!m_connected) {
        say(nowMs, "SEARCHING..." + lineEnd());
        at += m_faults.searchMs;
        m_searching = true;
        if (m_faults.noData) {
            answer(at, { "UNABLE TO CONNECT" });
            return;
        }
        m_connected = true;
    } else if (m_car.protocol() == ObdCar::Protocol::KLine
        && nowMs - m_lastRequestMs > KLineSleepMs) {
        say(nowMs, "BUS INIT: ...OK" + lineEnd());
        at += BusInitMs;
    }
    m_lastRequestMs = nowMs;

    if (!m_faults.answer.empty()) {
        answer(at + VehicleLatencyMs, { m_faults.answer });
        return;
    }
    const std::vector<ObdCar::Message> messages = m_car.answer(request);
    if (m_faults.noData || messages.empty())
        answer(at + NoAnswerLimitMs, { "NO DATA" });
    else
        answer(at + VehicleLatencyMs, format(messages));
}

std::string ElmAdapter::hex(const uint8_t *bytes, size_t length) const
{
    std::string text;
    char two[3];
    for (size_t i = 0; i < length; ++i) {
        if (i > 0 && m_spaces)
            text += ' ';
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        text += two;
    }
    return text;
}

std::vector<std::string> ElmAdapter::format(const std::vector<ObdCar::Message> &messages) const
{
    std::vector<std::string> lines;
    for (const ObdCar::Message &m : messages) {
        if (m_car.protocol() != ObdCar::Protocol::Can || m.size() <= CanFrameData) {
            lines.push_back(hex(m.data(), m.size()));
            continue;
        }
        // A long CAN message: its byte count, then numbered frames, the last
        // one padded to its full length.
        char count[24];
        std::snprintf(count, sizeof count, "%03zX", m.size());
        lines.push_back(count);
        ObdCar::Message padded = m;
        const size_t rest = (padded.size() - FirstFrameData) % CanFrameData;
        if (rest != 0)
            padded.resize(padded.size() + CanFrameData - rest, 0);
        size_t offset = 0;
        for (int frame = 0; offset < padded.size(); ++frame) {
            const size_t length = frame == 0 ? FirstFrameData : CanFrameData;
            char number[8];
            std::snprintf(number, sizeof number, m_spaces ? "%X: " : "%X:", frame % FrameNumbers);
            lines.push_back(number + hex(padded.data() + offset, length));
            offset += length;
        }
    }
    return lines;
}

std::string ElmAdapter::describe() const
{
    std::string version = m_version;
    for (char &c : version) {
        if (c == ' ')
            c = '_';
    }
    char text[300];
    std::snprintf(text, sizeof text,
        "obd_version=%s obd_echo=%s obd_spaces=%s obd_connected=%d obd_commands=%llu "
        "obd_requests=%llu obd_stopped=%llu obd_noise=%llu",
        version.c_str(), m_echo || m_faults.echoStuck ? "on" : "off", m_spaces ? "on" : "off",
        m_connected ? 1 : 0, static_cast<unsigned long long>(m_counters.commands),
        static_cast<unsigned long long>(m_counters.requests),
        static_cast<unsigned long long>(m_counters.stopped),
        static_cast<unsigned long long>(m_counters.noise));
    return text;
}

#include "tools/sim/Steering.h"

#include "tools/sim/Instrument.h"
#include "tools/sim/SimLink.h"

#include <cmath>
#include <sstream>
#include <vector>

namespace {

constexpr int MaxRpm = 12000;
constexpr int MaxDelayMs = 60000;
constexpr int MinProcedureMs = 100;
constexpr int MaxProcedureMs = 600000;
constexpr int MaxWarmupSeconds = 65535;

bool parseSwitch(const std::string &text, bool &on)
{
    if (text == "on" || text == "1") {
        on = true;
        return true;
    }
    if (text == "off" || text == "0") {
        on = false;
        return true;
    }
    return false;
}

bool parseNumber(const std::string &text, double &value)
{
    std::istringstream in(text);
    in >> value;
    return !in.fail() && in.eof() && std::isfinite(value);
}

bool parseInt(const std::string &text, long min, long max, long &value)
{
    double d = 0;
    if (!parseNumber(text, d) || d != std::floor(d) || d < min || d > max)
        return false;
    value = static_cast<long>(d);
    return true;
}

} // namespace

Steering::Steering(Instrument &instrument, SimLink &link, Hooks hooks)
    : m_instrument(instrument)
    , m_link(link)
    , m_hooks(std::move(hooks))
{ }

std::string Steering::execute(const std::string &line, int64_t nowMs)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    if (words.empty() || words[0][0] == '#')
        return {};
    const std::string &cmd = words[0];
    const size_t argc = words.size() - 1;
    long n = 0;
    bool on = false;

    if (cmd == "rpm" && argc == 1) {
        if (!parseInt(words[1], 0, MaxRpm, n))
            return "error rpm wants 0.." + std::to_string(MaxRpm);
        m_instrument.model().setRpm(static_cast<int>(n));
        return "ok";
    }
    if (cmd == "gas" && argc == 2) {
        const int channel = GasModel::channelFromName(words[1]);
        double value = 0;
        if (channel < 0)
            return "error unknown gas " + words[1];
        if (!parseNumber(words[2], value))
            return "error not a number: " + words[2];
        m_instrument.model().setLevel(static_cast<GasModel::Channel>(channel), value);
        return "ok";
    }
    if (cmd == "hold" && argc == 1 && parseSwitch(words[1], on)) {
        m_instrument.model().setHold(on);
        return "ok";
    }
    if (cmd == "warmup" && argc == 1) {
        if (!parseInt(words[1], 0, MaxWarmupSeconds, n))
            return "error warmup wants seconds";
        m_instrument.startWarmup(static_cast<int>(n), nowMs);
        return "ok";
    }
    if (cmd == "zero" && argc == 0) {
        if (m_instrument.procedures().running())
            return "error a procedure is running";
        m_instrument.startZero(nowMs);
        return "ok";
    }
    if (cmd == "proctime" && argc == 1) {
        if (!parseInt(words[1], MinProcedureMs, MaxProcedureMs, n))
            return "error proctime wants milliseconds";
        m_instrument.procedures().setDurationMs(static_cast<int>(n));
        return "ok";
    }
    if (cmd == "next" && argc == 1 && words[1] == "drift") {
        m_instrument.answerNextWithDrift();
        return "ok";
    }
    if (cmd == "fault" && argc == 1 && words[1] == "off") {
        m_link.faults() = SimLink::Faults {};
        m_instrument.setRefuseAll(false);
        m_instrument.procedures().setZeroFails(false);
        return "ok";
    }
    if (cmd == "fault" && argc == 2)
        return fault(words[1], words[2]);
    if (cmd == "hangup" && argc == 0) {
        m_hooks.hangup();
        return "ok";
    }
    if ((cmd == "unplug" || cmd == "plug") && argc == 0) {
        (cmd == "unplug" ? m_hooks.unplug : m_hooks.plug)();
        return "ok";
    }
    if (cmd == "log" && argc == 1 && parseSwitch(words[1], on)) {
        m_hooks.setLogging(on);
        return "ok";
    }
    if (cmd == "status" && argc == 0)
        return "status " + m_hooks.status(nowMs);
    if (cmd == "obd")
        return m_hooks.obd ? m_hooks.obd(words) : "error no simulated car (start with --obd PATH)";
    if (cmd == "quit" && argc == 0) {
        m_hooks.quit();
        return "ok";
    }
    return "error unknown command: " + line;
}

std::string Steering::fault(const std::string &what, const std::string &value)
{
    SimLink::Faults &f = m_link.faults();
    bool on = false;
    long n = 0;
    if (what == "silent" || what == "garbage" || what == "refuse" || what == "zero-error"
        || what == "split-final") {
        if (!parseSwitch(value, on))
            return "error fault " + what + " wants on or off";
        if (what == "silent")
            f.silent = on;
        else if (what == "garbage")
            f.garbage = on;
        else if (what == "split-final")
            f.splitFinal = on;
        else if (what == "refuse")
            m_instrument.setRefuseAll(on);
        else
            m_instrument.procedures().setZeroFails(on);
        return "ok";
    }
    if (what == "corrupt") {
        double share = 0;
        if (!parseNumber(value, share) || share < 0 || share > 1)
            return "error fault corrupt wants a share 0..1";
        f.corruptShare = share;
        return "ok";
    }
    if (what == "late" || what == "lateack") {
        if (!parseInt(value, 0, MaxDelayMs, n))
            return "error fault " + what + " wants milliseconds";
        (what == "late" ? f.answerDelayMs : f.tokenDelayMs) = static_cast<int>(n);
        return "ok";
    }
    return "error unknown fault " + what;
}

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Instrument;
class SimLink;

// The simulator's steering language: one command per line ("rpm 2500",
// "gas CO 1.5", "fault silent on", ...). Each line gets one reply: "ok",
// "error <why>", or for "status" the state line.
class Steering
{
public:
    struct Hooks
    {
        std::function<void()> hangup;
        std::function<void()> quit;
        std::function<void(bool)> setLogging;
        std::function<std::string(int64_t)> status;
        // The line goes away (its link too) until plug(): an unplugged adapter.
        std::function<void()> unplug;
        std::function<void()> plug;
        // "obd ..." lines, split into words; unset without a simulated car.
        std::function<std::string(const std::vector<std::string> &)> obd = {};
    };

    Steering(Instrument &instrument, SimLink &link, Hooks hooks);

    std::string execute(const std::string &line, int64_t nowMs);

private:
    std::string fault(const std::string &what, const std::string &value);

    Instrument &m_instrument;
    SimLink &m_link;
    Hooks m_hooks;
};

#pragma once

#include "tools/sim/ElmAdapter.h"
#include "tools/sim/ObdCar.h"
#include "tools/sim/PtyPort.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The simulated car with its OBD adapter on a pseudo-terminal of its own,
// beside the instrument's: the workstation opens the slave behind the link
// path as the adapter's serial port. It runs in the simulator's loop and
// shares the instrument's engine speed. Steering lines start with "obd".
class ObdSimulator
{
public:
    using Output = std::function<void(const std::string &)>;

    // `announce` prints "obd-ready <slave>" lines; `log` takes log lines.
    ObdSimulator(const std::string &linkPath, int speed, std::function<int()> engineSpeed,
        Output announce, Output log);

    // Plugs the adapter in: a new pseudo-terminal behind the link path.
    bool plug(std::string &error);
    // Pulls it out: the line closes (the client's port fails) and the link
    // path goes away until it is plugged in again.
    void unplug();
    bool plugged() const { return m_port.isOpen(); }

    // The descriptor to wait on for input; -1 while no client has the line.
    int pollFd() const;
    // Reads what the client sent.
    void readInput(int64_t nowMs);
    // Notices clients that come and go, lets the adapter's answers leave.
    void advance(int64_t nowMs);
    // How soon the loop must come back.
    int wakeInMs(int64_t nowMs) const;

    // One "obd ..." steering line split into words; the reply ("ok",
    // "error ...", "status obd ...").
    std::string steer(const std::vector<std::string> &words);

private:
    std::string fault(const std::vector<std::string> &words);

    std::string m_linkPath;
    int m_speed;
    Output m_announce;
    Output m_log;
    PtyPort m_port;
    ObdCar m_car;
    ElmAdapter m_adapter;
    bool m_clientPresent = false;
    uint64_t m_clientOpens = 0;
    uint64_t m_unplugs = 0;
};

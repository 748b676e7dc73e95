#pragma once

#include "tools/sim/ControlInput.h"
#include "tools/sim/Instrument.h"
#include "tools/sim/ObdSimulator.h"
#include "tools/sim/PtyPort.h"
#include "tools/sim/SimLink.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/Steering.h"

#include <cstdio>
#include <memory>
#include <string>

// The simulator's main loop: one thread polls the pseudo-terminal, standard
// input and the control file, feeds the link and the instrument, and lets
// their output leave at the line's pace.
class Simulator
{
public:
    explicit Simulator(const SimOptions &options);
    ~Simulator();

    // Runs until "quit", end of input is not an end (stdin may close), or a
    // termination signal. Returns the process exit code.
    int run();

private:
    bool openLine(std::string &error);
    void hangup();
    void unplug();
    void plug();
    void readLine(int64_t nowMs);
    void handleSteering(const std::vector<std::string> &lines, int64_t nowMs);
    void log(const std::string &text);
    void setLogging(bool on);
    std::string status(int64_t nowMs);
    int pollTimeoutMs(int64_t nowMs) const;

    SimOptions m_options;
    PtyPort m_port;
    SimLink m_link;
    std::unique_ptr<Instrument> m_instrument;
    std::unique_ptr<Steering> m_steering;
    std::unique_ptr<ObdSimulator> m_obd; // with --obd: the car's adapter on its own line
    ControlInput m_stdin;
    ControlInput m_control;
    bool m_stdinOpen = true;
    bool m_quit = false;
    bool m_hangupRequested = false;
    bool m_unplugRequested = false;
    bool m_plugRequested = false;
    bool m_unplugged = false;
    bool m_clientPresent = false;
    uint64_t m_clientOpens = 0;
    uint64_t m_hangups = 0;
    bool m_logging = false;
    FILE *m_logFile = nullptr;
    int64_t m_startMs = 0;
    int64_t m_nextControlPollMs = 0;
};

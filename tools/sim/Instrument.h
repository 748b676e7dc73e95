#pragma once

#include "device/Records.h"
#include "tools/sim/GasModel.h"
#include "tools/sim/ProcedureRunner.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class PtyPort;
class SimLink;

// The analyser as the workstation meets it: it takes each command frame,
// accepts or refuses it, answers queries with its records, runs its
// procedures and switches its line speed when told.
class Instrument
{
public:
    struct Settings
    {
        int speed = 38400;
        int warmupSeconds = 0;
        uint16_t serialNumber = 1234;
        uint16_t firmwareVersion = 0x0105;
        uint32_t seed = 1;
    };

    using Logger = std::function<void(const std::string &)>;

    Instrument(const Settings &settings, PtyPort &port, SimLink &link, int64_t nowMs);

    void setLogger(Logger logger) { m_log = std::move(logger); }

    // One good frame from the workstation.
    void handleFrame(const std::vector<uint8_t> &data, int64_t nowMs);
    // Runs time forward: procedure steps, the speed switch after its ACK.
    void advance(int64_t nowMs);

    // The speed the instrument listens and talks at.
    int speed() const { return m_speed; }

    GasModel &model() { return m_model; }
    ProcedureRunner &procedures() { return m_procedures; }
    // Starts a warm-up of `seconds` now; 0 ends a running one.
    void startWarmup(int seconds, int64_t nowMs);
    int warmupSecondsLeft(int64_t nowMs) const;
    // A zero correction the instrument starts by itself (one of its keys).
    void startZero(int64_t nowMs);
    void setRefuseAll(bool on) { m_refuseAll = on; }
    void answerNextWithDrift() { m_nextDrift = true; }

    const ConstantsRecord &constants() const { return m_constants; }
    uint32_t tickMs(int64_t nowMs) const { return static_cast<uint32_t>(nowMs - m_startMs); }
    // "key=value ..." describing the instrument's state.
    std::string describe(int64_t nowMs) const;

    // The word the speed switch must carry.
    static constexpr uint16_t SpeedSwitchWord = Baud38400Argument;

private:
    void accept(int64_t nowMs);
    void refuse(int64_t nowMs, const std::string &why);
    void answer(const uint8_t *bytes, int length, int64_t nowMs);
    void answerResult(int64_t nowMs);
    void startProcedure(ProcedureRunner::Kind kind, double argument, int64_t nowMs);
    void pressKey(uint16_t key, int64_t nowMs);
    void log(const std::string &text);

    PtyPort &m_port;
    SimLink &m_link;
    GasModel m_model;
    ProcedureRunner m_procedures;
    Logger m_log;

    int m_speed;
    bool m_switchPending = false;
    int64_t m_startMs;
    int m_warmupTotal = 0;
    int64_t m_warmupEndMs = 0;
    bool m_warmupEndReported = true;
    bool m_refuseAll = false;
    bool m_nextDrift = false;
    int16_t m_resetStatus = 0;
    uint16_t m_lastKey = 0;
    bool m_compressorOn = true;
    uint16_t m_networkNumber = 0;
    uint16_t m_speedCode = 0;
    ConstantsRecord m_constants;
    std::array<uint8_t, SplineVectorSize> m_spline {};
};

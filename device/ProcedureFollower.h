#pragma once

// Follows the instrument while it runs one of its procedures (zero
// correction, pressure-sensor calibration, the two oxygen calibrations, the
// signal-stretch calibration). Each step takes one answer from the link: a
// progress packet or the procedure's final answer. What the step changes goes
// out through a publisher as one piece: the polling thread applies it to its
// published snapshot under its lock, a test to a plain snapshot.
//
// The follower talks to the instrument only to receive, to switch the sample
// flow back after the zero correction that ends a warm-up, and to probe the
// link after eleven silent steps. It runs on whoever holds the link.

#include "device/ZmxSnapshot.h"

#include <QString>

#include <cstdint>
#include <functional>

class PacketExchange;

// Take-once marks for the main window, published with the snapshot.
struct ProcedureMarks
{
    // A zero correction ended well.
    bool zeroFinished = false;
    // A zero correction ended with an instrument error; zeroError tells which.
    bool zeroFailed = false;
    QString zeroError;
};

class ProcedureFollower
{
public:
    // Steps without any answer before the link is probed.
    static constexpr int ReceiveFailureLimit = 10;
    static constexpr int ZeroProgressMax = 200;
    static constexpr int PressureProgressMax = 200;
    static constexpr int O2ProgressMax = 159;

    using Change = std::function<void(ZmxSnapshot &, ProcedureMarks &)>;
    // Applies a change to the published state as one piece.
    using Publisher = std::function<void(const Change &)>;
    // True when the thread is shutting down: no further exchange is started.
    using Quitting = std::function<bool()>;

    ProcedureFollower(PacketExchange &link, Publisher publish, Quitting quitting = {});

    // A warm-up record came: the next zero correction that ends well also
    // ends the warm-up (restarts the series and the sample flow).
    void noteWarmUp() { m_warmUpSeen = true; }
    bool warmUpSeen() const { return m_warmUpSeen; }

    enum class StepResult {
        Answered, // an answer came
        Silent, // none came
        ProbeAccepted, // none came for too long; the instrument took the probe (given up)
        ProbeRefused, // ... and refused it: the link is lost (ProcedureActive -1)
        Skipped, // shutting down
    };

    // One procedure step: receive one answer and act on it; after eleven
    // steps in a row without an answer, probe the link.
    StepResult step();

    // The instrument's words for the error codes a zero correction can end
    // with; empty for codes that are no error.
    static QString zeroErrorText(int programStatus);
    // Whether a progress packet with this status ends a zero correction.
    static bool endsZeroCorrection(int programStatus);

private:
    void takeAnswer(const uint8_t *bytes, int count);
    void followZeroCorrection(int count, uint8_t status);
    void endZeroCorrection(uint8_t status);
    void endWarmUp();
    StepResult probe();
    bool quitting() const { return m_quitting && m_quitting(); }
    void setStatus(const QString &text, int severity = 0);

    PacketExchange &m_link;
    Publisher m_publish;
    Quitting m_quitting;
    bool m_warmUpSeen = false;
};

#pragma once

// The dialogue with an ELM327-compatible adapter over a transport: one
// command, one answer up to the prompt, every wait bounded. Finds the
// adapter's line speed, resets and sets it up, finds the vehicle, and sends
// the vehicle requests. Used by one thread at a time (the OBD link's).

#include "device/Transport.h"
#include "device/obd/ElmAnswer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ElmSession
{
public:
    // Line speeds an adapter is looked for at, in turn.
    static constexpr int FastSpeed = 38400;
    static constexpr int SlowSpeed = 9600;
    // Time limits. A reset takes clones up to a few seconds; the adapter's
    // own time limit answers a silent vehicle with NO DATA well within a
    // request's limit; looking for the vehicle's protocol tries them all.
    static constexpr uint32_t ProbeTimeoutMs = 1000;
    static constexpr uint32_t ResetTimeoutMs = 5000;
    static constexpr uint32_t SettingTimeoutMs = 1000;
    static constexpr uint32_t RequestTimeoutMs = 2000;
    static constexpr uint32_t SearchTimeoutMs = 15000;

    using Clock = std::function<uint32_t()>;
    // True when the caller wants the session to give up at once (shutdown,
    // another port chosen); waits look at it every few milliseconds.
    using GiveUp = std::function<bool()>;

    enum class Result {
        Answered, // the prompt came
        Timeout, // no prompt within the limit
        PortLost, // the port failed: the adapter is unplugged
        GaveUp, // the caller asked to give up
    };

    struct Reply
    {
        Result result = Result::Timeout;
        ElmAnswer answer;
        bool answered() const { return result == Result::Answered; }
    };

    // A vehicle request's answer: the control units' messages when its
    // outcome is Ok (Garbled with a remark when they do not add up).
    struct Request
    {
        Result result = Result::Timeout;
        ElmOutcome outcome = ElmOutcome::Garbled;
        std::vector<ObdMessage> messages;
        std::string remark;
        bool ok() const { return result == Result::Answered && outcome == ElmOutcome::Ok; }
    };

    struct Adapter
    {
        Result result = Result::Timeout; // Answered: found and set up
        int lineSpeed = 0;
        std::string version;
        std::vector<std::string> refused; // settings answered with "?"
        std::string failure; // which step went unanswered
    };

    struct Vehicle
    {
        Request request; // of the first request, which finds the protocol
        uint32_t supportedPids = 0;
        std::string protocolCode; // ATDPN's answer, "A6"
    };

    ElmSession(Transport &port, GiveUp giveUp, Clock clock = {});

    // Sends `command` and a CR and waits for the prompt: at most `timeoutMs`,
    // or `searchTimeoutMs` from the start once the adapter says it is
    // looking for the vehicle.
    Reply command(const std::string &command, uint32_t timeoutMs, uint32_t searchTimeoutMs = 0);
    // A vehicle request ("010C") taken apart into messages.
    Request request(const std::string &command, uint32_t searchTimeoutMs = 0);

    // Finds the adapter at 38400, then 9600 bit/s, resets it and sets it up:
    // echo, line feeds, spaces and headers off, protocol automatic.
    Adapter initialize();
    // The first vehicle request (supported PIDs), which makes the adapter
    // look for the protocol, then the protocol it found.
    Vehicle findVehicle();

private:
    bool probe(std::string &version, Result &failure);
    // After an answer that did not end well the adapter may still be
    // talking: wait for its prompt or a pause and drop what comes.
    void settle();
    uint32_t now() const { return m_clock(); }

    Transport &m_port;
    GiveUp m_giveUp;
    Clock m_clock;
    bool m_unsettled = false;
};

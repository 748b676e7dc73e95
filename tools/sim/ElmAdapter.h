#pragma once

#include "tools/sim/ObdCar.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// An ELM327-compatible adapter as a workstation meets it on its serial line:
// it collects a command up to CR, answers AT commands at once and vehicle
// requests after the vehicle has answered, prints "SEARCHING..." before the
// first vehicle answer, echoes and spaces until told not to, answers long CAN
// messages as numbered frames and ends each answer with its prompt ">". A
// byte that comes while it waits for the vehicle interrupts it ("STOPPED").
// Faults make it behave like the adapters workshops meet.
class ElmAdapter
{
public:
    struct Faults
    {
        bool noData = false; // the vehicle answers nothing (ignition off)
        int searchMs = 300; // how long the protocol search takes
        int resetMs = 300; // how long ATZ takes
        bool echoStuck = false; // ATE0 is answered OK, the echo stays on
        bool silent = false; // nothing is answered at all
        std::string answer; // every vehicle request is answered with this line ("CAN ERROR", "?")
    };

    struct Counters
    {
        uint64_t commands = 0; // every command line
        uint64_t requests = 0; // vehicle requests among them
        uint64_t stopped = 0; // answers interrupted
        uint64_t noise = 0; // chunks heard at another line speed
    };

    static constexpr const char *DefaultVersion = "ELM327 v1.5";

    explicit ElmAdapter(ObdCar &car);

    // Power on: the settings a reset gives; output under way is dropped.
    void powerOn();
    // Bytes from the workstation at the adapter's line speed.
    void receive(const uint8_t *data, size_t length, int64_t nowMs);
    // Bytes sent at another speed: the adapter reads garbage into its command.
    void receiveNoise();
    // What the adapter says by `nowMs`, appended to `out`.
    void takeOutput(int64_t nowMs, std::vector<uint8_t> &out);
    // When the next output is due; -1 when none waits.
    int64_t nextOutputMs() const;

    Faults &faults() { return m_faults; }
    const Counters &counters() const { return m_counters; }
    void setVersion(const std::string &version) { m_version = version; }
    const std::string &version() const { return m_version; }
    // "key=value ..." for the status line.
    std::string describe() const;

private:
    // The settings a reset gives.
    void resetSettings();
    void execute(const std::string &command, int64_t nowMs);
    void executeAt(const std::string &at, int64_t nowMs);
    void executeRequest(const std::string &hex, int64_t nowMs);
    // Queues `text` to leave at `dueMs`.
    void say(int64_t dueMs, const std::string &text);
    // Queues an answer of `lines` and the prompt.
    void answer(int64_t dueMs, const std::vector<std::string> &lines);
    std::vector<std::string> format(const std::vector<ObdCar::Message> &messages) const;
    std::string hex(const uint8_t *bytes, size_t length) const;
    std::string lineEnd() const { return m_linefeeds ? "\r\n" : "\r"; }
    // ATS0 came with version 1.3; older ones (and clones claiming them) refuse it.
    bool knowsSpaces() const;

    struct Piece
    {
        int64_t dueMs;
        std::string text;
        bool ends; // the answer's last piece: the adapter listens again
    };

    ObdCar &m_car;
    Faults m_faults;
    Counters m_counters;
    std::string m_version = DefaultVersion;
    std::string m_input;
    std::string m_lastCommand;
    std::deque<Piece> m_output;
    bool m_waitingForVehicle = false; // a vehicle answer is under way (can be interrupted)
    bool m_resetting = false; // input is ignored until the reset text has gone
    bool m_echo = true;
    bool m_linefeeds = true;
    bool m_spaces = true;
    bool m_connected = false; // the protocol has been found
    bool m_searching = false; // the answer under way ends a protocol search
    int64_t m_lastRequestMs = 0;
};

#pragma once

#include "device/FrameParser.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

class PtyPort;

// The instrument's side of the link protocol: it takes the workstation's
// frames apart, answers them with ACK/NAK tokens, and sends its own frames
// one at a time, each waiting for its ACK (resent at once on a NAK, at most
// twice; given up after a second without a token). Line faults are made
// here: silence, noise, damaged frames, late tokens and answers.
class SimLink
{
public:
    static constexpr int64_t GiveUpMs = 1000;
    static constexpr int MaxResends = 2;
    // The split-final fault: the workstation pauses 200 ms after an answer,
    // then listens for up to a second. A final answer that starts this long
    // after the packet before it was acknowledged, one byte every
    // SplitDripMs (well within the 50 ms allowed between bytes), is still
    // arriving when that window closes.
    static constexpr int64_t SplitFinalStartMs = 1100;
    static constexpr int64_t SplitDripMs = 15;

    enum class FrameKind {
        Answer,
        Progress, // replaced by a newer one while it waits
        Final, // a procedure's final answer
    };

    struct Faults
    {
        bool silent = false; // neither tokens nor frames; input ignored
        bool garbage = false; // bursts of line noise between units
        double corruptShare = 0; // share of frame transmissions damaged
        int answerDelayMs = 0; // extra delay before a frame goes out
        int tokenDelayMs = 0; // extra delay before a token goes out
        bool splitFinal = false; // final answers straddle the receive window's end
    };

    struct Counters
    {
        uint64_t framesReceived = 0;
        uint64_t damagedReceived = 0;
        uint64_t acksReceived = 0;
        uint64_t naksReceived = 0;
        uint64_t noiseChunks = 0; // input at another speed
        uint64_t framesSent = 0; // first transmissions
        uint64_t resends = 0;
        uint64_t givenUp = 0;
        uint64_t corrupted = 0;
    };

    using Logger = std::function<void(const std::string &)>;

    SimLink(PtyPort &port, uint32_t seed);

    void setLogger(Logger logger) { m_log = std::move(logger); }
    Faults &faults() { return m_faults; }
    const Faults &faults() const { return m_faults; }
    const Counters &counters() const { return m_counters; }

    // Feeds bytes read from the line at `nowMs`; good frames of the
    // workstation land in `frames` for the instrument to act on. Damaged
    // frames whose end was seen are refused here.
    void receive(
        const uint8_t *bytes, int length, int64_t nowMs, std::vector<std::vector<uint8_t>> &frames);
    // Bytes that arrived at another speed: noise that breaks any frame in progress.
    void receiveNoise(int length, int speed);

    void sendAck(int64_t nowMs);
    void sendNak(int64_t nowMs);
    // Queues a frame. A progress packet replaces one that is still waiting:
    // only the newest state is worth sending.
    void sendFrame(std::vector<uint8_t> data, int64_t nowMs, FrameKind kind = FrameKind::Answer);

    // Moves due tokens and frames to the line, handles the frame in flight.
    void tick(int64_t nowMs);
    // Nothing scheduled, queued or in flight, and the line is quiet.
    bool idle() const;
    // True when no token waits to go out (the speed switch waits for its ACK).
    bool tokensSent() const;
    // The client went away: forget everything in progress.
    void reset();
    // Earliest time tick() has something to do (for the poll timeout).
    int64_t nextDueMs(int64_t nowMs) const;

private:
    struct Scheduled
    {
        enum Kind { Token, Frame, Bytes };
        int64_t dueMs;
        Kind kind;
        FrameKind frame;
        // A token's two bytes, a frame's DATA, or bytes of a frame put on the
        // line as they are (a trickling final answer).
        std::vector<uint8_t> bytes;
    };
    struct InFlight
    {
        bool active = false;
        std::vector<uint8_t> data;
        int resends = 0;
        int64_t sentMs = 0;
    };

    void transmit(int64_t nowMs, bool trickle = false);
    // The frame waiting first may not leave yet (a split final answer).
    bool heldBack(int64_t nowMs) const;
    void queueToken(const uint8_t *token, int64_t nowMs);
    void log(const std::string &text);

    PtyPort &m_port;
    FrameParser m_parser;
    std::mt19937 m_random;
    Faults m_faults;
    Counters m_counters;
    Logger m_log;
    std::deque<Scheduled> m_scheduled;
    std::deque<std::vector<uint8_t>> m_frames; // waiting for the line
    std::deque<FrameKind> m_frameKinds;
    InFlight m_inFlight;
    int64_t m_lastAckMs = 0; // when the last frame in flight was acknowledged
    int64_t m_nextGarbageMs = 0;
};

// "7e 02 00 ..." for logs.
std::string hexBytes(const uint8_t *bytes, size_t length, size_t max = 48);

#pragma once

// Our protocol library: frames, tokens and timing of the instrument link over
// a Transport. Each call is bounded by its wait plus the time its own frame
// takes on the line. Not thread-safe: one thread at a time (see PacketExchange).

#include "device/FrameParser.h"
#include "device/IProtocolLibrary.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class ProtocolLibrary : public IProtocolLibrary
{
public:
    // data_out's wait is its third argument × this many ms.
    static constexpr uint32_t WaitTickMs = 10;
    // data_in waits this long for a good frame.
    static constexpr uint32_t ReceiveWaitMs = 100;
    // Longest the library waits for room in the port when writing.
    static constexpr uint32_t WriteTimeoutMs = 1000;

    using Clock = std::function<uint32_t()>;

    // `clock` times the waits and stamps received bytes (the 50 ms gap rule);
    // the program uses the real millisecond tick, tests may script it.
    explicit ProtocolLibrary(Clock clock = {});

    void SetCommPort(Transport *port) override;
    uint8_t InitCommPort(int32_t speed, int32_t reserved1, int32_t reserved2) override;
    int32_t data_out(
        const uint8_t *packet, uint16_t length, int32_t waitTicks, int32_t transmissions) override;
    int32_t data_in(uint8_t *buffer, uint16_t capacity, uint16_t *count, uint16_t *second) override;
    bool purge() override;
    uint32_t staleFrames() const override { return stale_; }

    // Damaged units dropped since InitCommPort (the full count; data_in hands
    // out its low 16 bits).
    uint32_t damagedCount() const { return damaged_; }
    bool hasKeptFrame() const { return hasKept_; }

private:
    enum class Pump { Unit, Timeout, NotOpen, IoError };

    bool usable() const;
    void forgetInput();
    // Waits until `deadline` for the next unit; handles damaged frames itself
    // (count, NAK) and returns Unit with the unit in `unit`.
    Pump nextUnit(uint32_t deadline, LinkUnit &unit);
    // Before a packet goes out: reads what is already waiting without
    // waiting and drops it. Tokens answer an earlier packet; frames (and the
    // kept one) answer an earlier command, so they are acknowledged, counted
    // and dropped, and a frame still arriving is dropped when it completes.
    // 15, or the status of a port failure.
    int32_t dropWaitingUnits();
    // Acknowledges a frame that will never be an answer, so that the
    // instrument sends its next one at once.
    bool dropStale();
    void keep(std::vector<uint8_t> &&frame);
    bool sendToken(const std::array<uint8_t, 2> &token);
    int32_t statusOf(Pump pump) const;

    Clock clock_;
    Transport *port_ = nullptr;
    bool configured_ = false;
    FrameParser parser_;
    // When the last read from the port returned: until the next read starts
    // nobody listens, and bytes that come meanwhile are read (and stamped)
    // late. `listened_` is false until the first read after a reset.
    uint32_t listenedUntilMs_ = 0;
    bool listened_ = false;
    // Bytes read from the port but not yet fed to the parser (after a unit
    // completed in the middle of a read), with the time they arrived.
    std::vector<uint8_t> pending_;
    size_t pendingPos_ = 0;
    uint32_t pendingMs_ = 0;
    std::vector<LinkUnit> units_; // completed, not yet handled
    size_t unitPos_ = 0;
    // The newest frame that arrived during data_out, not yet acknowledged.
    bool hasKept_ = false;
    std::vector<uint8_t> kept_;
    uint32_t damaged_ = 0;
    // A frame had begun when the last packet went out: it is stale.
    bool staleInParser_ = false;
    uint32_t stale_ = 0;
};

#pragma once

// Incremental receiver of the link's units. Bytes go in one at a time with the
// millisecond time they arrived; complete units come out: good frames, ACK and
// NAK tokens, and damaged frames (which the caller counts and, when the end
// was seen, answers with a NAK). Bytes between units that begin nothing are
// noise and dropped silently. Free of Qt (fuzzed on its own).

#include <cstddef>
#include <cstdint>
#include <vector>

struct LinkUnit
{
    enum Kind { Frame, Ack, Nak, Damaged };
    enum Damage { NoDamage, TooLong, BadCrc, Gap };

    Kind kind = Frame;
    Damage damage = NoDamage;
    // A damaged frame whose last byte was received (bad CRC): the receiver NAKs it.
    bool endSeen = false;
    std::vector<uint8_t> data; // DATA of a good frame
};

class FrameParser
{
public:
    // Feeds one byte received at `nowMs`; appends the units it completed.
    void feed(uint8_t byte, uint32_t nowMs, std::vector<LinkUnit> &out);
    void feed(const uint8_t *bytes, size_t length, uint32_t nowMs, std::vector<LinkUnit> &out);

    // True while a frame is partly received (its start byte seen).
    bool inFrame() const { return state_ != State::Hunt && state_ != State::TokenSecond; }
    // Nobody listened for `ms` (between two waits of the receiver): that time
    // does not count in the gap before the next byte of a partly received
    // frame, whose bytes may have come in right after the listening stopped.
    void skipUnheard(uint32_t ms);
    // Forgets any partly received unit.
    void reset();

private:
    enum class State { Hunt, TokenSecond, LenLow, LenHigh, Data, CrcLow, CrcHigh };

    void hunt(uint8_t byte, uint32_t nowMs, std::vector<LinkUnit> &out);
    void damaged(LinkUnit::Damage why, bool endSeen, std::vector<LinkUnit> &out);

    State state_ = State::Hunt;
    uint8_t tokenFirst_ = 0;
    uint8_t lenLow_ = 0;
    uint16_t length_ = 0;
    uint16_t crc_ = 0;
    uint8_t crcLow_ = 0;
    uint32_t lastByteMs_ = 0;
    std::vector<uint8_t> data_;
};

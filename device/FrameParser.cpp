#include "device/FrameParser.h"

#include "device/FrameCodec.h"

void FrameParser::reset()
{
    state_ = State::Hunt;
    data_.clear();
}

void FrameParser::skipUnheard(uint32_t ms)
{
    if (inFrame())
        lastByteMs_ += ms;
}

void FrameParser::feed(
    const uint8_t *bytes, size_t length, uint32_t nowMs, std::vector<LinkUnit> &out)
{
    for (size_t i = 0; i < length; ++i)
        feed(bytes[i], nowMs, out);
}

void FrameParser::damaged(LinkUnit::Damage why, bool endSeen, std::vector<LinkUnit> &out)
{
    LinkUnit unit;
    unit.kind = LinkUnit::Damaged;
    unit.damage = why;
    unit.endSeen = endSeen;
    out.push_back(std::move(unit));
    reset();
}

// Between units: only a token's first byte or a frame's start byte begins
// something; everything else is line noise.
void FrameParser::hunt(uint8_t byte, uint32_t nowMs, std::vector<LinkUnit> &out)
{
    if (state_ == State::TokenSecond) {
        state_ = State::Hunt;
        if (byte == static_cast<uint8_t>(~tokenFirst_)) {
            LinkUnit unit;
            unit.kind = tokenFirst_ == FrameCodec::AckByte ? LinkUnit::Ack : LinkUnit::Nak;
            out.push_back(std::move(unit));
            return;
        }
        // Not a complement: the first byte was noise; this one may begin a unit.
    }
    switch (byte) {
    case FrameCodec::AckByte:
    case FrameCodec::NakByte:
        tokenFirst_ = byte;
        state_ = State::TokenSecond;
        break;
    case FrameCodec::StartByte:
        data_.clear();
        lastByteMs_ = nowMs;
        state_ = State::LenLow;
        break;
    default:
        break;
    }
}

void FrameParser::feed(uint8_t byte, uint32_t nowMs, std::vector<LinkUnit> &out)
{
    if (state_ == State::Hunt || state_ == State::TokenSecond) {
        hunt(byte, nowMs, out);
        return;
    }

    // Inside a frame: a long silence means the rest of it was lost. The late
    // byte is then looked at afresh, it may begin the sender's next unit.
    if (nowMs - lastByteMs_ > FrameCodec::MaxByteGapMs) {
        damaged(LinkUnit::Gap, false, out);
        hunt(byte, nowMs, out);
        return;
    }
    lastByteMs_ = nowMs;

    switch (state_) {
    case State::LenLow:
        lenLow_ = byte;
        state_ = State::LenHigh;
        break;
    case State::LenHigh: {
        length_ = static_cast<uint16_t>(lenLow_ | (byte << 8));
        if (length_ > FrameCodec::MaxDataLength) {
            // The start byte was probably noise: look at the two length bytes
            // again, the real unit may begin there.
            const uint8_t low = lenLow_;
            damaged(LinkUnit::TooLong, false, out);
            hunt(low, nowMs, out);
            feed(byte, nowMs, out);
            break;
        }
        const uint8_t lenBytes[2] = { lenLow_, byte };
        crc_ = FrameCodec::crc16(lenBytes, 2);
        data_.clear();
        data_.reserve(length_);
        state_ = length_ == 0 ? State::CrcLow : State::Data;
        break;
    }
    case State::Data:
        data_.push_back(byte);
        if (data_.size() == length_) {
            crc_ = FrameCodec::crc16(data_.data(), data_.size(), crc_);
            state_ = State::CrcLow;
        }
        break;
    case State::CrcLow:
        crcLow_ = byte;
        state_ = State::CrcHigh;
        break;
    case State::CrcHigh: {
        const uint16_t received = static_cast<uint16_t>(crcLow_ | (byte << 8));
        if (received != crc_) {
            damaged(LinkUnit::BadCrc, true, out);
            break;
        }
        LinkUnit unit;
        unit.kind = LinkUnit::Frame;
        unit.data = std::move(data_);
        out.push_back(std::move(unit));
        reset();
        break;
    }
    case State::Hunt:
    case State::TokenSecond:
        break;
    }
}

#pragma once

// The wire format of the instrument link: frames (7E, LEN, DATA, CRC) and the
// two-byte ACK/NAK tokens. Shared by the protocol library and the simulator;
// free of Qt so that the fuzzers can link it alone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class FrameCodec
{
public:
    static constexpr uint8_t StartByte = 0x7E;
    static constexpr uint8_t AckByte = 0x06;
    static constexpr uint8_t NakByte = 0x15;
    static constexpr std::array<uint8_t, 2> AckToken { AckByte, static_cast<uint8_t>(~AckByte) };
    static constexpr std::array<uint8_t, 2> NakToken { NakByte, static_cast<uint8_t>(~NakByte) };
    // Longest DATA a frame may carry; a longer LEN marks the frame damaged.
    static constexpr int MaxDataLength = 642;
    // Start byte + LEN + CRC around the data.
    static constexpr int Overhead = 5;
    static constexpr int MaxFrameLength = MaxDataLength + Overhead;
    // A longer silence between two bytes of one frame damages the frame.
    static constexpr uint32_t MaxByteGapMs = 50;

    // CRC-16/CCITT-FALSE: poly 0x1021, init 0xFFFF, no reflection, no xorout.
    static uint16_t crc16(const uint8_t *data, size_t length, uint16_t crc = 0xFFFF);

    // The frame carrying `length` bytes of `data` (length <= MaxDataLength).
    static std::vector<uint8_t> encodeFrame(const uint8_t *data, size_t length);
    // Writes the frame into `out` (room for length + Overhead); returns its size.
    static size_t encodeFrame(const uint8_t *data, size_t length, uint8_t *out);
};

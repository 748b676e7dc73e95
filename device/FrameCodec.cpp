#include "device/FrameCodec.h"

#include "device/LittleEndian.h"

uint16_t FrameCodec::crc16(const uint8_t *data, size_t length, uint16_t crc)
{
    constexpr uint16_t Polynomial = 0x1021;
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ Polynomial)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

size_t FrameCodec::encodeFrame(const uint8_t *data, size_t length, uint8_t *out)
{
    out[0] = StartByte;
    LittleEndian::writeU16(out + 1, static_cast<uint16_t>(length));
    for (size_t i = 0; i < length; ++i)
        out[3 + i] = data[i];
    // The CRC covers LEN and DATA, not the start byte.
    const uint16_t crc = crc16(out + 1, length + 2);
    LittleEndian::writeU16(out + 3 + length, crc);
    return length + Overhead;
}

std::vector<uint8_t> FrameCodec::encodeFrame(const uint8_t *data, size_t length)
{
    std::vector<uint8_t> frame(length + Overhead);
    encodeFrame(data, length, frame.data());
    return frame;
}

#include "device/FrameCodec.h"
#include "device/FrameParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes frame(const Bytes &data)
{
    return FrameCodec::encodeFrame(data.data(), data.size());
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes Ack { 0x06, 0xF9 };
const Bytes Nak { 0x15, 0xEA };
const Bytes Result { 0x04, 0x00 };
// Data that looks like units: start bytes and tokens inside a frame are data.
const Bytes Tricky { 0x7E, 0x06, 0xF9, 0x15, 0xEA, 0x7E, 0x00 };

// What a unit looks like in the expectations: "F:<len>", "ACK", "NAK",
// "D:crc!" (damaged, end seen), "D:long", "D:gap".
std::string describe(const LinkUnit &u)
{
    switch (u.kind) {
    case LinkUnit::Frame:
        return "F:" + std::to_string(u.data.size());
    case LinkUnit::Ack:
        return "ACK";
    case LinkUnit::Nak:
        return "NAK";
    case LinkUnit::Damaged:
        break;
    }
    const char *why = u.damage == LinkUnit::BadCrc ? "crc"
        : u.damage == LinkUnit::TooLong            ? "long"
                                                   : "gap";
    return std::string("D:") + why + (u.endSeen ? "!" : "");
}

std::vector<std::string> describeAll(const std::vector<LinkUnit> &units)
{
    std::vector<std::string> out;
    for (const LinkUnit &u : units)
        out.push_back(describe(u));
    return out;
}

Bytes withBadCrc(Bytes f)
{
    f.back() ^= 0x01;
    return f;
}

Bytes garbled(Bytes f, size_t at)
{
    f[at] ^= 0x40;
    return f;
}

Bytes tooLong()
{
    return Bytes { 0x7E, 0x83, 0x02 }; // LEN 643
}

struct ParseCase
{
    const char *name;
    Bytes input;
    std::vector<std::string> expected;
};

} // namespace

TEST(FrameCodec, CrcCheckValue)
{
    const char *text = "123456789";
    EXPECT_EQ(
        FrameCodec::crc16(reinterpret_cast<const uint8_t *>(text), std::strlen(text)), 0x29B1);
}

TEST(FrameCodec, FrameLayout)
{
    const Bytes f = frame(Result);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[0], 0x7E);
    EXPECT_EQ(f[1], 0x02);
    EXPECT_EQ(f[2], 0x00);
    EXPECT_EQ(f[3], 0x04);
    EXPECT_EQ(f[4], 0x00);
    // CRC over LEN and DATA, little-endian.
    const uint16_t crc = FrameCodec::crc16(f.data() + 1, 4);
    EXPECT_EQ(f[5], crc & 0xFF);
    EXPECT_EQ(f[6], crc >> 8);
    EXPECT_EQ(frame({}).size(), 5u);
}

TEST(FrameParser, UnitsFromByteStreams)
{
    const Bytes big(642, 0x7E);
    const Bytes good = frame(Result);
    const ParseCase cases[] = {
        { "good frame", frame(Result), { "F:2" } },
        { "empty frame", frame({}), { "F:0" } },
        { "longest frame", frame(big), { "F:642" } },
        { "tokens", cat({ Ack, Nak, Ack }), { "ACK", "NAK", "ACK" } },
        { "units look-alikes inside data", frame(Tricky), { "F:7" } },
        { "noise before", cat({ { 0x00, 0xFF, 0x13, 0xF9, 0xEA }, frame(Result) }), { "F:2" } },
        { "noise between", cat({ Ack, { 0x55, 0xAA }, frame(Result), { 0x01 }, Nak }),
            { "ACK", "F:2", "NAK" } },
        { "token with wrong complement", cat({ { 0x06, 0x00 }, frame(Result) }), { "F:2" } },
        { "token first byte twice", { 0x06, 0x06, 0xF9 }, { "ACK" } },
        { "token first byte then frame", cat({ { 0x15 }, frame(Result) }), { "F:2" } },
        { "lone second bytes", { 0xF9, 0xEA }, {} },
        { "wrong crc", withBadCrc(frame(Result)), { "D:crc!" } },
        { "wrong crc then resent", cat({ withBadCrc(frame(Result)), frame(Result) }),
            { "D:crc!", "F:2" } },
        { "garbled byte inside a frame", cat({ garbled(frame(Result), 4), frame(Result) }),
            { "D:crc!", "F:2" } },
        { "length over 642", cat({ tooLong(), frame(Result) }), { "D:long", "F:2" } },
        { "length bytes hold an ack", cat({ { 0x7E, 0x06, 0xF9 }, frame(Result) }),
            { "D:long", "ACK", "F:2" } },
        { "length bytes begin a frame",
            cat({ { 0x7E, 0xFF, 0x7E }, { 0x02, 0x00, 0x04, 0x00 },
                Bytes(good.end() - 2, good.end()) }),
            { "D:long", "F:2" } },
        { "unfinished frame", Bytes(good.begin(), good.end() - 1), {} },
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.name);
        FrameParser whole;
        std::vector<LinkUnit> units;
        whole.feed(c.input.data(), c.input.size(), 1000, units);
        EXPECT_EQ(describeAll(units), c.expected);

        // Byte by byte, with a new time stamp each (within the gap limit).
        FrameParser split;
        std::vector<LinkUnit> splitUnits;
        uint32_t now = 5000;
        for (uint8_t b : c.input)
            split.feed(b, now += 3, splitUnits);
        EXPECT_EQ(describeAll(splitUnits), c.expected);
    }
}

TEST(FrameParser, FrameDataIsDelivered)
{
    FrameParser parser;
    std::vector<LinkUnit> units;
    const Bytes f = frame(Tricky);
    parser.feed(f.data(), f.size(), 0, units);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].data, Tricky);
}

TEST(FrameParser, GapInsideFrameDamagesIt)
{
    struct GapCase
    {
        const char *name;
        size_t splitAt; // bytes before the pause
        uint32_t pauseMs;
        std::vector<std::string> expected;
    };
    const GapCase cases[] = {
        { "pause of 50 ms is allowed", 4, 50, { "F:2" } },
        { "pause of 51 ms after LEN", 3, 51, { "D:gap" } },
        { "pause before the last CRC byte", 6, 200, { "D:gap" } },
        { "pause right after the start byte", 1, 51, { "D:gap" } },
        { "pause before the start byte is no gap", 0, 5000, { "F:2" } },
    };
    const Bytes f = frame(Result);
    for (const GapCase &c : cases) {
        SCOPED_TRACE(c.name);
        FrameParser parser;
        std::vector<LinkUnit> units;
        parser.feed(f.data(), c.splitAt, 100, units);
        parser.feed(f.data() + c.splitAt, f.size() - c.splitAt, 100 + c.pauseMs, units);
        EXPECT_EQ(describeAll(units), c.expected);
    }
}

TEST(FrameParser, ByteAfterGapStartsTheNextUnit)
{
    FrameParser parser;
    std::vector<LinkUnit> units;
    const Bytes f = frame(Result);
    parser.feed(f.data(), 3, 0, units);
    EXPECT_TRUE(parser.inFrame());
    // The sender gave up on the first frame and sends the next one.
    parser.feed(f.data(), f.size(), 300, units);
    EXPECT_EQ(describeAll(units), (std::vector<std::string> { "D:gap", "F:2" }));
    EXPECT_FALSE(parser.inFrame());
}

TEST(FrameParser, ResetForgetsPartialUnit)
{
    FrameParser parser;
    std::vector<LinkUnit> units;
    const Bytes f = frame(Result);
    parser.feed(f.data(), 4, 0, units);
    parser.reset();
    parser.feed(f.data() + 4, f.size() - 4, 1, units);
    parser.feed(f.data(), f.size(), 2, units);
    EXPECT_EQ(describeAll(units), (std::vector<std::string> { "F:2" }));
}

TEST(FrameParser, TimestampWrapIsNoGap)
{
    FrameParser parser;
    std::vector<LinkUnit> units;
    const Bytes f = frame(Result);
    uint32_t now = 0xFFFFFFF0u;
    for (uint8_t b : f)
        parser.feed(b, now += 5, units);
    EXPECT_EQ(describeAll(units), (std::vector<std::string> { "F:2" }));
}

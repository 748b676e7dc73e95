#include "device/FrameCodec.h"
#include "device/MsClock.h"
#include "device/ProtocolLibrary.h"
#include "device/SerialTransport.h"
#include "link_pty_peer.h"
#include "tests/support/ScriptedTransport.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes GetResult { 0x04, 0x00 };

Bytes answerOf(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

Bytes frameOf(const Bytes &data)
{
    return FrameCodec::encodeFrame(data.data(), data.size());
}

// The library against a scripted instrument on a real pseudo-terminal.
class LibraryOnPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(port.open(peer.slavePath())) << port.errorString();
        lib.SetCommPort(&port);
        ASSERT_EQ(lib.InitCommPort(38400, 0, 0), 1);
    }
    void TearDown() override
    {
        if (instrument.joinable())
            instrument.join();
    }

    int32_t send(const Bytes &packet)
    {
        return lib.data_out(packet.data(), static_cast<uint16_t>(packet.size()), 10, 1);
    }
    int32_t receive()
    {
        count = 0xFFFF;
        return lib.data_in(buffer, sizeof buffer, &count, &second);
    }
    Bytes received() const { return Bytes(buffer, buffer + count); }

    PtyPeer peer;
    SerialTransport port;
    ProtocolLibrary lib;
    std::thread instrument;
    uint8_t buffer[642] = {};
    uint16_t count = 0;
    uint16_t second = 0;
};

} // namespace

TEST_F(LibraryOnPty, DataOutStatusFollowsTheToken)
{
    struct Case
    {
        const char *name;
        std::vector<Bytes> replies;
        int32_t status;
        bool waitsOut; // returns only when its 100 ms have run out
    };
    const Bytes ack(FrameCodec::AckToken.begin(), FrameCodec::AckToken.end());
    const Bytes nak(FrameCodec::NakToken.begin(), FrameCodec::NakToken.end());
    const Case cases[] = {
        { "ack", { ack }, LinkStatus::Ok, false },
        { "nak", { nak }, LinkStatus::Refused, true },
        { "silence", {}, LinkStatus::Nothing, true },
        { "noise only", { { 0x55, 0x06, 0x00 } }, LinkStatus::Nothing, true },
        { "nak then ack", { nak, ack }, LinkStatus::Ok, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes got;
        instrument = std::thread([&] {
            const auto units = peer.readUnits(1, 2000);
            if (!units.empty() && units[0].kind == LinkUnit::Frame)
                got = units[0].data;
            for (const Bytes &r : c.replies)
                peer.write(r);
        });
        const uint32_t start = MsClock::now();
        EXPECT_EQ(send(GetResult), c.status);
        const uint32_t took = MsClock::now() - start;
        instrument.join();
        EXPECT_EQ(got, GetResult);
        if (c.waitsOut) {
            EXPECT_GE(took, 95u);
            EXPECT_LT(took, 1000u);
        }
        lib.purge();
    }
}

TEST_F(LibraryOnPty, FrameDuringDataOutIsKeptUnacknowledgedForDataIn)
{
    const Bytes older = answerOf(14, 1);
    const Bytes newer = answerOf(144, 2);
    instrument = std::thread([&] {
        peer.readUnits(1, 2000);
        Bytes burst = frameOf(older);
        const Bytes second = frameOf(newer);
        burst.insert(burst.end(), second.begin(), second.end());
        burst.insert(burst.end(), FrameCodec::AckToken.begin(), FrameCodec::AckToken.end());
        peer.write(burst);
    });
    EXPECT_EQ(send(GetResult), LinkStatus::Ok);
    instrument.join();
    EXPECT_TRUE(lib.hasKeptFrame());
    EXPECT_TRUE(peer.readUnits(1, 150).empty()) << "kept frame acknowledged too early";

    const uint32_t start = MsClock::now();
    EXPECT_EQ(receive(), LinkStatus::Ok);
    EXPECT_LT(MsClock::now() - start, 90u) << "a kept frame is handed over at once";
    EXPECT_EQ(received(), newer); // only the newest frame is kept
    const auto acks = peer.readUnits(1, 1000);
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].kind, LinkUnit::Ack);
}

TEST_F(LibraryOnPty, DataInAcknowledgesAGoodFrame)
{
    const Bytes answer = answerOf(144, 9);
    peer.writeFrame(answer);
    EXPECT_EQ(receive(), LinkStatus::Ok);
    EXPECT_EQ(received(), answer);
    EXPECT_EQ(second, 0);
    const auto units = peer.readUnits(1, 1000);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].kind, LinkUnit::Ack);
}

TEST_F(LibraryOnPty, EmptyFrameIsAnAnswerOfZeroBytes)
{
    peer.writeFrame({});
    EXPECT_EQ(receive(), LinkStatus::Ok);
    EXPECT_EQ(count, 0);
}

TEST_F(LibraryOnPty, DataInWithoutFrameReturnsNothingAfterItsWait)
{
    peer.ack(); // a stale token is no answer
    const uint32_t start = MsClock::now();
    EXPECT_EQ(receive(), LinkStatus::Nothing);
    const uint32_t took = MsClock::now() - start;
    EXPECT_GE(took, 95u);
    EXPECT_LT(took, 1000u);
}

TEST_F(LibraryOnPty, DamagedFramesAreCountedAndBadCrcIsRefused)
{
    const Bytes answer = answerOf(40, 3);
    instrument = std::thread([&] {
        Bytes bad = frameOf(answer);
        bad[10] ^= 0xFF;
        peer.write(bad);
        const auto nak = peer.readUnits(1, 2000); // the receiver asks for it again
        if (!nak.empty() && nak[0].kind == LinkUnit::Nak) {
            peer.write({ 0x7E, 0xFF, 0xFF }); // LEN beyond 642: dropped, not answered
            peer.writeFrame(answer);
        }
    });
    int32_t status = LinkStatus::Nothing;
    for (int i = 0; i < 20 && status != LinkStatus::Ok; ++i)
        status = receive();
    instrument.join();
    EXPECT_EQ(status, LinkStatus::Ok);
    EXPECT_EQ(received(), answer);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(lib.damagedCount(), 2u);

    // The count starts over with each InitCommPort.
    ASSERT_EQ(lib.InitCommPort(38400, 0, 0), 1);
    receive();
    EXPECT_EQ(second, 0);
}

TEST_F(LibraryOnPty, HangUpIsAnIoErrorWithoutHanging)
{
    peer.closeMaster();
    const uint32_t start = MsClock::now();
    EXPECT_EQ(send(GetResult), LinkStatus::IoError);
    EXPECT_EQ(receive(), LinkStatus::IoError);
    EXPECT_LT(MsClock::now() - start, 500u);
}

TEST_F(LibraryOnPty, NoPortOrUnconfiguredPortIsStatusOne)
{
    ProtocolLibrary fresh;
    EXPECT_EQ(fresh.data_out(GetResult.data(), 2, 10, 1), LinkStatus::NoPort);
    EXPECT_EQ(fresh.InitCommPort(38400, 0, 0), 0);
    fresh.SetCommPort(&port);
    EXPECT_EQ(fresh.data_in(buffer, 642, &count, &second), LinkStatus::NoPort);
    EXPECT_EQ(fresh.InitCommPort(12345, 0, 0), 0); // speed the port refuses

    port.close();
    EXPECT_EQ(send(GetResult), LinkStatus::NoPort);
    EXPECT_EQ(lib.InitCommPort(38400, 0, 0), 0);
}

// ---- a frame split across two data_in calls, on a scripted port and clock

TEST(LibraryTiming, FrameStillArrivingWhenTheWaitEndsIsCompletedByTheNextCall)
{
    struct Case
    {
        const char *name;
        uint32_t gapMs; // between the two halves of the frame
        uint32_t pauseMs; // between the calls, nobody listening
        int32_t secondCall;
        uint16_t damaged;
    };
    const Case cases[] = {
        { "gap within 50 ms", 35, 0, LinkStatus::Ok, 0 },
        { "gap of 50 ms", 50, 0, LinkStatus::Ok, 0 },
        { "gap over 50 ms", 60, 0, LinkStatus::Nothing, 1 },
        // The rest came 30 ms after the first half, just after the wait:
        // it is read only after the pause, but the pause is no gap.
        { "rest waiting after a pause", 30, 200, LinkStatus::Ok, 0 },
        { "gap over 50 ms around a pause", 60, 200, LinkStatus::Nothing, 1 },
    };
    // Plain data bytes: nothing in the frame's tail may look like a unit once
    // a gap has cut it off.
    Bytes answer(144, 0x11);
    answer[0] = 0x22;
    const Bytes f = frameOf(answer);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t clock = 0xFFFFFF00u; // across the 32-bit wrap as well
        ScriptedTransport port(clock);
        ProtocolLibrary lib([&] { return clock; });
        port.open("scripted");
        lib.SetCommPort(&port);
        ASSERT_EQ(lib.InitCommPort(38400, 0, 0), 1);

        // First half 75 ms into the first call's 100 ms wait, the rest after the gap.
        port.arrivals.push_back({ 75, Bytes(f.begin(), f.begin() + 60) });
        port.arrivals.push_back({ c.gapMs, Bytes(f.begin() + 60, f.end()) });
        uint8_t buffer[642];
        uint16_t count = 0, second = 0;
        EXPECT_EQ(lib.data_in(buffer, 642, &count, &second), LinkStatus::Nothing);
        clock += c.pauseMs;
        EXPECT_EQ(lib.data_in(buffer, 642, &count, &second), c.secondCall);
        EXPECT_EQ(second, c.damaged);
        if (c.secondCall == LinkStatus::Ok) {
            EXPECT_EQ(Bytes(buffer, buffer + count), answer);
            EXPECT_EQ(
                port.written, Bytes(FrameCodec::AckToken.begin(), FrameCodec::AckToken.end()));
        } else {
            EXPECT_TRUE(port.written.empty()) << "a frame cut off by a gap is not answered";
        }
    }
}

TEST(LibraryTiming, DataOutWaitsTenMillisecondsPerTick)
{
    uint32_t clock = 1000;
    ScriptedTransport port(clock);
    ProtocolLibrary lib([&] { return clock; });
    port.open("scripted");
    lib.SetCommPort(&port);
    ASSERT_EQ(lib.InitCommPort(38400, 0, 0), 1);
    // An ACK after 99 ms still counts, one after 100 ms is too late.
    port.arrivals.push_back({ 99, { 0x06, 0xF9 } });
    EXPECT_EQ(lib.data_out(GetResult.data(), 2, 10, 1), LinkStatus::Ok);
    port.arrivals.push_back({ 101, { 0x06, 0xF9 } });
    EXPECT_EQ(lib.data_out(GetResult.data(), 2, 10, 1), LinkStatus::Nothing);
    EXPECT_EQ(port.written.size(), 14u); // two 7-byte frames, no token
}

TEST(LibraryTiming, TokenWaitingBeforeTheFrameIsNoAnswerToIt)
{
    uint32_t clock = 0;
    ScriptedTransport port(clock);
    ProtocolLibrary lib([&] { return clock; });
    port.open("scripted");
    lib.SetCommPort(&port);
    ASSERT_EQ(lib.InitCommPort(38400, 0, 0), 1);
    // A late ACK of an earlier frame is already there; this frame is refused.
    port.arrivals.push_back({ 0, { 0x06, 0xF9 } });
    port.arrivals.push_back({ 10, { 0x15, 0xEA } });
    EXPECT_EQ(lib.data_out(GetResult.data(), 2, 10, 1), LinkStatus::Refused);
    // A frame waiting there answers an earlier command: it is acknowledged (so
    // the instrument sends its next one), counted and dropped, never handed
    // to data_in as the answer to this one.
    const Bytes stale(14, 0x11);
    port.arrivals.push_back({ 0, frameOf(stale) });
    port.arrivals.push_back({ 5, { 0x06, 0xF9 } });
    port.written.clear();
    EXPECT_EQ(lib.data_out(GetResult.data(), 2, 10, 1), LinkStatus::Ok);
    EXPECT_EQ(lib.staleFrames(), 1u);
    const Bytes ack(FrameCodec::AckToken.begin(), FrameCodec::AckToken.end());
    ASSERT_GE(port.written.size(), 2u);
    EXPECT_EQ(Bytes(port.written.begin(), port.written.begin() + 2), ack) << "ACK before the frame";
    uint8_t buffer[642];
    uint16_t count = 0, second = 0;
    EXPECT_EQ(lib.data_in(buffer, 642, &count, &second), LinkStatus::Nothing);
}

TEST(LibraryTiming, OnlyFramesThatBeganBeforeTheSendAreStale)
{
    struct Case
    {
        const char *name;
        std::deque<ScriptedTransport::Arrival> before; // there before data_out
        std::deque<ScriptedTransport::Arrival> after; // during its wait
        uint32_t stale;
        bool answered; // data_in then hands over the fresh answer
    };
    const Bytes old(144, 0x22);
    const Bytes fresh(22, 0x33);
    const Bytes f = frameOf(old);
    const Bytes ack { 0x06, 0xF9 };
    const Bytes freshFrame = frameOf(fresh);
    auto join = [](Bytes a, const Bytes &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        { "nothing waiting", {}, { { 3, ack }, { 5, freshFrame } }, 0, true },
        { "whole frame waiting", { { 0, f } }, { { 3, ack }, { 5, freshFrame } }, 1, true },
        { "two frames waiting", { { 0, join(f, f) } }, { { 3, ack }, { 5, freshFrame } }, 2, true },
        // Its first half was there before the send, the rest comes after.
        { "frame still arriving", { { 0, Bytes(f.begin(), f.begin() + 40) } },
            { { 3, join(Bytes(f.begin() + 40, f.end()), ack) }, { 5, freshFrame } }, 1, true },
        // A frame during the wait may be the answer (its ACK can be late).
        { "frame during the wait", {}, { { 3, join(freshFrame, ack) } }, 0, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t clock = 0;
        ScriptedTransport port(clock);
        ProtocolLibrary lib([&] { return clock; });
        port.open("scripted");
        lib.SetCommPort(&port);
        ASSERT_EQ(lib.InitCommPort(38400, 0, 0), 1);
        // Arrivals due at once are there before the frame goes out; the
        // others come during the wait for its token.
        for (const auto &a : c.before)
            port.arrivals.push_back(a);
        for (const auto &a : c.after)
            port.arrivals.push_back(a);
        uint8_t buffer[642];
        uint16_t count = 0, second = 0;
        EXPECT_EQ(lib.data_out(GetResult.data(), 2, 10, 1), LinkStatus::Ok);
        EXPECT_EQ(lib.staleFrames(), c.stale);
        EXPECT_EQ(lib.data_in(buffer, 642, &count, &second),
            c.answered ? LinkStatus::Ok : LinkStatus::Nothing);
        if (c.answered) {
            EXPECT_EQ(Bytes(buffer, buffer + count), fresh);
        }
    }
}

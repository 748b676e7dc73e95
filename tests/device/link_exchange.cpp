#include "device/LittleEndian.h"
#include "device/MsClock.h"
#include "device/PacketExchange.h"
#include "device/SerialTransport.h"
#include "link_pty_peer.h"
#include "tests/support/ScriptedLibrary.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
using Answer = ScriptedLibrary::Answer;

struct Harness
{
    explicit Harness(uint32_t startMs = 0, uint32_t stepMs = 100)
        : clock(startMs)
    {
        auto owned = std::make_unique<ScriptedLibrary>(clock, stepMs);
        lib = owned.get();
        exchange = std::make_unique<PacketExchange>(
            std::make_unique<IdleTransport>(), std::move(owned), [this] { return clock; });
    }
    uint32_t clock;
    ScriptedLibrary *lib;
    std::unique_ptr<PacketExchange> exchange;
};

} // namespace

TEST(PacketExchange, RefusedSendIsRetriedForOneSecondOnTheTick)
{
    // 100 ms per attempt: ten attempts fit in the window, wherever the 32-bit
    // tick stands (including just before it wraps).
    for (uint32_t start : { 0u, 0x7FFFFFF0u, 0xFFFFFF00u, 0xFFFFFFFFu }) {
        SCOPED_TRACE(start);
        Harness h(start);
        EXPECT_EQ(h.exchange->SendPacket(ZMX_get_result), LinkStatus::Refused);
        EXPECT_EQ(h.lib->sent.size(), 10u);
        EXPECT_EQ(h.exchange->lastSendStatus(), LinkStatus::Refused);
    }
}

TEST(PacketExchange, SendReturnsTheLastStatusAndStopsAtTheFirstAcceptance)
{
    struct Case
    {
        const char *name;
        std::deque<int32_t> results;
        int32_t expected;
        size_t attempts;
    };
    const Case cases[] = {
        { "accepted at once", { 15 }, 15, 1 },
        { "accepted on the third try", { 21, 0, 15, 15 }, 15, 3 },
        { "last of the window", { 21, 21, 21, 21, 21, 21, 21, 21, 21, 0 }, 0, 10 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.lib->sendResults = c.results;
        EXPECT_EQ(h.exchange->SendPacket(ZMX_Dummy), c.expected);
        EXPECT_EQ(h.lib->sent.size(), c.attempts);
    }
}

TEST(PacketExchange, LibraryThatNeverAcceptsReturnsAfterAboutOneSecond)
{
    uint32_t unused = 0;
    auto owned = std::make_unique<ScriptedLibrary>(unused, 0);
    ScriptedLibrary *lib = owned.get();
    lib->callTime = std::chrono::milliseconds(20);
    PacketExchange exchange(std::make_unique<IdleTransport>(), std::move(owned), &MsClock::now);
    const uint32_t start = MsClock::now();
    EXPECT_EQ(exchange.SendPacket(ZMX_get_result), LinkStatus::Refused);
    const uint32_t took = MsClock::now() - start;
    EXPECT_GE(took, 990u);
    EXPECT_LT(took, 3000u);
}

TEST(PacketExchange, FailingLibraryDoesNotSpin)
{
    uint32_t unused = 0;
    auto owned = std::make_unique<ScriptedLibrary>(unused, 0);
    ScriptedLibrary *lib = owned.get();
    lib->sendDefault = LinkStatus::IoError;
    PacketExchange exchange(std::make_unique<IdleTransport>(), std::move(owned), &MsClock::now);
    EXPECT_EQ(exchange.SendPacket(ZMX_get_result), LinkStatus::IoError);
    EXPECT_LT(lib->sent.size(), 150u);
}

TEST(PacketExchange, EachCommandGoesOutWithItsTableLength)
{
    Harness h;
    h.lib->sendDefault = LinkStatus::Ok;
    // An older, longer answer still fills the buffer.
    std::fill(h.exchange->buffer(), h.exchange->buffer() + PacketBufferSize, 0xAB);
    for (int code = 0; code < CommandCount; ++code) {
        h.lib->sent.clear();
        EXPECT_EQ(h.exchange->SendPacket(code), LinkStatus::Ok);
        ASSERT_EQ(h.lib->sent.size(), 1u);
        const Bytes &packet = h.lib->sent[0];
        EXPECT_EQ(static_cast<int>(packet.size()), commandOutLength(code)) << commandName(code);
        EXPECT_EQ(LittleEndian::readU16(packet.data()), code);
        EXPECT_EQ(h.exchange->commandIndex(), code);
    }
    h.lib->sent.clear();
    h.exchange->SendPacket(ZMX_get_result);
    EXPECT_EQ(h.lib->sent.at(0), (Bytes { 0x04, 0x00 }));
    h.lib->sent.clear();
    h.exchange->SendPacket(ZMX_Shift_O2); // nobody sets its word: it goes out as it stands
    EXPECT_EQ(h.lib->sent.at(0), (Bytes { 0x0B, 0x00, 0xAB, 0xAB }));
}

TEST(PacketExchange, CommandIndexFollowsTheLastSend)
{
    Harness h;
    h.lib->sendDefault = LinkStatus::Ok;
    EXPECT_EQ(h.exchange->SendPacket(ZMX_get_constant), LinkStatus::Ok);
    EXPECT_EQ(h.exchange->commandIndex(), 5);
    EXPECT_TRUE(h.exchange->PingDevice());
    EXPECT_EQ(h.exchange->commandIndex(), 0);
    EXPECT_TRUE(h.exchange->SwitchTo38400());
    EXPECT_EQ(h.exchange->commandIndex(), 15);
    // The speed switch carries 0x3840, the digits of the speed read as hex.
    EXPECT_EQ(h.lib->sent.back(), (Bytes { 0x0F, 0x00, 0x40, 0x38 }));

    h.lib->sendDefault = LinkStatus::Refused;
    EXPECT_FALSE(h.exchange->PingDevice());
    EXPECT_FALSE(h.exchange->SwitchTo38400());
    EXPECT_EQ(h.exchange->commandIndex(), 15);
}

TEST(PacketExchange, ReceiveKeepsCountAndSecondWord)
{
    Harness h;
    const Bytes warmUp(WarmUpRecord::Size, 0x42);
    h.lib->answers = { { LinkStatus::Nothing, {} }, { LinkStatus::Nothing, {} },
        { LinkStatus::Ok, warmUp, 7 } };
    EXPECT_EQ(h.exchange->ReceiveAnswer(), LinkStatus::Ok);
    EXPECT_EQ(h.lib->receiveCalls, 3);
    EXPECT_EQ(h.exchange->answerCount(), WarmUpRecord::Size);
    EXPECT_EQ(h.exchange->secondAnswerWord(), 7);
    EXPECT_EQ(Bytes(h.exchange->buffer(), h.exchange->buffer() + 14), warmUp);
    EXPECT_EQ(h.exchange->lastReceiveStatus(), LinkStatus::Ok);

    h.lib->answers = { { LinkStatus::Ok, {}, 8 } };
    EXPECT_EQ(h.exchange->ReceiveAnswer(), LinkStatus::Ok);
    EXPECT_EQ(h.exchange->answerCount(), 0); // an empty answer is an answer

    h.lib->receiveCalls = 0;
    EXPECT_EQ(h.exchange->ReceiveAnswer(), LinkStatus::Nothing);
    EXPECT_EQ(h.lib->receiveCalls, 10);
}

TEST(PacketExchange, PurgeReportsRefusal)
{
    Harness h;
    EXPECT_EQ(h.exchange->PurgePort(), 0);
    h.lib->purgeResult = false;
    EXPECT_EQ(h.exchange->PurgePort(), -1);
}

TEST(SerialTransport, PortNamesMapToDevicePaths)
{
    const std::pair<const char *, const char *> names[] = {
        { "COM1", "/dev/ttyS0" },
        { "COM3", "/dev/ttyS2" },
        { "COM12", "/dev/ttyS11" },
        { "com2", "/dev/ttyS1" },
        { "ttyUSB0", "/dev/ttyUSB0" },
        { "ttyS0", "/dev/ttyS0" },
        { "/dev/pts/7", "/dev/pts/7" },
        { "/tmp/zelmor/port", "/tmp/zelmor/port" },
        { "serial/by-id/usb-x", "serial/by-id/usb-x" },
        { "COM0", "/dev/COM0" },
        { "COMX", "/dev/COMX" },
    };
    for (const auto &[name, path] : names)
        EXPECT_EQ(SerialTransport::devicePath(name), path) << name;
}

TEST(SerialTransport, PortIsForExclusiveUse)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialTransport first, second;
    ASSERT_TRUE(first.open(peer.slavePath())) << first.errorString();
    EXPECT_FALSE(second.open(peer.slavePath()));
    EXPECT_NE(second.errorString().find("in use"), std::string::npos) << second.errorString();
    first.close();
    EXPECT_TRUE(second.open(peer.slavePath())) << second.errorString();

    SerialTransport missing;
    EXPECT_FALSE(missing.open("/dev/zelmor-no-such-port"));
    EXPECT_FALSE(missing.errorString().empty());
    EXPECT_FALSE(missing.open("/dev/null")) << "not a terminal";
}

TEST(PacketExchange, OpenPortLocksAndClosePortReleases)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    PacketExchange first, second;
    ASSERT_TRUE(first.OpenPort(peer.slavePath())) << first.portError();
    EXPECT_FALSE(second.OpenPort(peer.slavePath()));
    EXPECT_FALSE(second.isPortOpen());
    EXPECT_EQ(first.ClosePort(), 0);
    EXPECT_FALSE(first.isPortOpen());
    EXPECT_EQ(first.ClosePort(), 0);
    EXPECT_TRUE(second.OpenPort(peer.slavePath()));
    // Opening again replaces the port the exchange held.
    EXPECT_TRUE(second.OpenPort(peer.slavePath()));
    EXPECT_EQ(second.PurgePort(), 0);
}

TEST(PacketExchange, QueryAndAnswerOverAPseudoTerminal)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    PacketExchange exchange;
    ASSERT_TRUE(exchange.OpenPort(peer.slavePath())) << exchange.portError();
    ASSERT_TRUE(exchange.InitPort(PacketExchange::LineSpeedFast));

    ResultRecord record;
    record.gaseCO = 1.5f;
    record.tick_ms = 123456;
    record.term_m = -3;
    Bytes answer(ResultRecord::Size);
    record.encode(answer.data());
    Bytes query;
    bool answerAcked = false;
    std::thread instrument([&] {
        const auto units = peer.readUnits(1, 3000);
        if (units.empty() || units[0].kind != LinkUnit::Frame)
            return;
        query = units[0].data;
        peer.ack();
        peer.writeFrame(answer);
        const auto acks = peer.readUnits(1, 3000);
        answerAcked = !acks.empty() && acks[0].kind == LinkUnit::Ack;
    });
    EXPECT_EQ(exchange.SendPacket(ZMX_get_result), LinkStatus::Ok);
    EXPECT_EQ(exchange.ReceiveAnswer(), LinkStatus::Ok);
    instrument.join();
    EXPECT_EQ(query, (Bytes { 0x04, 0x00 }));
    EXPECT_TRUE(answerAcked);
    ASSERT_EQ(exchange.answerCount(), ResultRecord::Size);
    EXPECT_EQ(classifyAnswer(exchange.commandIndex(), exchange.answerCount()), AnswerKind::Result);
    EXPECT_EQ(ResultRecord::decode(exchange.buffer()), record);

    // Unplugged: the exchange reports the library's I/O error within its window.
    peer.closeMaster();
    const uint32_t start = MsClock::now();
    EXPECT_EQ(exchange.SendPacket(ZMX_get_result), LinkStatus::IoError);
    EXPECT_LT(MsClock::now() - start, 2000u);
    exchange.ClosePort();
    EXPECT_EQ(exchange.SendPacket(ZMX_Dummy), LinkStatus::NoPort);
}

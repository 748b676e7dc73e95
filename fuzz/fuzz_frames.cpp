// Fuzzes the receiving side of the link: the frame parser and the protocol
// library over a scripted port. Input: pairs of (time step, byte); a time step
// with its top bit set also ends a read of the port.

#include "device/FrameCodec.h"
#include "device/FrameParser.h"
#include "device/ProtocolLibrary.h"
#include "tests/support/ScriptedTransport.h"

#include <cstdlib>
#include <deque>
#include <vector>

namespace {

constexpr uint8_t StepMask = 0x3F; // up to 63 ms: both sides of the gap limit
constexpr uint8_t ChunkEnd = 0x80;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkUnits(const std::vector<LinkUnit> &units)
{
    for (const LinkUnit &u : units) {
        if (u.kind == LinkUnit::Frame) {
            check(u.data.size() <= FrameCodec::MaxDataLength);
            // What we parse, we can send again and read back unchanged.
            const std::vector<uint8_t> again
                = FrameCodec::encodeFrame(u.data.data(), u.data.size());
            FrameParser reparse;
            std::vector<LinkUnit> back;
            reparse.feed(again.data(), again.size(), 0, back);
            check(back.size() == 1 && back[0].kind == LinkUnit::Frame && back[0].data == u.data);
        } else if (u.kind == LinkUnit::Damaged) {
            check(u.damage != LinkUnit::NoDamage);
            check(u.endSeen == (u.damage == LinkUnit::BadCrc));
        } else {
            check(u.data.empty());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The parser alone, byte by byte with the scripted times.
    FrameParser parser;
    std::vector<LinkUnit> units;
    uint32_t now = 0xFFFFF000u; // cross the tick's wrap now and then
    std::deque<ScriptedTransport::Arrival> arrivals;
    uint32_t pendingStep = 0;
    std::vector<uint8_t> chunk;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const uint32_t step = data[i] & StepMask;
        now += step;
        parser.feed(data[i + 1], now, units);
        pendingStep += step;
        chunk.push_back(data[i + 1]);
        if (data[i] & ChunkEnd) {
            arrivals.push_back({ pendingStep, chunk });
            pendingStep = 0;
            chunk.clear();
        }
    }
    if (!chunk.empty())
        arrivals.push_back({ pendingStep, chunk });
    checkUnits(units);

    // The library: alternate sends and receives until the script is used up.
    uint32_t clock = 0;
    ScriptedTransport port(clock);
    port.open("scripted");
    port.arrivals = std::move(arrivals);
    ProtocolLibrary lib([&] { return clock; });
    lib.SetCommPort(&port);
    check(lib.InitCommPort(38400, 0, 0) == 1);
    const uint8_t query[2] = { 0x04, 0x00 };
    uint8_t buffer[642];
    for (int round = 0; !port.arrivals.empty() && round < 10000; ++round) {
        const int32_t sent = lib.data_out(query, sizeof query, 10, 1);
        check(sent == LinkStatus::Ok || sent == LinkStatus::Refused || sent == LinkStatus::Nothing);
        uint16_t count = 0xFFFF, second = 0;
        const int32_t got = lib.data_in(buffer, sizeof buffer, &count, &second);
        check(got == LinkStatus::Ok || got == LinkStatus::Nothing);
        if (got == LinkStatus::Ok)
            check(count <= sizeof buffer);
        check(second == (lib.damagedCount() & 0xFFFF));
    }
    return 0;
}

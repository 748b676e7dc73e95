// Round trip of one ZMX_get_result exchange at 38400 bit/s: the query frame
// (7 bytes), the instrument's ACK (2), the readings frame (149) and our ACK
// (2). On the line these 160 bytes take 160 × 10 / 38400 s ≈ 41.7 ms; a
// pseudo-terminal has no line delay, so the unpaced figures show what the
// library and the system add on top of it.
//
//   bench_link                      (simulator from the build, or ZELMOR_SIM)

#include "device/FrameCodec.h"
#include "device/PacketExchange.h"
#include "link_pty_peer.h"
#include "tests/support/SimProcess.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

constexpr double BitsPerByte = 10.0; // start + 8 data + stop
constexpr double LineSpeed = 38400.0;
constexpr int ExchangeBytes = 7 + 2 + (ResultRecord::Size + FrameCodec::Overhead) + 2;
const double LineTimeMs = ExchangeBytes * BitsPerByte / LineSpeed * 1000.0;

// The simulator comes from ZELMOR_SIM, or else from this build.
void findSimulator()
{
#ifdef ZELMOR_SIM_PATH
    if (qEnvironmentVariableIsEmpty("ZELMOR_SIM"))
        qputenv("ZELMOR_SIM", ZELMOR_SIM_PATH);
#endif
}

void runExchanges(benchmark::State &state, PacketExchange &exchange)
{
    for (auto _ : state) {
        if (exchange.SendPacket(ZMX_get_result) != LinkStatus::Ok
            || exchange.ReceiveAnswer() != LinkStatus::Ok
            || exchange.answerCount() != ResultRecord::Size) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.counters["line_ms"] = LineTimeMs;
}

void roundTripWithSimulator(benchmark::State &state, bool paced)
{
    findSimulator();
    QStringList arguments { QStringLiteral("--warmup"), QStringLiteral("0") };
    if (!paced)
        arguments << QStringLiteral("--no-pacing");
    SimProcess sim(arguments);
    if (!sim.isReady()) {
        const std::string why = sim.errorString().toStdString();
        state.SkipWithError(why.c_str());
        return;
    }
    PacketExchange exchange;
    if (!exchange.OpenPort(sim.slavePath().toStdString())
        || !exchange.InitPort(PacketExchange::LineSpeedFast)) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    runExchanges(state, exchange);
}

void BM_GetResultRoundTrip_SimulatorPaced(benchmark::State &state)
{
    roundTripWithSimulator(state, true);
}

void BM_GetResultRoundTrip_SimulatorUnpaced(benchmark::State &state)
{
    roundTripWithSimulator(state, false);
}

// A bare peer that answers at once: what is left is the library, the pty and
// two thread wake-ups.
void BM_GetResultRoundTrip_PtyPeer(benchmark::State &state)
{
    PtyPeer peer;
    PacketExchange exchange;
    if (!peer.ok() || !exchange.OpenPort(peer.slavePath())
        || !exchange.InitPort(PacketExchange::LineSpeedFast)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::vector<uint8_t> answer(ResultRecord::Size, 0x11);
    std::vector<uint8_t> reply(FrameCodec::AckToken.begin(), FrameCodec::AckToken.end());
    const std::vector<uint8_t> frame = FrameCodec::encodeFrame(answer.data(), answer.size());
    reply.insert(reply.end(), frame.begin(), frame.end());
    std::atomic<bool> stop { false };
    std::thread instrument([&] {
        while (!stop) {
            const auto units = peer.readUnits(1, 100);
            if (!units.empty() && units[0].kind == LinkUnit::Frame)
                peer.write(reply);
        }
    });
    runExchanges(state, exchange);
    stop = true;
    instrument.join();
}

} // namespace

BENCHMARK(BM_GetResultRoundTrip_SimulatorPaced)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetResultRoundTrip_SimulatorUnpaced)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GetResultRoundTrip_PtyPeer)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();

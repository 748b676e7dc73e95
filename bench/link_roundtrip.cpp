// Round trip of one ZMX_get_result exchange at 38400 bit/s: the query frame
// (7 bytes), the instrument's ACK (2), the readings frame (149) and our ACK
// (2). On the line these 160 bytes take 160 × 10 / 38400 s ≈ 41.7 ms; a
// pseudo-terminal has no line delay, so the unpaced figures show what the
// library and the system add on top of it.
//
//   bench_link                      (simulator from the build, or ZELMOR_SIM)

#include "device/FrameCodec.h"
#include "device/PacketExchange.h"
#include "link_PtyPeer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr double BitsPerByte = 10.0; // start + 8 data + stop
constexpr double LineSpeed = 38400.0;
constexpr int ExchangeBytes = 7 + 2 + (ResultRecord::Size + FrameCodec::Overhead) + 2;
const double LineTimeMs = ExchangeBytes * BitsPerByte / LineSpeed * 1000.0;

std::string simulatorPath()
{
    if (const char *env = std::getenv("ZELMOR_SIM"))
        return env;
#ifdef ZELMOR_SIM_PATH
    return ZELMOR_SIM_PATH;
#else
    return {};
#endif
}

// zelmor-sim as a child process; it ends when its standard input closes.
class Simulator
{
public:
    explicit Simulator(bool paced)
    {
        const std::string path = simulatorPath();
        if (path.empty() || ::access(path.c_str(), X_OK) != 0)
            return;
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            std::vector<const char *> args { path.c_str(), "--quit-on-eof", "--warmup", "0" };
            if (!paced)
                args.push_back("--no-pacing");
            args.push_back(nullptr);
            ::execv(path.c_str(), const_cast<char *const *>(args.data()));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        // The first output line is "ready <slave path>".
        FILE *lines = ::fdopen(out[0], "r");
        char line[512];
        if (lines != nullptr && std::fgets(line, sizeof line, lines) != nullptr) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            const std::string ready = "ready ";
            if (text.rfind(ready, 0) == 0)
                slave_ = text.substr(ready.size());
        }
        output_ = lines;
    }
    ~Simulator()
    {
        if (stdin_ >= 0)
            ::close(stdin_);
        if (pid_ > 0) {
            int status = 0;
            for (int i = 0; i < 50 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (::waitpid(pid_, &status, WNOHANG) == 0) {
                ::kill(pid_, SIGTERM);
                ::waitpid(pid_, &status, 0);
            }
        }
        if (output_ != nullptr)
            std::fclose(output_);
    }
    const std::string &slavePath() const { return slave_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    FILE *output_ = nullptr;
    std::string slave_;
};

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
    Simulator sim(paced);
    if (sim.slavePath().empty()) {
        state.SkipWithError("zelmor-sim not found (set ZELMOR_SIM)");
        return;
    }
    PacketExchange exchange;
    if (!exchange.OpenPort(sim.slavePath()) || !exchange.InitPort(PacketExchange::LineSpeedFast)) {
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

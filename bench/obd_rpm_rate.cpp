// How fast the OBD link brings the engine speed from the simulated car's
// adapter (the workstation wants at least four values a second at 38400
// bit/s), and what the OBD link costs the instrument: the readings round
// trip with the same simulator, with and without the link running beside it.
//
//   bench_obd                       (simulator from the build, or ZELMOR_SIM)

#include "device/PacketExchange.h"
#include "device/obd/ObdLink.h"
#include "tests/support/SimProcess.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr auto OnlineTimeout = std::chrono::seconds(20);
constexpr auto UpdateTimeout = std::chrono::seconds(2);
constexpr int MaxFailedExchanges = 10;

using Clock = std::chrono::steady_clock;

void findSimulator()
{
#ifdef ZELMOR_SIM_PATH
    if (qEnvironmentVariableIsEmpty("ZELMOR_SIM"))
        qputenv("ZELMOR_SIM", ZELMOR_SIM_PATH);
#endif
}

// The simulator with its car on a second line.
struct CarSim
{
    explicit CarSim(int obdSpeed)
        : path(dir.filePath(QStringLiteral("obd-tty")))
        , sim({ QStringLiteral("--obd"), path, QStringLiteral("--obd-speed"),
              QString::number(obdSpeed) })
    {
        ready = sim.isReady() && !sim.waitForLine(QStringLiteral("obd-ready "), 5000).isEmpty();
    }
    QTemporaryDir dir;
    QString path;
    SimProcess sim;
    bool ready = false;
};

bool waitOnline(const ObdLink &link)
{
    const auto deadline = Clock::now() + OnlineTimeout;
    while (link.snapshot().state != ObdState::Online) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Manual time: one iteration is the time from one engine speed to the next.
void BM_ObdEngineSpeedUpdates(benchmark::State &state)
{
    findSimulator();
    CarSim car(int(state.range(0)));
    if (!car.ready) {
        state.SkipWithError(car.sim.errorString().toStdString().c_str());
        return;
    }
    ObdLink link(nullptr, [](const QString &) {});
    link.setPort(car.path);
    if (!waitOnline(link)) {
        state.SkipWithError("the simulated car did not come online");
        return;
    }
    uint64_t seen = link.snapshot().rpmUpdates;
    auto last = Clock::now();
    double total = 0;
    for (auto _ : state) {
        for (;;) {
            const uint64_t now = link.snapshot().rpmUpdates;
            if (now > seen) {
                seen = now;
                break;
            }
            if (Clock::now() - last > UpdateTimeout) {
                state.SkipWithError("no engine speed for two seconds");
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto now = Clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        state.SetIterationTime(seconds);
        total += seconds;
        last = now;
    }
    state.counters["updates_per_s"] = total > 0 ? double(state.iterations()) / total : 0;
}

// One ZMX_get_result exchange with the instrument simulator while the OBD
// link talks to the same simulator's car (argument 1) or not (0).
void BM_InstrumentRoundTripBesideObd(benchmark::State &state)
{
    findSimulator();
    CarSim car(38400);
    if (!car.ready) {
        state.SkipWithError(car.sim.errorString().toStdString().c_str());
        return;
    }
    std::unique_ptr<ObdLink> link;
    if (state.range(0) != 0) {
        link = std::make_unique<ObdLink>(nullptr, [](const QString &) {});
        link->setPort(car.path);
        if (!waitOnline(*link)) {
            state.SkipWithError("the simulated car did not come online");
            return;
        }
    }
    PacketExchange exchange;
    if (!exchange.OpenPort(car.sim.slavePath().toStdString())
        || !exchange.InitPort(PacketExchange::LineSpeedFast)) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    // Manual time over the exchanges that went through; one that failed is
    // counted, not timed (on a loaded machine the link gives up a frame now
    // and then), and repeated.
    int failed = 0;
    for (auto _ : state) {
        for (;;) {
            const auto start = Clock::now();
            if (exchange.SendPacket(ZMX_get_result) == LinkStatus::Ok
                && exchange.ReceiveAnswer() == LinkStatus::Ok
                && exchange.answerCount() == ResultRecord::Size) {
                state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
                break;
            }
            if (++failed > MaxFailedExchanges) {
                state.SkipWithError("the instrument simulator stopped answering");
                return;
            }
            exchange.PurgePort();
        }
    }
    state.counters["failed"] = failed;
    if (link)
        state.counters["obd_rpm_updates"] = double(link->snapshot().rpmUpdates);
}

} // namespace

BENCHMARK(BM_ObdEngineSpeedUpdates)
    ->Arg(38400)
    ->Arg(9600)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstrumentRoundTripBesideObd)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

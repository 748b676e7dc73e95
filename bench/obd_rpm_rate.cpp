// How fast the OBD link brings the engine speed from the simulated car's
// adapter (the workstation wants at least four values a second at 38400
// bit/s), and what the OBD link costs the instrument: the readings round
// trip with the same simulator, with and without the link running beside it,
// and the polling thread's whole cycle (its 200 ms pause and one exchange)
// alone and beside the link, which must stay within 1 % of each other.
//
//   bench_obd                       (simulator from the build, or ZELMOR_SIM)

#include "device/PacketExchange.h"
#include "device/TOpros_ZMX.h"
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

// The mean time between two answers the polling thread receives while it
// reads the instrument over and over, over `cycles` readings.
double meanCycleMs(const TOpros_ZMX &opros, int cycles)
{
    int count = opros.snapshot().NonEmptyAnswerCount;
    const auto wait = [&](int after) {
        // A cycle takes about a quarter of a second: a second each and five
        // to start are plenty.
        const auto deadline = Clock::now() + std::chrono::seconds(5 + after - count);
        while (opros.snapshot().NonEmptyAnswerCount <= after) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return true;
    };
    if (!wait(count))
        return -1;
    count = opros.snapshot().NonEmptyAnswerCount;
    const auto start = Clock::now();
    if (!wait(count + cycles - 1))
        return -1;
    const int done = opros.snapshot().NonEmptyAnswerCount - count;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / done;
}

// The polling thread's cycle with the instrument simulator alone and with
// the OBD link talking to the same simulator's car, in turns (the link's port
// is taken away and given back), so that a machine busy with other work
// weighs on both alike; one iteration times the cycle beside the link.
void BM_InstrumentPollCycleBesideObd(benchmark::State &state)
{
    findSimulator();
    QTemporaryDir dataRoot; // without the data files' folders: none is written
    qputenv("ZELMOR_DATA_ROOT", dataRoot.path().toUtf8());
    // The car on a simulator of its own, as it is a device of its own.
    CarSim car(38400);
    SimProcess instrument;
    if (!car.ready || !instrument.isReady()) {
        state.SkipWithError("the simulators did not start");
        return;
    }
    const int cycles = int(state.range(0));
    constexpr int Turns = 5;
    double alone = 0;
    double beside = 0;
    double obdRate = 0;
    for (auto _ : state) {
        TOpros_ZMX opros;
        if (opros.ConnectPort(instrument.linkPath()) != TOpros_ZMX::Connected) {
            state.SkipWithError("the instrument simulator did not connect");
            return;
        }
        opros.RequestOperation(ZMX_get_result, 1, 0);
        ObdLink link(nullptr, [](const QString &) {});
        alone = beside = obdRate = 0;
        for (int turn = 0; turn < Turns; ++turn) {
            link.setPort(QString());
            const double a = meanCycleMs(opros, cycles);
            link.setPort(car.path);
            if (!waitOnline(link)) {
                state.SkipWithError("the simulated car did not come online");
                return;
            }
            const uint64_t updates = link.snapshot().rpmUpdates;
            const auto start = Clock::now();
            const double b = meanCycleMs(opros, cycles);
            obdRate += double(link.snapshot().rpmUpdates - updates)
                / std::chrono::duration<double>(Clock::now() - start).count() / Turns;
            if (a <= 0 || b <= 0) {
                state.SkipWithError("the instrument stopped answering");
                return;
            }
            alone += a / Turns;
            beside += b / Turns;
        }
        state.SetIterationTime(beside / 1000);
    }
    state.counters["cycle_ms_alone"] = alone;
    state.counters["cycle_ms_beside_obd"] = beside;
    state.counters["change_percent"] = (beside - alone) / alone * 100;
    state.counters["obd_rpm_per_s"] = obdRate;
}

} // namespace

BENCHMARK(BM_InstrumentPollCycleBesideObd)
    ->Arg(20)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
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

// The polling thread's own cost per cycle: one ZMX_get_result cycle against a
// library that answers at once (so the line takes no time), with the 26 data
// files of a readings record written, minus the 200 ms pause.

#include "device/IProtocolLibrary.h"
#include "device/PacketExchange.h"
#include "device/Records.h"
#include "device/SeriesFileWriter.h"
#include "device/TOpros_ZMX.h"
#include "device/Transport.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

class NullTransport : public Transport
{
public:
    bool open(const std::string &) override { return true; }
    void close() override { }
    bool isOpen() const override { return true; }
    bool configure(int) override { return true; }
    IoResult write(const uint8_t *, size_t, uint32_t) override { return IoResult::Ok; }
    IoResult read(uint8_t *, size_t, uint32_t, size_t &received) override
    {
        received = 0;
        return IoResult::Timeout;
    }
    IoResult drain() override { return IoResult::Ok; }
    bool purge() override { return true; }
    std::string errorString() const override { return {}; }
};

// Takes every command and answers every receive with a readings record.
class InstantInstrument : public IProtocolLibrary
{
public:
    InstantInstrument()
    {
        ResultRecord record;
        record.gaseCO = 0.1f;
        record.lyambda = 1.02f;
        record.tax = 820;
        record.tick_ms = 3723456;
        record.encode(m_answer);
    }
    void SetCommPort(Transport *) override { }
    uint8_t InitCommPort(int32_t, int32_t, int32_t) override { return 1; }
    int32_t data_out(const uint8_t *, uint16_t, int32_t, int32_t) override
    {
        return LinkStatus::Ok;
    }
    int32_t data_in(uint8_t *buffer, uint16_t, uint16_t *count, uint16_t *second) override
    {
        std::memcpy(buffer, m_answer, sizeof m_answer);
        *count = sizeof m_answer;
        *second = 0;
        return LinkStatus::Ok;
    }
    bool purge() override { return true; }

private:
    uint8_t m_answer[ResultRecord::Size] {};
};

// Data root with the four folders, so that every record writes its files.
class DataRoot
{
public:
    DataRoot()
    {
        for (const char *f : { "warm_up", "result", "term_ratio", "drift" })
            QDir(m_dir.path()).mkpath(QString::fromLatin1(f));
        qputenv("ZELMOR_DATA_ROOT", m_dir.path().toUtf8());
    }
    ~DataRoot() { qunsetenv("ZELMOR_DATA_ROOT"); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

void waitForCount(const TOpros_ZMX &opros, int count)
{
    while (opros.snapshot().RecordCount < count)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

// Wall time of one cycle less the pause; manual time, so the waiting of this
// thread is not counted as work.
void BM_PollingCycleOwnCost(benchmark::State &state)
{
    DataRoot root;
    TOpros_ZMX opros(std::make_unique<PacketExchange>(std::make_unique<NullTransport>(),
        std::make_unique<InstantInstrument>(), [] { return uint32_t(0); }));
    opros.RequestOperation(ZMX_get_result, 1, 0);
    waitForCount(opros, 1);
    int count = opros.snapshot().RecordCount;
    auto last = std::chrono::steady_clock::now();
    for (auto _ : state) {
        waitForCount(opros, count + 1);
        const auto now = std::chrono::steady_clock::now();
        count = opros.snapshot().RecordCount;
        const double seconds = std::chrono::duration<double>(now - last).count();
        state.SetIterationTime(std::max(seconds - TOpros_ZMX::CyclePauseMs / 1000.0, 0.0));
        last = now;
    }
    opros.StopCycle();
}
BENCHMARK(BM_PollingCycleOwnCost)->UseManualTime()->Iterations(25)->Unit(benchmark::kMicrosecond);

// The 26 files of one readings record alone.
void BM_ReadingsFiles(benchmark::State &state)
{
    DataRoot root;
    SeriesFileWriter writer(root.path());
    uint8_t buffer[PacketBufferSize] {};
    ResultRecord record;
    record.gaseCO = 0.1f;
    record.encode(buffer);
    int index = 0;
    for (auto _ : state)
        writer.WriteSeriesFiles(DataKindResult, buffer, index++);
}
BENCHMARK(BM_ReadingsFiles)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

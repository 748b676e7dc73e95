// The protocol library and the packet exchange against the simulator, over a
// real pseudo-terminal: what the workstation meets when it talks to the
// instrument.

#include "device/LittleEndian.h"
#include "device/MsClock.h"
#include "device/PacketExchange.h"
#include "device/Records.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <ostream>
#include <thread>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Bytes = std::vector<uint8_t>;

// Generous bounds: the machine may be busy with other builds.
constexpr uint32_t RetryWindowMs = PacketExchange::RetryWindowMs;
constexpr uint32_t SlackMs = 1500;

// A simulator and a packet exchange connected to it at `speed`.
struct Bench
{
    explicit Bench(const QStringList &args = {}, int speed = 38400)
        : sim(args)
    {
        if (sim.isReady() && exchange.OpenPort(sim.linkPath().toStdString()))
            initialised = exchange.InitPort(speed);
    }
    bool ok() const { return sim.isReady() && initialised; }

    SimProcess sim;
    PacketExchange exchange;
    bool initialised = false;
};

#define ASSERT_BENCH(b) ASSERT_TRUE((b).ok()) << qPrintable((b).sim.errorString())

// Sends `code` (payload already in the buffer) and reads one answer.
Bytes query(PacketExchange &ex, int code)
{
    if (ex.SendPacket(code) != LinkStatus::Ok || ex.ReceiveAnswer() != LinkStatus::Ok)
        return {};
    return Bytes(ex.buffer(), ex.buffer() + ex.answerCount());
}

// query() for tests about what the simulator stores rather than about the
// link's windows: a machine busy with builds can starve the simulator past an
// answer's window, and the exchange is then tried again.
Bytes storedQuery(PacketExchange &ex, int code)
{
    Bytes answer;
    for (int attempt = 0; attempt < 3 && answer.empty(); ++attempt)
        answer = query(ex, code);
    return answer;
}

// Waits until the simulator has seen the client close the line.
bool clientGone(SimProcess &sim)
{
    const QDeadlineTimer deadline(SimProcess::DefaultReplyTimeoutMs);
    while (sim.status("client") != QLatin1String("0")) {
        if (deadline.hasExpired())
            return false;
    }
    return true;
}

// One data_in: is a frame there within the library's 100 ms?
bool frameWaiting(PacketExchange &ex)
{
    uint8_t buffer[PacketBufferSize];
    uint16_t count = 0, second = 0;
    return ex.library().data_in(buffer, sizeof buffer, &count, &second) == LinkStatus::Ok;
}

uint32_t elapsedSince(uint32_t start)
{
    return MsClock::elapsed(start, MsClock::now());
}

TEST(SimLink, PingAt38400IsAcknowledged)
{
    Bench b;
    ASSERT_BENCH(b);
    EXPECT_TRUE(b.exchange.PingDevice());
    EXPECT_EQ(b.exchange.commandIndex(), ZMX_Dummy);
}

TEST(SimLink, InstrumentLeftAt1200IsFoundAndSwitched)
{
    Bench b({ "--speed", "1200" });
    ASSERT_BENCH(b);
    // At 38400 the instrument hears only noise and stays silent.
    EXPECT_FALSE(b.exchange.PingDevice());
    EXPECT_EQ(b.exchange.lastSendStatus(), LinkStatus::Nothing);

    ASSERT_TRUE(b.exchange.InitPort(1200));
    EXPECT_TRUE(b.exchange.PingDevice());
    EXPECT_TRUE(b.exchange.SwitchTo38400());
    EXPECT_EQ(b.exchange.commandIndex(), ZMX_Baud38400);
    ASSERT_TRUE(b.exchange.InitPort(38400));
    EXPECT_TRUE(b.exchange.PingDevice());
    EXPECT_EQ(b.sim.status("speed"), "38400");
    EXPECT_NE(b.sim.status("rx_noise"), "0");

    // Now 1200 is the wrong speed.
    ASSERT_TRUE(b.exchange.InitPort(1200));
    EXPECT_FALSE(b.exchange.PingDevice());
}

TEST(SimLink, SpeedSwitchWithoutItsWordIsRefused)
{
    Bench b({ "--speed", "1200" }, 1200);
    ASSERT_BENCH(b);
    b.exchange.setArgument(38400 & 0xFFFF); // the speed itself, not its digits as hex
    EXPECT_EQ(b.exchange.SendPacket(ZMX_Baud38400), LinkStatus::Refused);
    EXPECT_EQ(b.sim.status("speed"), "1200");
}

TEST(SimLink, WarmUpCountsDownThenReadingsFlow)
{
    Bench b({ "--warmup", "2" });
    ASSERT_BENCH(b);

    Bytes first = query(b.exchange, ZMX_get_result);
    ASSERT_EQ(first.size(), size_t(WarmUpRecord::Size));
    const WarmUpRecord warm = WarmUpRecord::decode(first.data());
    EXPECT_GE(warm.warmUpSeconds, 1);
    EXPECT_LE(warm.warmUpSeconds, 2);
    EXPECT_FALSE(warm.finished());

    // Within a few seconds: one record saying the warm-up finished, then readings.
    bool sawFinished = false;
    std::vector<ResultRecord> readings;
    const uint32_t start = MsClock::now();
    while (readings.size() < 3 && elapsedSince(start) < 10000) {
        const Bytes answer = query(b.exchange, ZMX_get_result);
        if (answer.size() == size_t(WarmUpRecord::Size))
            sawFinished = sawFinished || WarmUpRecord::decode(answer.data()).finished();
        else if (answer.size() == size_t(ResultRecord::Size))
            readings.push_back(ResultRecord::decode(answer.data()));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_TRUE(sawFinished);
    ASSERT_EQ(readings.size(), 3u);

    for (const ResultRecord &r : readings) {
        EXPECT_GT(r.gaseCO, 0.0f);
        EXPECT_LT(r.gaseCO, 5.0f);
        EXPECT_GT(r.gaseCH, 10.0f);
        EXPECT_LT(r.gaseCH, 2000.0f);
        EXPECT_GT(r.gaseCO2, 10.0f);
        EXPECT_LT(r.gaseCO2, 17.0f);
        EXPECT_GE(r.gaseO2, 0.0f);
        EXPECT_LT(r.gaseO2, 5.0f);
        EXPECT_GT(r.gaseNOx, 0.0f);
        EXPECT_NEAR(r.lyambda, 1.0f, 0.1f);
        EXPECT_NEAR(r.paskal, 99000.0f, 2000.0f);
        EXPECT_NEAR(r.tax, 800, 100);
        EXPECT_GT(r.pr_ekv, 0.0f);
        EXPECT_GT(r.term_m, 20);
    }
    EXPECT_LT(readings[0].tick_ms, readings[1].tick_ms);
    EXPECT_LT(readings[1].tick_ms, readings[2].tick_ms);
    EXPECT_GE(readings[0].tick_ms, 2000u); // the warm-up took two seconds of it
}

TEST(SimLink, HeldValuesArriveExactlyAsSet)
{
    Bench b;
    ASSERT_BENCH(b);
    for (const char *line : { "hold on", "rpm 2500", "gas CO 1.5", "gas CH 321", "gas lambda 0.97",
             "gas pressure 98765" })
        ASSERT_TRUE(b.sim.send(line)) << line << ": " << qPrintable(b.sim.lastReply());
    for (int i = 0; i < 2; ++i) {
        const Bytes answer = query(b.exchange, ZMX_get_result);
        ASSERT_EQ(answer.size(), size_t(ResultRecord::Size));
        const ResultRecord r = ResultRecord::decode(answer.data());
        EXPECT_EQ(r.tax, 2500);
        EXPECT_FLOAT_EQ(r.gaseCO, 1.5f);
        EXPECT_FLOAT_EQ(r.gaseCH, 321.0f);
        EXPECT_FLOAT_EQ(r.lyambda, 0.97f);
        EXPECT_FLOAT_EQ(r.paskal, 98765.0f);
    }
    EXPECT_FALSE(b.sim.send("gas XY 1"));
    EXPECT_FALSE(b.sim.send("rpm fast"));
}

TEST(SimLink, CommandOfTheWrongLengthIsRefused)
{
    Bench b;
    ASSERT_BENCH(b);
    uint8_t packet[4] = {};
    LittleEndian::writeU16(packet, ZMX_get_result); // 2 bytes long, sent as 4
    EXPECT_EQ(b.exchange.library().data_out(packet, sizeof packet, 10, 1), LinkStatus::Refused);
    LittleEndian::writeU16(packet, 19); // no such command
    EXPECT_EQ(b.exchange.library().data_out(packet, 2, 10, 1), LinkStatus::Refused);
    EXPECT_FALSE(frameWaiting(b.exchange));
    EXPECT_TRUE(b.exchange.PingDevice());
}

// Every query of the command table gets its record; every other command is
// taken without an answer.
TEST(SimLink, EveryCommandIsAnsweredAsTheWorkstationExpects)
{
    struct Row
    {
        int code;
        uint16_t argument;
        int answerSize; // -1: no answer
    };
    const Row rows[] = {
        { ZMX_Dummy, 0, -1 },
        { ZMX_set_clear, 0, -1 },
        { ZMX_set_flow, 0, -1 },
        { ZMX_get_result, 0, ResultRecord::Size },
        { ZMX_get_constant, 0, ConstantsRecord::Size },
        { ZMX_set_port_param, 1, -1 },
        { ZMX_get_s_vector, 0, SplineVectorSize },
        { ZMX_get_Term_Ratio, 0, TermRatioRecord::Size },
        { ZMX_get_Drift_Info, 0, DriftInfoRecord::Size },
        { ZMX_Press_Key, ZmxKeyCompressor, -1 },
        { ZMX_Baud38400, Baud38400Argument, -1 },
        { ZMX_reset, 0, -1 },
    };
    Bench b;
    ASSERT_BENCH(b);
    for (const Row &row : rows) {
        SCOPED_TRACE(commandName(row.code));
        b.exchange.setArgument(row.argument);
        ASSERT_EQ(b.exchange.SendPacket(row.code), LinkStatus::Ok);
        if (row.answerSize < 0) {
            EXPECT_FALSE(frameWaiting(b.exchange));
        } else {
            ASSERT_EQ(b.exchange.ReceiveAnswer(), LinkStatus::Ok);
            EXPECT_EQ(b.exchange.answerCount(), row.answerSize);
        }
    }
    // A 40-byte answer to ZMX_get_result is drift information.
    ASSERT_TRUE(b.sim.send("next drift"));
    EXPECT_EQ(query(b.exchange, ZMX_get_result).size(), size_t(DriftInfoRecord::Size));
    EXPECT_EQ(query(b.exchange, ZMX_get_result).size(), size_t(ResultRecord::Size));
}

TEST(SimLink, SetConstantChangesWhatGetConstantReturns)
{
    Bench b({ "--serial", "4321", "--firmware", "0x1a05" });
    ASSERT_BENCH(b);
    Bytes bytes = storedQuery(b.exchange, ZMX_get_constant);
    ASSERT_EQ(bytes.size(), size_t(ConstantsRecord::Size));
    ConstantsRecord c = ConstantsRecord::decode(bytes.data());
    EXPECT_EQ(c.serialNumber, 4321);
    EXPECT_EQ(c.firmwareText(), "1a.05");

    c.serialNumber = 777;
    c.firmwareVersion = 0x0203;
    c.rest[0] = 0xAB;
    c.rest[ConstantsRecord::RestSize - 1] = 0xCD;
    c.encode(b.exchange.buffer() + PacketPayloadOffset);
    ASSERT_EQ(b.exchange.SendPacket(ZMX_set_constant), LinkStatus::Ok);

    bytes = storedQuery(b.exchange, ZMX_get_constant);
    ASSERT_EQ(bytes.size(), size_t(ConstantsRecord::Size));
    EXPECT_EQ(ConstantsRecord::decode(bytes.data()), c);
}

TEST(SimLink, SplineVectorIsStoredWhole)
{
    Bench b;
    ASSERT_BENCH(b);
    for (int i = 0; i < SplineVectorSize; ++i)
        b.exchange.buffer()[PacketPayloadOffset + i] = static_cast<uint8_t>(i * 7);
    const Bytes sent(b.exchange.buffer() + PacketPayloadOffset,
        b.exchange.buffer() + PacketPayloadOffset + SplineVectorSize);
    ASSERT_EQ(b.exchange.SendPacket(ZMX_set_s_vector), LinkStatus::Ok);
    EXPECT_EQ(storedQuery(b.exchange, ZMX_get_s_vector), sent);
}

// Follows a procedure as the polling thread does: one answer at a time until
// an answer that is not a progress packet, or zero correction's end.
struct Followed
{
    std::vector<ProgressPacket> progress;
    Bytes final;
};

Followed follow(PacketExchange &ex, uint32_t limitMs)
{
    Followed f;
    const uint32_t start = MsClock::now();
    while (elapsedSince(start) < limitMs) {
        if (ex.ReceiveAnswer() != LinkStatus::Ok)
            continue;
        const Bytes answer(ex.buffer(), ex.buffer() + ex.answerCount());
        if (answer.size() == size_t(ProgressPacket::Size)) {
            const ProgressPacket p = ProgressPacket::decode(answer.data());
            if (p.status == ZMXprg_zero_end || p.status == ZMXprg_zero_err1) {
                f.final = answer;
                break;
            }
            f.progress.push_back(p);
            continue;
        }
        f.final = answer;
        break;
    }
    return f;
}

TEST(SimLink, ProceduresReportProgressAndEndWithTheirAnswer)
{
    struct Row
    {
        int code;
        double pressureArgument; // for ZMX_pressure; else the argument word
        uint16_t argument;
        int finalSize;
        int progressStatus;
    };
    const Row rows[] = {
        { ZMX_set_zero, 0, 0, ProgressPacket::Size, -1 },
        { ZMX_pressure, 745.0, 0, PressureAnswerSize, ZMXprg_pres_pas1 },
        { ZMX_Shift_O2, 0, 0, O2AnswerSize, ZMXprg_shift_O2 },
        { ZMX_Ku_O2, 0, 115, O2AnswerSize, ZMXprg_ku_O2 },
        { ZMX_Vrefm_par, 0, 0, StretchAnswerSize, -1 },
    };
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("proctime 1200"));
    for (const Row &row : rows) {
        SCOPED_TRACE(commandName(row.code));
        if (row.code == ZMX_pressure)
            LittleEndian::writeF64(b.exchange.buffer() + PacketPayloadOffset, row.pressureArgument);
        else
            b.exchange.setArgument(row.argument);
        ASSERT_EQ(b.exchange.SendPacket(row.code), LinkStatus::Ok);
        const Followed f = follow(b.exchange, 8000);
        ASSERT_EQ(f.final.size(), size_t(row.finalSize));
        ASSERT_FALSE(f.progress.empty());
        for (size_t i = 1; i < f.progress.size(); ++i)
            EXPECT_GE(f.progress[i].step, f.progress[i - 1].step);
        if (row.progressStatus >= 0) {
            EXPECT_EQ(f.progress.front().status, row.progressStatus);
        }
        if (row.code == ZMX_set_zero) {
            EXPECT_EQ(ProgressPacket::decode(f.final.data()).status, ZMXprg_zero_end);
            EXPECT_EQ(f.progress.front().status, ZMXprg_zero_pas1);
        }
        if (row.code == ZMX_pressure) {
            EXPECT_NEAR(decodePressureAnswer(f.final.data()), 1.0, 0.05);
        }
    }
    // After a pressure calibration the sensor reads the reference.
    const Bytes answer = query(b.exchange, ZMX_get_result);
    ASSERT_EQ(answer.size(), size_t(ResultRecord::Size));
    EXPECT_NEAR(ResultRecord::decode(answer.data()).paskal * 0.0075006168, 745.0, 1.0);
}

TEST(SimLink, BusyInstrumentRefusesAndSaysWhatItIsDoing)
{
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("proctime 2500"));
    b.exchange.setArgument(0);
    ASSERT_EQ(b.exchange.SendPacket(ZMX_set_zero), LinkStatus::Ok);
    EXPECT_EQ(b.exchange.SendPacket(ZMX_get_result), LinkStatus::Refused);
    ASSERT_EQ(b.exchange.ReceiveAnswer(), LinkStatus::Ok);
    ASSERT_EQ(b.exchange.answerCount(), ProgressPacket::Size);
    EXPECT_LE(b.exchange.buffer()[0], ZMXprg_zero_pas2);
    const Followed f = follow(b.exchange, 8000);
    ASSERT_EQ(f.final.size(), size_t(ProgressPacket::Size));
    EXPECT_EQ(f.final[0], ZMXprg_zero_end);
}

TEST(SimLink, ZeroCorrectionStartedByTheInstrumentIsPickedUpByARefusal)
{
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("proctime 1500"));
    ASSERT_TRUE(b.sim.send("fault zero-error on"));
    ASSERT_TRUE(b.sim.send("zero"));
    EXPECT_EQ(b.exchange.SendPacket(ZMX_get_result), LinkStatus::Refused);
    const Followed f = follow(b.exchange, 8000);
    ASSERT_EQ(f.final.size(), size_t(ProgressPacket::Size));
    EXPECT_EQ(f.final[0], ZMXprg_zero_err1);
}

TEST(SimLink, SilentInstrumentLetsSendReturnAfterAboutOneSecond)
{
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("fault silent on"));
    const uint32_t start = MsClock::now();
    EXPECT_EQ(b.exchange.SendPacket(ZMX_get_result), LinkStatus::Nothing);
    const uint32_t took = elapsedSince(start);
    EXPECT_GE(took, RetryWindowMs - 50);
    EXPECT_LE(took, RetryWindowMs + SlackMs);

    ASSERT_TRUE(b.sim.send("fault silent off"));
    EXPECT_TRUE(b.exchange.PingDevice());
}

TEST(SimLink, RefusingInstrumentGivesRefusedStatus)
{
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("fault refuse on"));
    EXPECT_EQ(b.exchange.SendPacket(ZMX_Dummy), LinkStatus::Refused);
    ASSERT_TRUE(b.sim.send("fault off"));
    EXPECT_TRUE(b.exchange.PingDevice());
}

TEST(SimLink, HangUpGivesAnIoErrorWithoutHangingTheCaller)
{
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.exchange.PingDevice());
    ASSERT_TRUE(b.sim.hangup()) << qPrintable(b.sim.errorString());

    const uint32_t start = MsClock::now();
    EXPECT_EQ(b.exchange.SendPacket(ZMX_Dummy), LinkStatus::IoError);
    EXPECT_LE(elapsedSince(start), RetryWindowMs + SlackMs);
    EXPECT_EQ(b.exchange.ReceiveAnswer(), LinkStatus::IoError);

    // The link now leads to a fresh line, where the instrument answers again.
    ASSERT_TRUE(b.exchange.OpenPort(b.sim.linkPath().toStdString()));
    ASSERT_TRUE(b.exchange.InitPort(38400));
    EXPECT_TRUE(b.exchange.PingDevice());
}

TEST(SimLink, InstrumentSurvivesClientsClosingAndReopening)
{
    Bench b;
    ASSERT_BENCH(b);
    const std::string link = b.sim.linkPath().toStdString();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(b.exchange.OpenPort(link)) << b.exchange.portError();
        ASSERT_TRUE(b.exchange.InitPort(38400));
        EXPECT_TRUE(b.exchange.PingDevice());
        // Leave an answer unread: the next client must not trip over it.
        ASSERT_EQ(b.exchange.SendPacket(ZMX_get_result), LinkStatus::Ok);
        b.exchange.ClosePort();
        ASSERT_TRUE(clientGone(b.sim));
    }
    ASSERT_TRUE(b.exchange.OpenPort(link));
    ASSERT_TRUE(b.exchange.InitPort(38400));
    EXPECT_EQ(query(b.exchange, ZMX_get_result).size(), size_t(ResultRecord::Size));
    // Each close was seen before the next open.
    EXPECT_GE(b.sim.status("opens").toInt(), 3);
}

TEST(SimLink, NoisyLineStillCarriesReadings)
{
    Bench b({ "--seed", "7" });
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("fault garbage on"));
    ASSERT_TRUE(b.sim.send("fault corrupt 0.3"));
    int good = 0;
    for (int i = 0; i < 10; ++i)
        good += query(b.exchange, ZMX_get_result).size() == size_t(ResultRecord::Size);
    // A frame is lost only when all three transmissions are damaged.
    EXPECT_GE(good, 8);
    EXPECT_NE(b.sim.status("tx_resends"), "0");
}

TEST(SimLink, LateAnswerIsStillTakenWithinTheReceiveWindow)
{
    Bench b;
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.sim.send("fault late 400"));
    EXPECT_EQ(query(b.exchange, ZMX_get_constant).size(), size_t(ConstantsRecord::Size));
}

TEST(SimLink, ControlFileSteersAndTheLogShowsWhatArrived)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString control = dir.filePath("control");
    const QString logFile = dir.filePath("sim.log");
    Bench b({ "--control", control, "--log", logFile });
    ASSERT_BENCH(b);
    ASSERT_TRUE(b.exchange.PingDevice());
    {
        QFile f(control);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hold on\ngas CO 2.5\n");
    }
    float co = 0;
    const uint32_t start = MsClock::now();
    while (co != 2.5f && elapsedSince(start) < 5000) {
        const Bytes answer = query(b.exchange, ZMX_get_result);
        if (answer.size() == size_t(ResultRecord::Size))
            co = ResultRecord::decode(answer.data()).gaseCO;
    }
    EXPECT_FLOAT_EQ(co, 2.5f);

    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("rx frame len=2 code=0 ZMX_Dummy")) << text.left(400).constData();
    EXPECT_TRUE(text.contains("tx ACK"));
}

} // namespace

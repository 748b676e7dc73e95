// The simulator's parts without a process: steering lines, the control file,
// the procedures' course and the values it makes up.

#include "tools/sim/ControlInput.h"
#include "tools/sim/GasModel.h"
#include "tools/sim/Instrument.h"
#include "tools/sim/ProcedureRunner.h"
#include "tools/sim/PtyPort.h"
#include "tools/sim/SimLink.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/Steering.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> feedAll(ControlInput &input, std::initializer_list<const char *> chunks)
{
    std::vector<std::string> lines;
    for (const char *chunk : chunks)
        input.feed(chunk, std::char_traits<char>::length(chunk), lines);
    return lines;
}

TEST(SimControlInput, SplitsLinesAcrossChunksAndDropsCarriageReturns)
{
    ControlInput input;
    EXPECT_EQ(feedAll(input, { "rpm 25", "00\r\ngas CO", " 1.5\n", "hold" }),
        (std::vector<std::string> { "rpm 2500", "gas CO 1.5" }));
    EXPECT_EQ(feedAll(input, { " on\n" }), (std::vector<std::string> { "hold on" }));
}

TEST(SimControlInput, ControlFileIsFollowedAndReadAgainWhenReplaced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("control").toStdString();
    ControlInput input;
    std::vector<std::string> lines;
    input.pollFile(path, lines); // missing: nothing, no error
    EXPECT_TRUE(lines.empty());

    std::ofstream(path) << "rpm 900\nhold";
    input.pollFile(path, lines);
    EXPECT_EQ(lines, (std::vector<std::string> { "rpm 900" }));
    std::ofstream(path, std::ios::app) << " on\n";
    lines.clear();
    input.pollFile(path, lines);
    EXPECT_EQ(lines, (std::vector<std::string> { "hold on" }));

    std::ofstream(path, std::ios::trunc) << "quit\n"; // shorter: read from the start
    lines.clear();
    input.pollFile(path, lines);
    EXPECT_EQ(lines, (std::vector<std::string> { "quit" }));
}

TEST(SimOptions, CommandLineIsCheckedBeforeAnythingOpens)
{
    struct Row
    {
        std::vector<const char *> args;
        bool ok;
    };
    const Row rows[] = {
        { { "--link", "/tmp/x", "--speed", "1200", "--warmup", "5" }, true },
        { { "--serial", "65535", "--firmware", "0x1a05", "--seed", "9" }, true },
        { { "--speed", "9600" }, false },
        { { "--warmup", "-1" }, false },
        { { "--serial", "70000" }, false },
        { { "--firmware", "1.05" }, false },
        { { "--link" }, false },
        { { "--bogus", "1" }, false },
        { { "--obd", "/tmp/o", "--obd-speed", "9600" }, true },
        { { "--obd-speed", "1200" }, false },
    };
    for (const Row &row : rows) {
        std::vector<char *> argv { const_cast<char *>("zelmor-sim") };
        for (const char *a : row.args)
            argv.push_back(const_cast<char *>(a));
        SimOptions options;
        std::string error;
        EXPECT_EQ(options.parse(int(argv.size()), argv.data(), error), row.ok) << row.args[0];
        EXPECT_EQ(error.empty(), row.ok);
    }
    SimOptions options;
    std::string error;
    const char *argv[] = { "zelmor-sim", "--firmware", "0x1a05", "--speed", "1200" };
    ASSERT_TRUE(options.parse(5, const_cast<char **>(argv), error));
    EXPECT_EQ(options.firmwareVersion, 0x1a05);
    EXPECT_EQ(options.speed, 1200);
}

TEST(SimProcedures, ZeroCorrectionPassesItsStagesAndEnds)
{
    ProcedureRunner runner;
    runner.setDurationMs(3000);
    runner.start(ProcedureRunner::Zero, 0, 0, 99000);
    std::vector<int> statuses;
    std::optional<ProcedureRunner::Outcome> ended;
    int lastStep = -1;
    for (int64_t t = 0; t <= 3100 && !ended; t += 50) {
        if (auto p = runner.advance(t, ended)) {
            if (statuses.empty() || statuses.back() != p->status)
                statuses.push_back(p->status);
            EXPECT_GE(p->step, lastStep);
            lastStep = p->step;
        }
    }
    EXPECT_EQ(statuses, (std::vector<int> { ZMXprg_zero_pas1, ZMXprg_zero_aru, ZMXprg_zero_pas2 }));
    ASSERT_TRUE(ended);
    ASSERT_EQ(ended->answer.size(), size_t(ProgressPacket::Size));
    EXPECT_EQ(ended->answer[0], ZMXprg_zero_end);
    EXPECT_EQ(ended->answer[1], 200);
    EXPECT_FALSE(runner.running());

    runner.setZeroFails(true);
    runner.start(ProcedureRunner::Zero, 0, 0, 99000);
    runner.advance(5000, ended);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->answer[0], ZMXprg_zero_err1);
}

TEST(SimProcedures, CalibrationsEndWithAnswersOfTheirSize)
{
    struct Row
    {
        ProcedureRunner::Kind kind;
        double argument;
        size_t size;
        int maxStep;
    };
    const Row rows[] = {
        { ProcedureRunner::Pressure, 742.5, PressureAnswerSize, 200 },
        { ProcedureRunner::ShiftO2, 0, O2AnswerSize, 159 },
        { ProcedureRunner::KuO2, 115, O2AnswerSize, 159 },
        { ProcedureRunner::Stretch, 0, StretchAnswerSize, 100 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(ProcedureRunner::kindName(row.kind));
        ProcedureRunner runner;
        runner.start(row.kind, 1000, row.argument, 99000);
        EXPECT_EQ(runner.progress(1000 + runner.durationMs() - 1).step, row.maxStep);
        std::optional<ProcedureRunner::Outcome> ended;
        runner.advance(1000 + runner.durationMs(), ended);
        ASSERT_TRUE(ended);
        EXPECT_EQ(ended->answer.size(), row.size);
        if (row.kind == ProcedureRunner::Pressure) {
            EXPECT_NEAR(ended->pressurePa, 742.5 * 133.322368, 0.01);
            EXPECT_NEAR(
                decodePressureAnswer(ended->answer.data()), 742.5 * 133.322368 / 99000, 1e-9);
        }
    }
}

TEST(SimGasModel, HeldValuesCarryNoNoiseAndFreeValuesStayNearTheirLevel)
{
    GasModel model(3);
    model.setHold(true);
    model.setLevel(GasModel::NOx, 150);
    const ResultRecord a = model.result(100000, 1);
    const ResultRecord b = model.result(900000, 2);
    EXPECT_EQ(a.gaseCO, b.gaseCO);
    EXPECT_FLOAT_EQ(a.gaseNOx, 150.0f);
    EXPECT_EQ(a.tax, GasModel::IdleRpm);

    model.setHold(false);
    double sum = 0;
    const int n = 400;
    for (int i = 0; i < n; ++i) {
        const ResultRecord r = model.result(0, uint32_t(i));
        EXPECT_GE(r.gaseCO, 0.0f);
        sum += r.gaseNOx;
    }
    EXPECT_NEAR(sum / n, 150.0, 3.0);
}

TEST(SimGasModel, EngineSpeedAndCleanAirChangeTheExhaust)
{
    GasModel model(1);
    model.setHold(true);
    const ResultRecord idle = model.result(0, 0);
    model.setRpm(2500);
    const ResultRecord raised = model.result(0, 0);
    EXPECT_LT(raised.gaseCO, idle.gaseCO);
    EXPECT_GT(raised.gaseNOx, idle.gaseNOx);
    EXPECT_EQ(raised.tax, 2500);
    model.setCleanAir(true);
    const ResultRecord air = model.result(0, 0);
    EXPECT_FLOAT_EQ(air.gaseO2, 20.9f);
    EXPECT_FLOAT_EQ(air.gaseCO, 0.0f);
}

TEST(SimGasModel, WarmUpCountsDownToFinished)
{
    GasModel model(1);
    const WarmUpRecord cold = model.warmUp(60, 60);
    const WarmUpRecord warm = model.warmUp(0, 60);
    EXPECT_EQ(cold.warmUpSeconds, 60);
    EXPECT_FALSE(cold.finished());
    EXPECT_TRUE(warm.finished());
    EXPECT_GT(warm.term_f, cold.term_f);
}

TEST(SimInstrument, DriftCountsFromTheSimulatorsStartNotTheMachines)
{
    // The monotonic clock counts from the machine's start: an instrument
    // started hours into it reads what one started at once reads.
    PtyPort port;
    SimLink link(port, 1);
    const int64_t hours = 5 * 3600 * 1000LL;
    Instrument early(Instrument::Settings {}, port, link, 0);
    Instrument late(Instrument::Settings {}, port, link, hours);
    EXPECT_DOUBLE_EQ(late.model().level(GasModel::CO, hours), early.model().level(GasModel::CO, 0));
}

TEST(SimSteering, EachLineIsCheckedAndAnswered)
{
    PtyPort port; // never opened: steering needs no line
    SimLink link(port, 1);
    Instrument instrument(Instrument::Settings {}, port, link, 0);
    bool hungUp = false, quit = false, logging = false;
    int plugs = 0;
    Steering steering(instrument, link,
        { [&] { hungUp = true; }, [&] { quit = true; }, [&](bool on) { logging = on; },
            [](int64_t) { return std::string("speed=38400"); }, [&] { --plugs; },
            [&] { plugs += 2; } });
    struct Row
    {
        const char *line;
        const char *reply; // prefix
    };
    const Row rows[] = {
        { "rpm 2500", "ok" },
        { "rpm -5", "error" },
        { "gas co 1.25", "ok" },
        { "gas CO nan", "error" },
        { "gas smoke 1", "error" },
        { "hold on", "ok" },
        { "hold maybe", "error" },
        { "warmup 30", "ok" },
        { "proctime 10", "error" },
        { "fault silent on", "ok" },
        { "fault corrupt 1.5", "error" },
        { "fault corrupt 0.25", "ok" },
        { "fault late 300", "ok" },
        { "fault lateack x", "error" },
        { "fault smoke on", "error" },
        { "fault split-final on", "ok" },
        { "unplug", "ok" },
        { "plug", "ok" },
        { "plug now", "error" },
        { "log on", "ok" },
        { "status", "status speed=38400" },
        { "hangup", "ok" },
        { "dance", "error" },
        { "obd mil on", "error no simulated car" },
        { "", "" },
        { "# a comment", "" },
        { "quit", "ok" },
    };
    for (const Row &row : rows)
        EXPECT_EQ(steering.execute(row.line, 0).rfind(row.reply, 0), 0u) << row.line;
    EXPECT_EQ(instrument.model().rpm(), 2500);
    EXPECT_DOUBLE_EQ(instrument.model().level(GasModel::CO, 0), 1.25);
    EXPECT_TRUE(instrument.model().hold());
    EXPECT_EQ(instrument.warmupSecondsLeft(0), 30);
    EXPECT_TRUE(link.faults().silent);
    EXPECT_DOUBLE_EQ(link.faults().corruptShare, 0.25);
    EXPECT_EQ(link.faults().answerDelayMs, 300);
    EXPECT_TRUE(hungUp && quit && logging);
    EXPECT_EQ(plugs, 1);
    EXPECT_TRUE(link.faults().splitFinal);

    EXPECT_EQ(steering.execute("fault off", 0), "ok");
    EXPECT_FALSE(link.faults().silent);
    EXPECT_EQ(link.faults().corruptShare, 0.0);
}

} // namespace

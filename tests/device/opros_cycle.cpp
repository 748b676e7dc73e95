// The polling cycle against the simulator: warm-up, readings, the record
// series, the data files and zero corrections.

#include "device/SeriesFileWriter.h"
#include "device/TOpros_ZMX.h"
#include "tests/device/opros_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace opros_test;

namespace {

constexpr int Long = 15000;

bool readings(const ZmxSnapshot &s)
{
    return s.DataKind == DataKindResult;
}

// Points the data files at a folder of the test's own for its lifetime.
class DataRoot
{
public:
    explicit DataRoot(const QStringList &folders)
    {
        for (const QString &f : folders)
            QDir(m_dir.path()).mkpath(f);
        qputenv("ZELMOR_DATA_ROOT", m_dir.path().toUtf8());
    }
    ~DataRoot() { qunsetenv("ZELMOR_DATA_ROOT"); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QStringList lines(const QString &relative) const
    {
        QFile f(path(relative));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
};

TEST(OprosCycle, CreatedSuspendedItSendsNothingUntilAsked)
{
    OPROS_START_SIM(sim);
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    const ZmxSnapshot before = opros.snapshot();
    QThread::msleep(500);
    const ZmxSnapshot after = opros.snapshot();
    EXPECT_EQ(after.SendOkCount, before.SendOkCount);
    EXPECT_EQ(after.DataKind, DataKindNone);
    EXPECT_EQ(after.O2Shift, -1);
    EXPECT_EQ(after.O2Gain, -1);
}

TEST(OprosCycle, WarmUpRecordsThenReadingsEveryCycle)
{
    DataRoot root({});
    OPROS_CONNECTED(sim, opros, { "--warmup", "2" });
    opros.RequestOperation(ZMX_get_result, 1, 0);

    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.DataKind == DataKindWarmUp; }, Long, &s));
    EXPECT_EQ(s.StatusText, "Идёт прогрев прибора...");
    EXPECT_EQ(s.LastAnswerLength, WarmUpRecord::Size);
    EXPECT_FALSE(s.NewResult);

    // The finished record shows its message once; readings follow.
    bool finishedShown = false;
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            finishedShown |= s.StatusText
                == QStringLiteral("Прогев з") + QLatin1Char('a') + QStringLiteral("вершён.");
            return readings(s);
        },
        Long, &s));
    EXPECT_TRUE(finishedShown);
    EXPECT_EQ(s.LastWarmUp.warmUpFinished, 1);

    const int firstCount = s.RecordCount;
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecordCount >= firstCount + 5; }, Long, &s));
    EXPECT_EQ(s.StatusText, "Приём показаний прибора...");
    EXPECT_EQ(s.CommandIndex, ZMX_get_result);
    EXPECT_TRUE(s.RunFlag);
    EXPECT_EQ(s.LinkState, 5);
    EXPECT_EQ(s.LastAnswerLength, ResultRecord::Size);
    EXPECT_EQ(s.RecvOkCount, s.SendOkCount);
    EXPECT_EQ(s.NonEmptyAnswerCount, s.RecordCount);
    EXPECT_EQ(s.LinkErrorCount, 0);
    EXPECT_EQ(s.RecvErrCount, 0);
    // The newest series entry is the record just published with its count.
    ASSERT_TRUE(s.HasNewestResult);
    EXPECT_EQ(s.NewestResult, s.LastResult);

    ResultRecord taken;
    EXPECT_TRUE(opros.takeNewResult(&taken));
    const auto series = opros.resultSeries(s.RecordCount - 1, 1);
    ASSERT_EQ(series.size(), 1u);
}

TEST(OprosCycle, OneShotRequestRunsOneCycleThenSuspends)
{
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_set_clear, 0, 0);
    ASSERT_TRUE(waitForStatus(opros, "Продувка кюветы чистым воздухом.", Long));
    EXPECT_EQ(sim.status("flow"), "air");
    // Asleep after one send: nothing more goes out until the next request.
    ASSERT_TRUE(waitSuspended(opros, Long));
    EXPECT_EQ(opros.snapshot().SendOkCount, 1);

    // Key press then readings, asked back to back: both are carried out.
    opros.RequestOperation(ZMX_Press_Key, 0, ZmxKeyCompressor);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));
    EXPECT_EQ(sim.status("last_key"), "1");
}

TEST(OprosCycle, EveryRequestWakesTheThreadEvenWhileItSuspends)
{
    OPROS_CONNECTED(sim, opros);
    // Each one-shot request comes about when the thread has just finished a
    // cycle and is about to suspend; none of them may be lost.
    for (int i = 1; i <= 8; ++i) {
        opros.RequestOperation(ZMX_Dummy, 0, 0);
        ASSERT_TRUE(waitFor(
            opros, [i](const ZmxSnapshot &s) { return s.SendOkCount == i; }, Long))
            << "request " << i;
        EXPECT_EQ(opros.snapshot().StatusText, "Прибор подключен.");
    }
}

TEST(OprosCycle, DataFilesFollowTheRecordIndex)
{
    DataRoot root({ "warm_up", "result", "term_ratio", "drift" });
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 3; }, Long));
    opros.StopCycle();
    ASSERT_TRUE(waitSuspended(opros, Long));
    const ZmxSnapshot s = opros.snapshot();

    EXPECT_EQ(QDir(root.path("result")).entryList(QDir::Files).size(), 26);
    const QStringList co = root.lines("result/15_gaseCO.txt");
    ASSERT_EQ(co.size(), s.RecordCount);
    for (int i = 0; i < co.size(); ++i)
        EXPECT_TRUE(co[i].startsWith(QString::number(i) + '\t')) << qPrintable(co[i]);
    const auto last = opros.resultSeries(s.RecordCount - 1, 1);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(root.lines("result/34_tax.txt").last(),
        QString::number(s.RecordCount - 1) + '\t' + QString::number(last[0].tax));
    // No drift or warm-up came, so those folders stay empty.
    EXPECT_TRUE(QDir(root.path("drift")).entryList(QDir::Files).isEmpty());
}

TEST(OprosCycle, DriftAndTermRatioAnswersAreStoredUnderTheirKinds)
{
    DataRoot root({ "drift", "term_ratio" });
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_Drift_Info, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount == 1 && !s.RunFlag; }, Long));
    EXPECT_EQ(opros.snapshot().DataKind, DataKindDrift);
    EXPECT_EQ(opros.snapshot().StatusText, "Получение Drift_Info...");
    EXPECT_EQ(QDir(root.path("drift")).entryList(QDir::Files).size(), 10);

    opros.RequestOperation(ZMX_get_Term_Ratio, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount == 2 && !s.RunFlag; }, Long));
    EXPECT_EQ(opros.snapshot().DataKind, DataKindTermRatio);
    EXPECT_EQ(opros.snapshot().StatusText, "Приём Term_Ratio...");
    // A term-ratio answer itself writes no files.
    EXPECT_TRUE(QDir(root.path("term_ratio")).entryList(QDir::Files).isEmpty());
}

TEST(OprosCycle, WithoutDataFoldersNothingIsWrittenAndPollingGoesOn)
{
    DataRoot root({});
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 4; }, Long));
    EXPECT_TRUE(QDir(root.path("")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST(OprosCycle, FullSeriesStartsAgainFromItsFirstEntry)
{
    OPROS_START_SIM(sim);
    constexpr int Capacity = 4;
    TOpros_ZMX opros(Capacity);
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    int highest = 0;
    bool wrapped = false;
    int previous = 0;
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            highest = std::max(highest, s.RecordCount);
            wrapped |= s.RecordCount < previous;
            previous = s.RecordCount;
            if (s.HasNewestResult && s.DataKind == DataKindResult) {
                EXPECT_EQ(s.NewestResult, s.LastResult);
            }
            return wrapped && s.RecordCount >= 2;
        },
        Long));
    EXPECT_EQ(highest, Capacity);
    EXPECT_EQ(opros.resultSeries(0, 100).size(), size_t(opros.snapshot().RecordCount));
}

TEST(OprosCycle, RecordCountResetIsTakenUpBeforeTheNextRecord)
{
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 4; }, Long));
    opros.requestRecordCountReset();
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount <= 2; }, Long));
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));
    // The series starts from its first entry again: entry 0 is a fresh record.
    const ZmxSnapshot s = opros.snapshot();
    EXPECT_EQ(opros.resultSeries(0, s.RecordCount).back(), s.NewestResult);

    // Between cycles the reset is immediate.
    opros.StopCycle();
    ASSERT_TRUE(waitSuspended(opros, Long));
    opros.requestRecordCountReset();
    EXPECT_EQ(opros.snapshot().RecordCount, 0);
    EXPECT_FALSE(opros.snapshot().HasNewestResult);
}

TEST(OprosCycle, ZeroCorrectionAfterWarmUpRestartsTheSeriesAndTheFlow)
{
    OPROS_CONNECTED(sim, opros, { "--warmup", "1" });
    ASSERT_TRUE(sim.send("proctime 1000"));
    opros.RequestOperation(ZMX_set_clear, 0, 0);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros,
        [](const ZmxSnapshot &s) { return s.DataKind == DataKindResult && s.RecordCount >= 3; },
        Long));
    ASSERT_EQ(sim.status("flow"), "air");

    opros.RequestOperation(ZMX_set_zero, 0, 0);
    bool progressSeen = false;
    bool runningShown = false;
    bool finishedShown = false;
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            progressSeen |= s.DataKind == DataKindProgress && s.ProcedureActive == 1;
            runningShown |= s.StatusText == QStringLiteral("Корр. нуля...");
            finishedShown |= s.StatusText == QStringLiteral("Корр. нуля завершена");
            return s.StatusText == QStringLiteral("Прогрев завершен.")
                || (progressSeen && readings(s));
        },
        Long, &s));
    EXPECT_TRUE(progressSeen);
    EXPECT_TRUE(runningShown);
    // Readings go on by themselves, from the first entry of the series.
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return readings(s) && s.RecordCount >= 1; }, Long, &s));
    EXPECT_LE(s.RecordCount, 3);
    EXPECT_EQ(s.CommandIndex, ZMX_get_result);
    EXPECT_EQ(s.RepeatFlag, 1);
    EXPECT_TRUE(s.RunFlag);
    EXPECT_EQ(s.ProcedureActive, 0);
    EXPECT_EQ(s.ProcedureStatus, ZMXprg_zero_end);
    EXPECT_EQ(s.ProcedureMax, 200);
    EXPECT_EQ(sim.status("flow"), "sample");
    (void)finishedShown; // may be overwritten within the same step

    // The window that looks only now still learns of the end, once.
    EXPECT_TRUE(opros.takeZeroCorrectionFinished());
    EXPECT_FALSE(opros.takeZeroCorrectionFinished());
}

TEST(OprosCycle, ZeroCorrectionWithoutWarmUpKeepsTheSeriesAndItsMarkUntilTaken)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("proctime 1000"));
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 3; }, Long));
    opros.RequestOperation(ZMX_set_zero, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.DataKind == DataKindProgress; }, Long));
    EXPECT_FALSE(opros.takeZeroCorrectionFinished());
    // Several reading cycles after the end the mark is still there.
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return readings(s); }, Long, &s));
    const int count = s.RecordCount;
    EXPECT_GE(count, 4) << "no restart of the series without a warm-up";
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecordCount >= count + 3; }, Long));
    EXPECT_TRUE(opros.takeZeroCorrectionFinished());
    EXPECT_FALSE(opros.takeZeroCorrectionFinished());
}

TEST(OprosCycle, RequestDuringAProcedureOnlyChangesHowItsAnswersAreRead)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("proctime 1500"));
    opros.setAutoReadAfterZero(false);
    opros.RequestOperation(ZMX_set_zero, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == 1; }, Long));
    const int sent = opros.snapshot().SendOkCount;
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.CommandIndex == ZMX_get_result; }, Long));
    EXPECT_EQ(opros.snapshot().SendOkCount, sent) << "nothing is sent while following";
    // With command 4 the answers are still read as a zero correction.
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == 0; }, Long));
    EXPECT_TRUE(opros.takeZeroCorrectionFinished());
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return readings(s); }, Long));
}

TEST(OprosCycle, ZeroCorrectionStartedByTheInstrumentIsFollowed)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("proctime 1500"));
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));
    ASSERT_TRUE(sim.send("zero"));
    // The refused query draws a progress packet: the thread follows.
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == 1; }, Long));
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == 0 && readings(s); }, Long));
    EXPECT_TRUE(opros.takeZeroCorrectionFinished());
}

} // namespace

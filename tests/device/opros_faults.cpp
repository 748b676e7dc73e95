// The polling thread when the instrument falls silent, when a procedure loses
// the link, when the port dies under it, and at shutdown.

#include "device/TOpros_ZMX.h"
#include "tests/device/opros_support.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace opros_test;

namespace {

constexpr int Long = 20000;

TEST(OprosFaults, SilentInstrumentCountsLinkErrorsFromZero)
{
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 1; }, Long));
    ASSERT_TRUE(sim.send("fault silent on"));

    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.LinkErrorCount >= 1; }, Long, &s));
    EXPECT_EQ(s.StatusText, "Ошибка связи (0)");
    EXPECT_EQ(s.StatusSeverity, TOpros_ZMX::StatusError);
    EXPECT_EQ(s.LinkState, 3);
    const int records = s.RecordCount;
    // A repeating request keeps trying every cycle.
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.LinkErrorCount >= 2; }, Long, &s));
    EXPECT_EQ(s.StatusText, "Ошибка связи (1)");
    EXPECT_TRUE(s.RunFlag);
    EXPECT_EQ(s.RecordCount, records);

    ASSERT_TRUE(sim.send("fault silent off"));
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecordCount > records; }, Long, &s));
    EXPECT_EQ(s.StatusText, "Приём показаний прибора...");
}

TEST(OprosFaults, LostAnswerAfterAcceptedQueryIsCountedWithoutMessage)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("fault late 1500"));
    opros.RequestOperation(ZMX_get_result, 0, 0);
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecvErrCount >= 1; }, Long, &s));
    EXPECT_EQ(s.LinkState, 6);
    EXPECT_EQ(s.SendOkCount, 1);
    EXPECT_EQ(s.RecordCount, 0);
    EXPECT_EQ(s.StatusText, "Zelmor подключен. Порт " + sim.linkPath() + ", скорость 38400");
}

TEST(OprosFaults, ProcedureThatFallsSilentIsProbedAndGivenUp)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("proctime 60000"));
    opros.RequestOperation(ZMX_set_zero, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == 1; }, Long));
    ASSERT_TRUE(sim.send("fault silent on"));

    // Eleven silent steps of about 1.2 s, then the probe is refused as well.
    ZmxSnapshot s;
    int highestFailures = 0;
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            highestFailures = std::max(highestFailures, s.ReceiveFailures);
            return s.ProcedureActive == -1;
        },
        30000, &s));
    EXPECT_EQ(highestFailures, 11);
    EXPECT_EQ(s.StatusText, "Ошибка: нет связи с прибором.");
    EXPECT_EQ(s.StatusSeverity, TOpros_ZMX::StatusError);
    EXPECT_FALSE(s.RunFlag);
}

TEST(OprosFaults, DeadPortIsReopenedAndReadingsCome)
{
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));
    ASSERT_TRUE(sim.hangup());
    const int before = opros.snapshot().RecvOkCount;
    // The port of the last connect comes back without a new connect.
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecvOkCount >= before + 3; }, Long, &s));
    EXPECT_EQ(s.StatusText, "Приём показаний прибора...");
}

TEST(OprosFaults, RepluggedAdapterIsPolledWithinASecond)
{
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));
    ASSERT_TRUE(sim.unplug());
    // The thread has looked for the port and not found it: the adapter
    // comes back right after a try.
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.PortState == PortProblem::NotFound; }, Long));
    const int before = opros.snapshot().RecvOkCount;
    ASSERT_TRUE(sim.plug());
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecvOkCount > before; }, Long));
    EXPECT_LT(back.elapsed(), 1000);
    EXPECT_EQ(opros.snapshot().PortState, PortProblem::None);
}

TEST(OprosFaults, ShutdownInTheMiddleOfAnExchangeIsBounded)
{
    OPROS_START_SIM(sim);
    QElapsedTimer timer;
    {
        TOpros_ZMX opros;
        ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
        ASSERT_TRUE(sim.send("fault silent on"));
        opros.RequestOperation(ZMX_get_result, 1, 0);
        ASSERT_TRUE(waitFor(
            opros, [](const ZmxSnapshot &s) { return s.LinkState == 1; }, Long));
        timer.start();
    }
    EXPECT_LT(timer.elapsed(), 2500);
}

TEST(OprosFaults, RequestsFromManyThreadsAndReadersStayConsistent)
{
    OPROS_CONNECTED(sim, opros);
    std::atomic<bool> stop { false };
    std::thread reader([&] {
        while (!stop) {
            const ZmxSnapshot s = opros.snapshot();
            if (s.HasNewestResult && s.DataKind == DataKindResult) {
                EXPECT_EQ(s.NewestResult, s.LastResult);
            }
            opros.takeNewResult();
            opros.resultSeries(0, 3);
        }
    });
    for (int i = 0; i < 20; ++i) {
        opros.RequestOperation(ZMX_get_result, 1, 0);
        if (i % 5 == 0)
            opros.requestRecordCountReset();
        QThread::msleep(50);
    }
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));
    opros.StopCycle();
    stop = true;
    reader.join();
}

} // namespace

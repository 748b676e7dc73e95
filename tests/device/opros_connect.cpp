// Connecting to the simulator over a pseudo-terminal and reading the
// instrument's constants.

#include "device/SerialTransport.h"
#include "device/TOpros_ZMX.h"
#include "tests/device/opros_support.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace opros_test;

namespace {

// Whether a second program could take the port now (it is locked while held).
bool portIsFree(const QString &path)
{
    SerialTransport probe;
    const bool opened = probe.open(path.toStdString());
    probe.close();
    return opened;
}

TEST(OprosConnect, InstrumentAt38400ConnectsAtOnceAndGivesItsConstants)
{
    OPROS_START_SIM(sim, { "--serial", "4321", "--firmware", "0x1a05" });
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    ZmxSnapshot s = opros.snapshot();
    EXPECT_EQ(s.StatusText, "Zelmor подключен. Порт " + sim.linkPath() + ", скорость 38400");
    EXPECT_EQ(s.StatusSeverity, TOpros_ZMX::StatusInfo);
    EXPECT_FALSE(s.RunFlag) << "a connect leaves the cycle stopped";
    EXPECT_EQ(s.ConstantsResult, ZmxSnapshot::ConstantsNotRead);
    EXPECT_FALSE(portIsFree(sim.linkPath())) << "the port is held while connected";

    ASSERT_EQ(opros.ReadConstants(), TOpros_ZMX::ConstantsRead);
    s = opros.snapshot();
    EXPECT_EQ(s.StatusText, "Константы считаны.");
    EXPECT_EQ(s.ConstantsResult, 0);
    EXPECT_EQ(s.SerialNumber, 4321);
    EXPECT_EQ(s.FirmwareVersion, 0x1a05);
    EXPECT_EQ(s.Constants.firmwareText(), "1a.05");
    EXPECT_EQ(s.CommandIndex, ZMX_get_constant);
    EXPECT_FALSE(s.RunFlag);
}

TEST(OprosConnect, InstrumentLeftAt1200IsSwitchedUpWithoutConnectedMessage)
{
    OPROS_START_SIM(sim, { "--speed", "1200" });
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    EXPECT_EQ(opros.snapshot().StatusText, "Подключение...");
    EXPECT_EQ(opros.snapshot().CommandIndex, ZMX_Baud38400);
    // The link now works at the new speed.
    EXPECT_EQ(opros.ReadConstants(), TOpros_ZMX::ConstantsRead);
    EXPECT_EQ(sim.status("speed"), "38400");
}

TEST(OprosConnect, NoInstrumentOrNoPortFailsAndLeavesNoPortOpen)
{
    OPROS_START_SIM(sim);
    ASSERT_TRUE(sim.send("fault silent on"));
    TOpros_ZMX opros;
    QTemporaryDir dir;
    const QString missing = dir.filePath("no-such-tty");
    for (const QString &port : QStringList { missing, sim.linkPath() }) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(opros.ConnectPort(port), TOpros_ZMX::NotConnected) << qPrintable(port);
        EXPECT_LT(timer.elapsed(), 6000);
        const ZmxSnapshot s = opros.snapshot();
        EXPECT_EQ(s.StatusText, "Нет связи с Zelmor.");
        EXPECT_EQ(s.StatusSeverity, TOpros_ZMX::StatusError);
    }
    EXPECT_TRUE(portIsFree(sim.linkPath()));

    // Constants after a failed connect: refused (nothing can be sent).
    EXPECT_EQ(opros.ReadConstants(), TOpros_ZMX::CommandRefused);
    EXPECT_EQ(opros.snapshot().StatusText, "Прибор не принимает команду");
}

TEST(OprosConnect, ConnectingAgainClosesThePortFirst)
{
    OPROS_START_SIM(sim);
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    EXPECT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
}

TEST(OprosConnect, ConstantsThatDoNotComeReportNoAnswerAndAreAskedAgainWhileReadingsCome)
{
    OPROS_START_SIM(sim);
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    // The command is taken but its answer is lost on the line.
    ASSERT_TRUE(sim.send("fault late 3000"));
    EXPECT_EQ(opros.ReadConstants(), TOpros_ZMX::NoAnswer);
    const ZmxSnapshot s = opros.snapshot();
    EXPECT_EQ(s.StatusText, "Не удалось установить связь с прибором");
    EXPECT_EQ(s.ConstantsResult, TOpros_ZMX::NoAnswer);
    EXPECT_EQ(s.SerialNumber, 0);

    // Once the line carries answers again, the polling reads them by itself.
    ASSERT_TRUE(sim.send("fault off"));
    opros.RequestOperation(ZMX_get_result, 1, 0);
    EXPECT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ConstantsResult == TOpros_ZMX::ConstantsRead; },
        15000));
    EXPECT_EQ(opros.snapshot().SerialNumber, 1234);
}

TEST(OprosConnect, ConnectWaitsForTheRunningCycleAndStopsIt)
{
    OPROS_START_SIM(sim);
    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, 10000));
    // Connecting while the thread polls: both never use the link at once, so
    // the connect succeeds and polling stays stopped afterwards.
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    const int count = opros.snapshot().RecordCount;
    QThread::msleep(600);
    EXPECT_EQ(opros.snapshot().RecordCount, count);
    EXPECT_FALSE(opros.snapshot().RunFlag);
}

} // namespace

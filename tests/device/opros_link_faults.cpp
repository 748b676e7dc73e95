// Faults operators met on the link, found again the way they were found:
// stale answers taken for new ones, a zero correction that ends in an error,
// a lost procedure that made one-shot commands repeat, a port that fails
// without a reason, and link troubles that never reached the log.

#include "common/ProgramFolder.h"
#include "device/PacketExchange.h"
#include "device/SerialTransport.h"
#include "device/TOpros_ZMX.h"
#include "tests/device/opros_support.h"
#include "tests/support/ScriptedLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace opros_test;

namespace {

constexpr int Long = 15000;

// Points the data files and the application log at folders of the test's own.
class TestFolders
{
public:
    explicit TestFolders(const QStringList &dataFolders = {})
    {
        for (const QString &f : dataFolders)
            QDir(m_dir.path()).mkpath(f);
        qputenv("ZELMOR_DATA_ROOT", m_dir.path().toUtf8());
        setProgramFolder(m_dir.path());
    }
    ~TestFolders()
    {
        qunsetenv("ZELMOR_DATA_ROOT");
        setProgramFolder(QString());
    }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QStringList lines(const QString &relative) const
    {
        QFile f(path(relative));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // The log's texts without their stamps.
    QStringList log() const
    {
        QStringList texts;
        for (const QString &line : lines(QStringLiteral("zelmor.log")))
            texts << line.mid(line.indexOf(QLatin1String("] "), 10) + 2);
        return texts;
    }
    int logCount(const QString &text) const { return int(log().count(text)); }

private:
    QTemporaryDir m_dir;
};

// ---------------------------------------------------------- stale answers

TEST(OprosStaleFrames, BackToBackRequestsOfDifferentKindsKeepTheirOwnAnswers)
{
    TestFolders folders({ "result" });
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("hold on"));
    ASSERT_TRUE(sim.send("gas CO 2"));
    // The constants answer is not read by the cycle; it must not become the
    // readings that follow.
    opros.RequestOperation(ZMX_get_constant, 1, 0);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 4; }, Long));
    opros.StopCycle();
    ASSERT_TRUE(waitSuspended(opros, Long));

    const ZmxSnapshot s = opros.snapshot();
    EXPECT_GE(s.StaleFrameCount, 1);
    EXPECT_EQ(s.LastAnswerLength, ResultRecord::Size);
    EXPECT_EQ(s.NonEmptyAnswerCount, s.RecordCount);
    const QStringList co = folders.lines("result/15_gaseCO.txt");
    ASSERT_EQ(co.size(), s.RecordCount);
    for (int i = 0; i < co.size(); ++i)
        EXPECT_EQ(co[i], QString::number(i) + QStringLiteral("\t2"));
}

TEST(OprosStaleFrames, LateAnswerIsDroppedNotTakenForALaterRequest)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("fault late 1500"));
    // The readings answer misses its second; it arrives while the thread
    // goes on with other commands and must not answer the term-ratio query.
    opros.RequestOperation(ZMX_get_result, 0, 0);
    for (int i = 0; i < 6; ++i)
        opros.RequestOperation(ZMX_Dummy, 0, 0);
    opros.RequestOperation(ZMX_get_Term_Ratio, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecvErrCount >= 1; }, Long));
    ASSERT_TRUE(sim.send("fault off"));

    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.DataKind == DataKindTermRatio && !s.RunFlag; },
        Long, &s));
    EXPECT_EQ(s.LastAnswerLength, TermRatioRecord::Size);
    EXPECT_EQ(s.RecordCount, 1);
    EXPECT_EQ(s.RecvErrCount, 1);
    EXPECT_EQ(s.SendOkCount, 8);
    EXPECT_GE(s.StaleFrameCount, 1);
}

// ------------------------------------------------ procedures and requests

TEST(OprosProcedureFaults, ZeroCorrectionEndingInAnErrorEndsItAndReadingsGoOn)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("proctime 1000"));
    ASSERT_TRUE(sim.send("fault zero-error on"));
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));

    opros.RequestOperation(ZMX_set_zero, 0, 0);
    bool following = false;
    bool errorShown = false;
    const QString error = QStringLiteral("Ошибка коррекции нуля (1).");
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            following |= s.ProcedureActive == 1;
            errorShown |= s.StatusText == error && s.StatusSeverity == TOpros_ZMX::StatusError;
            return following && s.ProcedureActive == 0;
        },
        Long));
    QString text;
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &) { return opros.takeZeroCorrectionFailed(&text); }, Long));
    EXPECT_EQ(text, error);
    EXPECT_FALSE(opros.takeZeroCorrectionFailed());
    EXPECT_FALSE(opros.takeZeroCorrectionFinished());
    EXPECT_TRUE(errorShown || opros.snapshot().StatusText == error);

    // Readings come back by themselves.
    const int count = opros.snapshot().RecordCount;
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            return s.DataKind == DataKindResult && s.RecordCount >= count + 2;
        },
        Long, &s));
    EXPECT_EQ(s.CommandIndex, ZMX_get_result);
    EXPECT_EQ(s.ProcedureStatus, ZMXprg_zero_err1);

    // And a new zero correction starts and ends well.
    ASSERT_TRUE(sim.send("fault zero-error off"));
    opros.RequestOperation(ZMX_set_zero, 0, 0);
    following = false;
    ASSERT_TRUE(waitFor(
        opros,
        [&](const ZmxSnapshot &s) {
            following |= s.ProcedureActive == 1;
            return following && s.ProcedureActive == 0;
        },
        Long));
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &) { return opros.takeZeroCorrectionFinished(); }, Long));
    EXPECT_FALSE(opros.takeZeroCorrectionFailed());
}

TEST(OprosProcedureFaults, AfterALostProcedureAOneShotCommandGoesOutOnce)
{
    OPROS_CONNECTED(sim, opros);
    ASSERT_TRUE(sim.send("proctime 3000"));
    opros.RequestOperation(ZMX_set_zero, 0, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == 1; }, Long));
    // The instrument falls silent; its procedure ends unheard.
    ASSERT_TRUE(sim.send("fault silent on"));
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == -1; }, 30000));
    ASSERT_TRUE(sim.send("fault silent off"));
    ASSERT_TRUE(waitSuspended(opros, Long));

    const int framesBefore = sim.status("rx_frames").toInt();
    opros.RequestOperation(ZMX_Press_Key, 0, ZmxKeyCompressor);
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.SendOkCount >= 2 && s.Suspended; }, Long, &s));
    EXPECT_EQ(sim.status("rx_frames").toInt() - framesBefore, 1) << "one key press, sent once";
    s = opros.snapshot();
    EXPECT_EQ(s.ProcedureActive, 0);
    EXPECT_EQ(s.StatusText, "Успешное нажатие.");
    EXPECT_FALSE(s.RunFlag);
}

// The thread over a scripted library: the cycle's rules for a refused command,
// and a reconnect after a lost procedure, without the instrument's timing.
struct ScriptedOpros
{
    ScriptedOpros()
    {
        auto owned = std::make_unique<ScriptedLibrary>(clock, 100);
        lib = owned.get();
        opros = std::make_unique<TOpros_ZMX>(
            std::make_unique<PacketExchange>(
                std::make_unique<IdleTransport>(), std::move(owned), [this] { return clock; }),
            16);
    }
    uint32_t clock = 0;
    ScriptedLibrary *lib;
    std::unique_ptr<TOpros_ZMX> opros;
};

TEST(OprosScriptedCycle, RefusedCommandIsFollowedOnlyWhenAProgressPacketAnswers)
{
    struct Case
    {
        const char *name;
        std::vector<ScriptedLibrary::Answer> answers;
        int active;
        int linkErrors;
        QString text;
    };
    const Case cases[] = {
        { "progress packet", { { LinkStatus::Ok, { ZMXprg_zero_aru, 9 } } }, 1, 0, QString() },
        { "readings", { { LinkStatus::Ok, std::vector<uint8_t>(144, 1) } }, 0, 0, QString() },
        { "empty answer", { { LinkStatus::Ok, {} } }, 0, 0, QString() },
        { "nothing", {}, 0, 1, QStringLiteral("Ошибка связи (0)") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedOpros t;
        t.lib->sendDefault = LinkStatus::Refused;
        t.lib->answers.assign(c.answers.begin(), c.answers.end());
        t.opros->RequestOperation(ZMX_get_result, 0, 0);
        ZmxSnapshot s;
        // A followed procedure keeps the one-shot request cycling.
        ASSERT_TRUE(waitFor(
            *t.opros,
            [&](const ZmxSnapshot &s) {
                return c.active == 1 ? s.ProcedureActive == 1
                                     : s.CommandIndex == ZMX_get_result && !s.RunFlag;
            },
            Long, &s));
        EXPECT_EQ(s.ProcedureActive, c.active);
        EXPECT_EQ(s.LinkErrorCount, c.linkErrors);
        EXPECT_EQ(s.RecordCount, 0) << "an answer to a refused command is never stored";
        EXPECT_EQ(s.StatusText, c.text);
        t.opros->StopCycle();
    }
}

TEST(OprosScriptedCycle, OnlyAnswersOfARecordsLengthAreStoredAndWritten)
{
    TestFolders folders({ "result", "warm_up", "drift" });
    ScriptedOpros t;
    t.lib->sendDefault = LinkStatus::Ok;
    // Between the records: a progress packet, an answer of no record's length
    // and an empty answer.
    for (size_t size : { 144, 2, 77, 0, 14, 40 })
        t.lib->answers.push_back({ LinkStatus::Ok, std::vector<uint8_t>(size, 1) });
    t.opros->RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        *t.opros, [](const ZmxSnapshot &s) { return s.RecvOkCount >= 6; }, Long));
    t.opros->StopCycle();
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        *t.opros, [](const ZmxSnapshot &s) { return s.Suspended; }, Long, &s));
    EXPECT_EQ(s.RecordCount, 3);
    EXPECT_EQ(s.DamagedAnswerCount, 2);
    EXPECT_EQ(s.NonEmptyAnswerCount, 5);
    EXPECT_EQ(s.DataKind, DataKindDrift);
    EXPECT_EQ(folders.lines("result/15_gaseCO.txt").size(), 1);
    EXPECT_EQ(folders.lines("warm_up/00_fp_nado.txt"), QStringList { "1\t257" });
    EXPECT_EQ(folders.lines("drift/41_DI_gaseCO.txt").size(), 1);

    // Nor is a thermal-ratio answer of another length a record.
    ScriptedOpros ratio;
    ratio.lib->sendDefault = LinkStatus::Ok;
    for (size_t size : { TermRatioRecord::Size, 5, 0 })
        ratio.lib->answers.push_back({ LinkStatus::Ok, std::vector<uint8_t>(size, 1) });
    ratio.opros->RequestOperation(ZMX_get_Term_Ratio, 1, 0);
    ASSERT_TRUE(waitFor(
        *ratio.opros, [](const ZmxSnapshot &s) { return s.RecvOkCount >= 3; }, Long));
    ratio.opros->StopCycle();
    ASSERT_TRUE(waitFor(
        *ratio.opros, [](const ZmxSnapshot &s) { return s.Suspended; }, Long, &s));
    EXPECT_EQ(s.RecordCount, 1);
    EXPECT_EQ(s.DamagedAnswerCount, 1);
}

TEST(OprosScriptedCycle, ReconnectClearsALostProcedure)
{
    ScriptedOpros t;
    // The zero correction is taken, then the instrument says nothing more and
    // refuses the probe.
    t.lib->sendResults.push_back(LinkStatus::Ok);
    t.lib->sendDefault = LinkStatus::Refused;
    t.opros->RequestOperation(ZMX_set_zero, 0, 0);
    ZmxSnapshot s;
    ASSERT_TRUE(waitFor(
        *t.opros, [](const ZmxSnapshot &s) { return s.ProcedureActive == -1 && !s.RunFlag; }, Long,
        &s));
    EXPECT_EQ(s.ReceiveFailures, 11);
    ASSERT_TRUE(waitSuspended(*t.opros, Long));

    t.lib->sendDefault = LinkStatus::Ok;
    ASSERT_EQ(t.opros->ConnectPort(QStringLiteral("COM1")), TOpros_ZMX::Connected);
    EXPECT_EQ(t.opros->snapshot().ProcedureActive, 0);
    EXPECT_TRUE(t.opros->snapshot().PortError.isEmpty());
}

// ------------------------------------------------------------ port errors

TEST(OprosPortErrors, PortThatCannotBeUsedSaysWhy)
{
    TestFolders folders;
    OPROS_START_SIM(sim);
    QTemporaryDir dir;
    const QString file = dir.filePath("plain-file");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a port");
    }
    const QString folder = dir.filePath("a-folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    SerialTransport holder; // another program that holds the instrument's port
    ASSERT_TRUE(holder.open(sim.linkPath().toStdString()));

    struct Case
    {
        QString port;
        PortProblem problem;
        QString text;
        QString logText;
    };
    const Case cases[] = {
        { file, PortProblem::NotSerial, "это не последовательный порт", "not a serial port" },
        { folder, PortProblem::NotSerial, "это не последовательный порт", "not a serial port" },
        { dir.filePath("no-such-tty"), PortProblem::NotFound, "порт не найден", "port not found" },
        { sim.linkPath(), PortProblem::InUse, "порт занят другой программой",
            "port is in use by another program" },
        { QString(), PortProblem::NoName, "порт не выбран", "no port name" },
    };
    TOpros_ZMX opros;
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.port));
        EXPECT_EQ(opros.ConnectPort(c.port), TOpros_ZMX::NotConnected);
        const ZmxSnapshot s = opros.snapshot();
        EXPECT_EQ(s.PortState, c.problem);
        EXPECT_EQ(s.PortError, c.text);
        EXPECT_EQ(s.StatusText, "Нет связи с Zelmor.");
        // Asked again the same way: one log line only.
        EXPECT_EQ(opros.ConnectPort(c.port), TOpros_ZMX::NotConnected);
        EXPECT_EQ(folders.logCount("port error: " + c.logText + " (" + c.port + ")"), 1)
            << qPrintable(folders.log().join('\n'));
    }
    holder.close();
    EXPECT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    EXPECT_TRUE(opros.snapshot().PortError.isEmpty());
    EXPECT_EQ(opros.snapshot().PortState, PortProblem::None);
}

TEST(OprosPortErrors, TakenPortIsTriedAgainUntilTheOtherProgramLetsGo)
{
    TestFolders folders;
    OPROS_START_SIM(sim, { "--serial", "777" });
    SerialTransport holder;
    ASSERT_TRUE(holder.open(sim.linkPath().toStdString()));

    TOpros_ZMX opros;
    opros.setAutoReadAfterZero(true);
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::NotConnected);
    EXPECT_EQ(opros.snapshot().PortError, "порт занят другой программой");
    // The connect sequence asks for readings whatever the connect gave.
    opros.RequestOperation(ZMX_get_result, 1, 0);
    QThread::msleep(2500);
    ZmxSnapshot s = opros.snapshot();
    EXPECT_EQ(s.PortError, "порт занят другой программой");
    EXPECT_EQ(s.RecordCount, 0);
    EXPECT_TRUE(s.RunFlag);

    holder.close();
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long, &s));
    EXPECT_TRUE(s.PortError.isEmpty());
    EXPECT_EQ(s.ConstantsResult, TOpros_ZMX::ConstantsRead);
    EXPECT_EQ(s.SerialNumber, 777);
    EXPECT_EQ(
        folders.logCount("port error: port is in use by another program (" + sim.linkPath() + ")"),
        1);
}

// ------------------------------------------------------------ the log

TEST(OprosLinkLog, LinkTroublesAreLoggedOncePerChange)
{
    TestFolders folders;
    OPROS_CONNECTED(sim, opros);
    opros.RequestOperation(ZMX_get_result, 1, 0);
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.RecordCount >= 2; }, Long));

    ASSERT_TRUE(sim.send("fault silent on"));
    ASSERT_TRUE(waitFor(
        opros, [](const ZmxSnapshot &s) { return s.LinkErrorCount >= 3; }, Long));
    ASSERT_TRUE(sim.send("fault silent off"));
    const int records = opros.snapshot().RecordCount;
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecordCount > records; }, Long));
    EXPECT_EQ(folders.log(), (QStringList { "link lost", "link restored" }));

    ASSERT_TRUE(sim.hangup());
    const int answers = opros.snapshot().RecvOkCount;
    ASSERT_TRUE(waitFor(
        opros, [&](const ZmxSnapshot &s) { return s.RecvOkCount >= answers + 3; }, Long));
    const QStringList log = folders.log();
    EXPECT_EQ(log.count("port error: device hung up or i/o error (" + sim.linkPath() + ")"), 1)
        << qPrintable(log.join('\n'));
    EXPECT_EQ(log.count("port reopened (" + sim.linkPath() + ")"), 1);
    EXPECT_EQ(log.count("link lost"), log.count("link restored"));
    EXPECT_LE(log.count("link lost"), 2);
    EXPECT_TRUE(opros.snapshot().PortError.isEmpty());
}

} // namespace

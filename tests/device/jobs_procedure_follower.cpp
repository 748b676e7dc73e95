// The procedure follower and the link connector from tables of answers, over
// a scripted protocol library: no simulator, no thread.

#include "device/LinkConnector.h"
#include "device/LittleEndian.h"
#include "device/PacketExchange.h"
#include "device/ProcedureFollower.h"
#include "tests/support/ScriptedLibrary.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Bytes = std::vector<uint8_t>;
using Answer = ScriptedLibrary::Answer;

// Each library call moves the scripted clock on by 100 ms: a receive that
// gets nothing gives up after ten calls.
struct Link
{
    Link()
    {
        auto owned = std::make_unique<ScriptedLibrary>(clock, 100);
        lib = owned.get();
        auto port = std::make_unique<IdleTransport>();
        transport = port.get();
        exchange = std::make_unique<PacketExchange>(
            std::move(port), std::move(owned), [this] { return clock; });
    }
    uint32_t clock = 0;
    ScriptedLibrary *lib;
    IdleTransport *transport;
    std::unique_ptr<PacketExchange> exchange;
};

Bytes progress(uint8_t status, uint8_t step)
{
    return { status, step };
}

Bytes le16(int16_t v)
{
    Bytes b(4, 0);
    LittleEndian::writeI16(b.data(), v);
    return b;
}

Bytes le32(int32_t v)
{
    Bytes b(4, 0);
    LittleEndian::writeI32(b.data(), v);
    return b;
}

Bytes f64(double v)
{
    Bytes b(8, 0);
    LittleEndian::writeF64(b.data(), v);
    return b;
}

// A follower publishing into a plain snapshot, with every status text it
// showed in order.
struct Follower : Link
{
    explicit Follower(int commandIndex, bool autoRead = true)
        : follower(*exchange, [this](const ProcedureFollower::Change &change) {
            const QString before = snap.StatusText;
            change(snap, marks);
            if (snap.StatusText != before)
                texts << snap.StatusText;
        })
    {
        snap.CommandIndex = commandIndex;
        snap.AutoReadAfterZero = autoRead;
        snap.ProcedureActive = 1;
        snap.RunFlag = true;
        snap.RecordCount = 7;
    }
    ZmxSnapshot snap;
    ProcedureMarks marks;
    QStringList texts;
    ProcedureFollower follower;
};

const QString ZeroRunning = QStringLiteral("Корр. нуля...");
const QString ZeroDone = QStringLiteral("Корр. нуля завершена");

TEST(ProcedureFollower, FinalAnswersEndTheirProcedureWithTheirMessage)
{
    struct Case
    {
        const char *name;
        int code;
        std::vector<Bytes> answers; // one per step
        int active; // ProcedureActive after the last step
        QString lastText;
        int severity;
        int progressMax;
        bool zeroFinished;
        bool zeroFailed;
    };
    const Case cases[] = {
        { "zero correction ends", ZMX_set_zero,
            { progress(ZMXprg_zero_pas1, 10), progress(ZMXprg_zero_end, 200) }, 0, ZeroDone, 0, 200,
            true, false },
        // The readings request that a zero correction started by the
        // instrument is followed under.
        { "2-byte answer to a readings request", ZMX_get_result, { progress(ZMXprg_zero_aru, 57) },
            1, ZeroRunning, 0, 200, false, false },
        { "readings answer during a zero correction", ZMX_get_result, { Bytes(144, 0x05) }, 1,
            QString(), 0, 200, false, false },
        { "zero correction ends in an error", ZMX_set_zero,
            { progress(ZMXprg_zero_pas2, 120), progress(ZMXprg_zero_err1, 100) }, 0,
            QStringLiteral("Ошибка коррекции нуля (1)."), 1, 200, false, true },
        { "zero correction ends for low flow", ZMX_get_result, { progress(ZMXlow_flow_err, 3) }, 0,
            QStringLiteral("Ошибка коррекции нуля: слабый поток газа."), 1, 200, false, true },
        { "pressure calibration", ZMX_pressure, { progress(ZMXprg_pres_pas1, 5), f64(1013) }, 0,
            QStringLiteral("Калибровка датчика давления завершена. 1013"), 0, 200, false, false },
        // A final answer of the wrong size is progress.
        { "pressure with a 4-byte answer", ZMX_pressure, { le32(0x0403) }, 1,
            QStringLiteral("Калибровка датчика давления..."), 0, 200, false, false },
        { "O2 offset", ZMX_Shift_O2, { progress(ZMXprg_shift_O2, 1), le16(115) }, 0,
            QStringLiteral("Калибровка коэф. смещения канала кислорода завершена.115"), 0, 159,
            false, false },
        { "O2 gain", ZMX_Ku_O2, { le16(-2050) }, 0,
            QStringLiteral("Калибровка коэф. усиления канала кислорода завершена.-2050"), 0, 159,
            false, false },
        { "signal stretch", ZMX_Vrefm_par, { le32(-70000) }, 0,
            QStringLiteral("Калибровка к-та растяжки сигнала завершена. -70000"), 0, 0, false,
            false },
        { "stretch with an 8-byte answer", ZMX_Vrefm_par, { f64(2) }, 1,
            QStringLiteral("Калибровка к-та растяжки сигнала..."), 0, 0, false, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Follower f(c.code);
        for (const Bytes &a : c.answers)
            f.lib->answers.push_back({ LinkStatus::Ok, a });
        for (size_t i = 0; i < c.answers.size(); ++i)
            EXPECT_EQ(f.follower.step(), ProcedureFollower::StepResult::Answered);

        const Bytes &last = c.answers.back();
        EXPECT_EQ(f.snap.ProcedureActive, c.active);
        EXPECT_EQ(f.snap.ProcedureStatus, last[0]);
        EXPECT_EQ(f.snap.ProcedureStep, last[1]);
        EXPECT_EQ(f.snap.ProcedureMax, c.progressMax);
        EXPECT_EQ(f.snap.DataKind, DataKindProgress);
        EXPECT_EQ(f.snap.LinkState, 0);
        EXPECT_EQ(f.snap.StatusText, c.lastText);
        EXPECT_EQ(f.snap.StatusSeverity, c.severity);
        EXPECT_EQ(f.marks.zeroFinished, c.zeroFinished);
        EXPECT_EQ(f.marks.zeroFailed, c.zeroFailed);
        if (c.zeroFailed) {
            EXPECT_EQ(f.marks.zeroError, c.lastText);
        }
        // Any end of a zero correction goes back to readings by itself.
        const bool zeroEnded = c.zeroFinished || c.zeroFailed;
        EXPECT_EQ(f.snap.CommandIndex, zeroEnded ? ZMX_get_result : c.code);
        EXPECT_EQ(f.snap.RepeatFlag, zeroEnded ? 1 : 0);
        EXPECT_EQ(f.snap.RecordCount, 7) << "no warm-up came, the series goes on";
        EXPECT_TRUE(f.lib->sent.empty()) << "the follower only listens";
    }
}

TEST(ProcedureFollower, ZeroCorrectionAfterWarmUpRestartsTheSeriesAndTheFlow)
{
    struct Case
    {
        const char *name;
        uint8_t end;
        bool warmUpEnds;
    };
    for (const Case &c : { Case { "ends well", ZMXprg_zero_end, true },
             Case { "ends in an error", ZMXprg_zero_err2, false } }) {
        SCOPED_TRACE(c.name);
        Follower f(ZMX_set_zero, false);
        f.follower.noteWarmUp();
        f.lib->answers.push_back({ LinkStatus::Ok, progress(c.end, 200) });
        f.lib->sendResults.push_back(LinkStatus::Ok);
        f.follower.step();
        EXPECT_EQ(f.snap.ProcedureActive, 0);
        EXPECT_EQ(f.snap.RepeatFlag, 0) << "without AutoReadAfterZero nothing more is asked";
        EXPECT_EQ(f.snap.CommandIndex, ZMX_set_zero);
        if (c.warmUpEnds) {
            EXPECT_EQ(f.snap.RecordCount, 0);
            ASSERT_EQ(f.lib->sent.size(), 1u);
            EXPECT_EQ(f.lib->sent[0], (Bytes { 0x01, 0x00, 0x00, 0x00 }));
            EXPECT_EQ(f.texts,
                (QStringList { ZeroRunning, ZeroDone, QStringLiteral("Прогрев завершен.") }));
            EXPECT_FALSE(f.follower.warmUpSeen());
        } else {
            // The warm-up still waits for a zero correction that succeeds.
            EXPECT_EQ(f.snap.RecordCount, 7);
            EXPECT_TRUE(f.lib->sent.empty());
            EXPECT_TRUE(f.follower.warmUpSeen());
            EXPECT_EQ(f.texts,
                (QStringList { ZeroRunning, QStringLiteral("Ошибка коррекции нуля (2).") }));
        }
    }
}

TEST(ProcedureFollower, ElevenSilentStepsProbeTheLink)
{
    struct Case
    {
        const char *name;
        int32_t probe;
        ProcedureFollower::StepResult result;
        int active;
        int failuresAfter;
        bool runs;
    };
    const Case cases[] = {
        // Given up silently; the count starts again for the next procedure.
        { "probe taken", LinkStatus::Ok, ProcedureFollower::StepResult::ProbeAccepted, 0, 0, true },
        { "probe refused", LinkStatus::Refused, ProcedureFollower::StepResult::ProbeRefused, -1, 11,
            false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Follower f(ZMX_pressure);
        f.lib->sendDefault = c.probe;
        for (int i = 1; i <= ProcedureFollower::ReceiveFailureLimit; ++i) {
            EXPECT_EQ(f.follower.step(), ProcedureFollower::StepResult::Silent);
            EXPECT_EQ(f.snap.ReceiveFailures, i);
        }
        EXPECT_TRUE(f.lib->sent.empty());
        EXPECT_EQ(f.follower.step(), c.result);
        ASSERT_FALSE(f.lib->sent.empty());
        EXPECT_EQ(f.lib->sent.back(), (Bytes { 0x00, 0x00 }));
        EXPECT_EQ(f.snap.ProcedureActive, c.active);
        EXPECT_EQ(f.snap.ReceiveFailures, c.failuresAfter);
        EXPECT_EQ(f.snap.RunFlag, c.runs);
        EXPECT_EQ(f.snap.CommandIndex, ZMX_pressure) << "the probe leaves the command current";
        if (!c.runs) {
            EXPECT_EQ(f.snap.StatusText, QStringLiteral("Ошибка: нет связи с прибором."));
            EXPECT_EQ(f.snap.StatusSeverity, 1);
        }
    }

    // An answer in between starts the count again.
    Follower f(ZMX_set_zero);
    for (int i = 0; i < 6; ++i)
        f.follower.step();
    f.lib->answers.push_back({ LinkStatus::Ok, progress(ZMXprg_zero_pas1, 1) });
    f.follower.step();
    EXPECT_EQ(f.snap.ReceiveFailures, 0);
}

// ------------------------------------------------------------ connector

TEST(LinkConnector, ConnectsAt38400OrSwitchesTheInstrumentUp)
{
    struct Case
    {
        const char *name;
        std::vector<int32_t> sends;
        uint8_t init;
        PortProblem refuse;
        int result;
        std::vector<int32_t> speeds;
        QStringList texts;
        bool portOpen;
    };
    std::vector<int32_t> slowOnly(10, LinkStatus::Refused);
    slowOnly.push_back(LinkStatus::Ok); // ping at 1200
    slowOnly.push_back(LinkStatus::Ok); // speed switch
    const QString connecting = QStringLiteral("Подключение...");
    const QString none = QStringLiteral("Нет связи с Zelmor.");
    const Case cases[] = {
        { "answers at 38400", { LinkStatus::Ok }, 1, PortProblem::None, 0, { 38400 },
            { connecting, QStringLiteral("Zelmor подключен. Порт COM1, скорость 38400") }, true },
        { "left at 1200", slowOnly, 1, PortProblem::None, 0, { 38400, 1200, 38400 }, { connecting },
            true },
        { "no instrument", {}, 1, PortProblem::None, -1, { 38400, 1200 }, { connecting, none },
            false },
        { "port refuses its settings", {}, 0, PortProblem::None, -1, { 38400, 1200 },
            { connecting, none }, false },
        { "port taken", {}, 1, PortProblem::InUse, -1, {}, { connecting, none }, false },
        { "no such port", {}, 1, PortProblem::NotFound, -1, {}, { connecting, none }, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Link link;
        link.lib->sendResults.assign(c.sends.begin(), c.sends.end());
        link.lib->initResult = c.init;
        link.transport->refuseWith = c.refuse;
        QStringList texts;
        std::vector<int> severities;
        LinkConnector connector(*link.exchange, [&](const QString &text, int severity) {
            texts << text;
            severities.push_back(severity);
        });
        const LinkConnector::ConnectResult r = connector.connect(QStringLiteral("COM1"));
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.problem, c.refuse);
        EXPECT_EQ(r.switched, c.speeds.size() == 3);
        EXPECT_EQ(link.lib->initSpeeds, c.speeds);
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(severities.back(), c.result == 0 ? 0 : 1);
        EXPECT_EQ(link.exchange->isPortOpen(), c.portOpen);
        if (c.speeds.size() == 3) {
            EXPECT_EQ(link.lib->sent.back(), (Bytes { 0x0F, 0x00, 0x40, 0x38 }));
        }
    }
}

TEST(LinkConnector, ConstantsComeWholeOrTheFailureIsSaid)
{
    ConstantsRecord constants;
    constants.serialNumber = 4321;
    constants.firmwareVersion = 0x1a05;
    constants.rest[0] = 0x77;
    Bytes whole(ConstantsRecord::Size);
    constants.encode(whole.data());
    struct Case
    {
        const char *name;
        int32_t send;
        std::optional<Bytes> answer;
        int result;
        QString text;
    };
    const Case cases[] = {
        { "read", LinkStatus::Ok, whole, 0, QStringLiteral("Константы считаны.") },
        // Only the first bytes came, or none: the rest would be what the
        // buffer held (the out packet after an empty answer).
        { "short answer", LinkStatus::Ok, Bytes(whole.begin(), whole.begin() + 4), -4,
            QStringLiteral("Константы не считаны: ответ прибора длиной 4 вместо 124 байт.") },
        { "empty answer", LinkStatus::Ok, Bytes(), -4,
            QStringLiteral("Константы не считаны: ответ прибора длиной 0 вместо 124 байт.") },
        { "refused", LinkStatus::Refused, std::nullopt, -1,
            QStringLiteral("Прибор не принимает команду") },
        { "no answer", LinkStatus::Ok, std::nullopt, -2,
            QStringLiteral("Не удалось установить связь с прибором") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Link link;
        link.exchange->OpenPort("COM1");
        link.lib->sendDefault = c.send;
        if (c.answer)
            link.lib->answers.push_back({ LinkStatus::Ok, *c.answer });
        // An earlier answer still in the buffer fills a short one up.
        std::copy(whole.begin(), whole.end(), link.exchange->buffer());
        QStringList texts;
        LinkConnector connector(*link.exchange, [&](const QString &text, int) { texts << text; });
        const LinkConnector::ConstantsResult r = connector.readConstants();
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(texts, (QStringList { QStringLiteral("Чтение констант..."), c.text }));
        if (c.result == 0) {
            EXPECT_EQ(r.constants, constants);
        }
        EXPECT_EQ(link.exchange->commandIndex(), ZMX_get_constant);
    }
}

} // namespace

// The OBD link against the simulated car (zelmor-sim --obd) on a real
// pseudo-terminal: finding the adapters workshops have, following the
// engine, reading the diagnosis, and faults that must cost the operator
// nothing but a note.

#include "device/obd/ObdLink.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitForSnapshot.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

namespace {

constexpr int Long = 20000;
constexpr int ReadyTimeoutMs = 5000;

// zelmor-sim with a car on a second line at `path` (in a folder of its own
// unless given).
class CarSim
{
public:
    explicit CarSim(const QStringList &arguments = {}, const QString &path = {})
        : m_path(path.isEmpty() ? m_dir.filePath(QStringLiteral("obd-tty")) : path)
        , m_sim(QStringList { QStringLiteral("--obd"), m_path } + arguments)
    {
        m_ready = m_sim.isReady()
            && !m_sim.waitForLine(QStringLiteral("obd-ready "), ReadyTimeoutMs).isEmpty();
    }
    bool ready() const { return m_ready; }
    QString error() const { return m_sim.errorString(); }
    const QString &path() const { return m_path; }
    bool send(const QString &line) { return m_sim.send(line); }
    bool plugBackIn()
    {
        return send(QStringLiteral("obd plug"))
            && !m_sim.waitForLine(QStringLiteral("obd-ready "), ReadyTimeoutMs).isEmpty();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    SimProcess m_sim;
    bool m_ready = false;
};

// The link's log lines, written on its thread, read on the test's.
class Log
{
public:
    LinkLog::Writer writer()
    {
        return [this](const QString &line) {
            std::lock_guard lock(m_mutex);
            m_lines << line;
        };
    }
    bool contains(const QString &text) const
    {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_lines.begin(), m_lines.end(),
            [&](const QString &line) { return line.contains(text); });
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

bool waitFor(const ObdLink &link, const std::function<bool(const ObdSnapshot &)> &ready,
    int timeoutMs = Long, ObdSnapshot *last = nullptr)
{
    return waitForSnapshot(link, ready, timeoutMs, last);
}

bool inState(const ObdLink &link, ObdState state, ObdSnapshot *last = nullptr)
{
    return waitFor(
        link, [state](const ObdSnapshot &s) { return s.state == state; }, Long, last);
}

bool rpmReaches(const ObdLink &link, double rpm)
{
    return waitFor(link, [rpm](const ObdSnapshot &s) { return s.hasRpm && s.rpm == rpm; });
}

VehicleDiagnosis diagnose(ObdLink &link)
{
    link.requestDiagnosis();
    VehicleDiagnosis d;
    EXPECT_TRUE(waitFor(link, [](const ObdSnapshot &s) { return s.diagnosisReady; }));
    EXPECT_TRUE(link.takeDiagnosis(&d));
    EXPECT_FALSE(link.takeDiagnosis(nullptr)); // once
    return d;
}

// The diagnosis as one line of text, for comparing with a table's row.
QString brief(const VehicleDiagnosis &d)
{
    if (!d.read())
        return QStringLiteral("failed: ") + d.failure;
    QStringList incomplete;
    for (const ObdMonitorInfo &info : obdMonitors())
        if (d.status.incomplete.contains(info.monitor))
            incomplete << QString::fromLatin1(info.key);
    return QStringLiteral("mil=%1 count=%2 %3 codes=%4 incomplete=%5 vin=%6")
        .arg(d.status.milOn ? "on" : "off")
        .arg(d.status.codeCount)
        .arg(d.status.compressionIgnition ? "compression" : "spark")
        .arg(d.codesRead ? d.codes.join(',') : QStringLiteral("unread"))
        .arg(incomplete.join(','), d.vin);
}

TEST(ObdLink, FindsTheAdaptersWorkshopsHaveAndFollowsTheEngine)
{
    const struct
    {
        const char *name;
        QStringList arguments;
        QStringList steering;
        int lineSpeed;
        const char *version;
        const char *refused;
        const char *protocol;
    } rows[] = {
        { "plain", {}, {}, 38400, "ELM327 v1.5", "", "A6" },
        { "adapter at 9600", { "--obd-speed", "9600" }, {}, 9600, "ELM327 v1.5", "", "A6" },
        { "old clone keeps its spaces", {}, { "obd version ELM327 v1.0" }, 38400, "ELM327 v1.0",
            "ATS0", "A6" },
        { "echo left on", {}, { "obd fault echo on" }, 38400, "ELM327 v1.5", "", "A6" },
        { "slow reset", {}, { "obd fault reset 2500" }, 38400, "ELM327 v1.5", "", "A6" },
        { "slow search", {}, { "obd fault search 4000" }, 38400, "ELM327 v1.5", "", "A6" },
        { "K-line car", {}, { "obd protocol kline" }, 38400, "ELM327 v1.5", "", "A3" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        CarSim car(row.arguments);
        ASSERT_TRUE(car.ready()) << qPrintable(car.error());
        for (const QString &line : row.steering + QStringList { QStringLiteral("obd coolant 91") })
            ASSERT_TRUE(car.send(line)) << qPrintable(line);
        Log log;
        ObdLink link(nullptr, log.writer());
        link.setPort(car.path());

        ObdSnapshot s;
        ASSERT_TRUE(inState(link, ObdState::Online, &s)) << qPrintable(s.stateText());
        EXPECT_EQ(s.lineSpeed, row.lineSpeed);
        EXPECT_EQ(s.adapterVersion, QString::fromLatin1(row.version));
        EXPECT_EQ(s.refusedSettings, QString::fromLatin1(row.refused));
        EXPECT_EQ(s.protocolCode, QString::fromLatin1(row.protocol));
        EXPECT_TRUE(log.contains(QStringLiteral("obd vehicle answers: protocol ") + row.protocol));

        // The car's engine is the one the instrument simulator runs.
        ASSERT_TRUE(car.send(QStringLiteral("rpm 2480")));
        EXPECT_TRUE(rpmReaches(link, 2480));
        ASSERT_TRUE(car.send(QStringLiteral("rpm 810")));
        EXPECT_TRUE(rpmReaches(link, 810));
        EXPECT_TRUE(
            waitFor(link, [](const ObdSnapshot &s) { return s.hasCoolant && s.coolantC == 91; }));
        EXPECT_TRUE(link.snapshot().rpmFresh(MsClock::now(), 1000));
    }
}

TEST(ObdLink, DiagnosisReadsWhatTheCarSays)
{
    const struct
    {
        const char *name;
        QStringList steering;
        const char *expected;
    } rows[] = {
        { "a clean car", {}, "mil=off count=0 spark codes= incomplete= vin=ZLM1SM0A1B2C34567" },
        { "lamp on, four codes in a multi-frame answer",
            { "obd mil on", "obd codes P0420 C0035 B1234 U0100", "obd incomplete catalyst evap" },
            "mil=on count=4 spark codes=P0420,C0035,B1234,U0100 incomplete=catalyst,evap "
            "vin=ZLM1SM0A1B2C34567" },
        { "the same over a K-line", { "obd protocol kline" },
            "mil=on count=4 spark codes=P0420,C0035,B1234,U0100 incomplete=catalyst,evap "
            "vin=ZLM1SM0A1B2C34567" },
        { "a diesel without VIN",
            { "obd protocol can", "obd mil off", "obd codes none", "obd ignition compression",
                "obd incomplete pm-filter", "obd vin none" },
            "mil=off count=0 compression codes= incomplete=pm-filter vin=" },
        { "two control units", { "obd units 2", "obd codes P0301", "obd incomplete none" },
            "mil=off count=1 compression codes=P0301 incomplete= vin=" },
    };
    CarSim car;
    ASSERT_TRUE(car.ready()) << qPrintable(car.error());
    Log log;
    ObdLink link(nullptr, log.writer());
    link.setPort(car.path());
    ASSERT_TRUE(inState(link, ObdState::Online));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        for (const QString &line : row.steering)
            ASSERT_TRUE(car.send(line)) << qPrintable(line);
        EXPECT_EQ(brief(diagnose(link)), QString::fromUtf8(row.expected));
    }
    // The engine speed goes on after the reads.
    const uint64_t updates = link.snapshot().rpmUpdates;
    EXPECT_TRUE(
        waitFor(link, [updates](const ObdSnapshot &s) { return s.rpmUpdates > updates + 4; }));
}

TEST(ObdLink, FaultsCostNothingButTheNote)
{
    const struct
    {
        const char *name;
        const char *fault;
        const char *mend;
        ObdState state;
        const char *failure;
        PortProblem problem = PortProblem::None;
    } rows[] = {
        { "ignition off", "obd fault nodata on", "obd fault nodata off", ObdState::NoVehicle,
            "автомобиль не отвечает (NO DATA)" },
        { "adapter answers ?", "obd fault answer ?", "obd fault answer off", ObdState::NoVehicle,
            "автомобиль не отвечает (?)" },
        { "CAN bus fault", "obd fault answer CAN ERROR", "obd fault answer off",
            ObdState::NoVehicle, "автомобиль не отвечает (CAN ERROR)" },
        { "adapter unplugged", "obd unplug", "obd plug", ObdState::NoPort,
            "порт адаптера OBD %1: порт не найден", PortProblem::NotFound },
        { "adapter gone silent", "obd fault silent on", "obd fault silent off", ObdState::NoAdapter,
            "адаптер OBD не отвечает" },
    };
    CarSim car;
    ASSERT_TRUE(car.ready()) << qPrintable(car.error());
    Log log;
    ObdLink link(nullptr, log.writer());
    link.setPort(car.path());
    ASSERT_TRUE(inState(link, ObdState::Online));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(car.send(QString::fromLatin1(row.fault)));
        ObdSnapshot s;
        ASSERT_TRUE(waitFor(
            link,
            [&row](const ObdSnapshot &s) {
                return s.state == row.state && s.portProblem == row.problem;
            },
            Long, &s))
            << qPrintable(s.stateText());
        // Asked for now, the read ends at once as failed, with the reason.
        EXPECT_EQ(brief(diagnose(link)),
            QStringLiteral("failed: ")
                + QString::fromUtf8(row.failure).replace(QStringLiteral("%1"), car.path()));

        if (row.state == ObdState::NoPort)
            ASSERT_TRUE(car.plugBackIn());
        else
            ASSERT_TRUE(car.send(QString::fromLatin1(row.mend)));
        ASSERT_TRUE(inState(link, ObdState::Online, &s)) << qPrintable(s.stateText());
        const uint64_t updates = s.rpmUpdates;
        EXPECT_TRUE(
            waitFor(link, [updates](const ObdSnapshot &s) { return s.rpmUpdates > updates; }));
    }
    EXPECT_TRUE(log.contains(QStringLiteral("obd port error: device hung up or i/o error")));
    EXPECT_TRUE(log.contains(QStringLiteral("obd adapter not answering")));
}

TEST(ObdLink, PortChosenBeforeTheAdapterIsThereAndNoPortAtAll)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("later-tty"));
    Log log;
    ObdLink link(nullptr, log.writer());
    link.setPort(path);
    ObdSnapshot s;
    ASSERT_TRUE(inState(link, ObdState::NoPort, &s));
    EXPECT_EQ(s.portProblem, PortProblem::NotFound);

    CarSim car({}, path);
    ASSERT_TRUE(car.ready()) << qPrintable(car.error());
    ASSERT_TRUE(inState(link, ObdState::Online));

    link.setPort(QString());
    ASSERT_TRUE(inState(link, ObdState::Off));
    EXPECT_FALSE(link.snapshot().hasRpm);
    EXPECT_EQ(brief(diagnose(link)), QStringLiteral("failed: адаптер OBD не выбран"));
}

TEST(ObdLink, ShutdownDuringALongSearchIsPrompt)
{
    CarSim car;
    ASSERT_TRUE(car.ready()) << qPrintable(car.error());
    ASSERT_TRUE(car.send(QStringLiteral("obd fault search 30000")));
    QElapsedTimer timer;
    {
        Log log;
        ObdLink link(nullptr, log.writer());
        link.setPort(car.path());
        ASSERT_TRUE(
            waitFor(link, [](const ObdSnapshot &s) { return !s.adapterVersion.isEmpty(); }));
        QThread::msleep(300); // into the search
        link.requestDiagnosis(); // never waits
        EXPECT_EQ(link.snapshot().state, ObdState::Connecting);
        timer.start();
    }
    EXPECT_LT(timer.elapsed(), 2000);
}

} // namespace

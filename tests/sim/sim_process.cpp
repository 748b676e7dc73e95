// The simulator helper itself: whatever happens to the simulator, the test
// process survives it and no child is left behind.

#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <sys/wait.h>

namespace {

constexpr int EndWaitMs = 5000;
constexpr int ShortStartMs = 500;

// No child of this test exists any more, neither running nor unreaped.
bool noChildLeft()
{
    siginfo_t info {};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
}

// Waits until some child has ended (without reaping it).
bool childEnded(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        siginfo_t info {};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0)
            return true;
        QThread::msleep(10);
    }
    return false;
}

// Points ZELMOR_SIM elsewhere for one test.
class SimBinary
{
public:
    explicit SimBinary(const QByteArray &path)
        : m_saved(qgetenv("ZELMOR_SIM"))
    {
        qputenv("ZELMOR_SIM", path);
    }
    ~SimBinary() { qputenv("ZELMOR_SIM", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

TEST(SimProcess, StopsAndReapsTheSimulator)
{
    {
        SimProcess sim;
        ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
        EXPECT_FALSE(sim.slavePath().isEmpty());
        EXPECT_TRUE(sim.send("rpm 2500"));
        EXPECT_EQ(sim.lastReply(), "ok");
        EXPECT_EQ(sim.status("rpm"), "2500") << qPrintable(sim.statusLine());
        EXPECT_FALSE(sim.send("rpm fast"));
        EXPECT_TRUE(sim.lastReply().startsWith("error")) << qPrintable(sim.lastReply());
        ASSERT_TRUE(sim.hangup()) << qPrintable(sim.errorString());
        EXPECT_TRUE(QFile::exists(sim.linkPath()));
    }
    EXPECT_TRUE(noChildLeft());
}

TEST(SimProcess, SimulatorThatEndedRefusesLinesWithoutBreakingThePipe)
{
    SimProcess sim;
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    sim.send("quit", 1000);
    ASSERT_TRUE(childEnded(EndWaitMs));
    // Writing into the closed pipe must not raise SIGPIPE in the test.
    EXPECT_FALSE(sim.send("rpm 900", 1000));
    EXPECT_EQ(sim.lastReply(), "");
    EXPECT_EQ(sim.status("rpm", 1000), "");
    EXPECT_FALSE(sim.hangup(1000));
    sim.stop();
    EXPECT_TRUE(noChildLeft());
}

TEST(SimProcess, ProgramThatNeverReportsItsLineIsNotLeftBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char *name;
        const char *script;
    };
    const Case cases[] = {
        { "exits at once", "#!/bin/sh\nexit 3\n" },
        // Ignores the closed input and "quit": only a kill ends it.
        { "stays silent", "#!/bin/sh\ntrap '' TERM HUP INT\nexec sleep 30 < /dev/null\n" },
    };
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name).replace(' ', '_'));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SimBinary binary(QFile::encodeName(path));
        {
            SimProcess sim({}, ShortStartMs);
            EXPECT_FALSE(sim.isReady()) << c.name;
            EXPECT_TRUE(sim.errorString().contains("did not report"))
                << c.name << ": " << qPrintable(sim.errorString());
            EXPECT_FALSE(sim.send("status", 200)) << c.name;
        }
        EXPECT_TRUE(noChildLeft()) << c.name;
    }
}

TEST(SimProcess, MissingBinaryIsReported)
{
    SimBinary binary("/nonexistent/zelmor-sim");
    SimProcess sim;
    EXPECT_FALSE(sim.isReady());
    EXPECT_TRUE(sim.errorString().contains("not found")) << qPrintable(sim.errorString());
    EXPECT_FALSE(sim.send("status", 200));
}

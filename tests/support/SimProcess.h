#pragma once

// Starts the instrument simulator (zelmor-sim) for a test and steers it.
//
//   SimProcess sim({"--warmup", "0"});
//   ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
//   transport.open(sim.linkPath().toStdString());
//   sim.send("rpm 2500");
//
// The binary comes from the environment variable ZELMOR_SIM (set by CTest).
// The pseudo-terminal's link lives in a temporary folder of its own; the
// simulator is stopped (and reaped) when the object goes. Use it from one
// thread; no event loop is needed.
//
// The simulator is started with posix_spawn and steered through plain pipes,
// not QProcess: after a QProcess child the thread sanitizer loses track of the
// main thread's locks and reports races that are not there, so tests using
// this helper could not run under it.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

class SimProcess
{
public:
    static constexpr int DefaultStartTimeoutMs = 10000;
    static constexpr int DefaultReplyTimeoutMs = 5000;

    // Starts zelmor-sim with `arguments` plus "--quit-on-eof --link <temp>/zelmor-tty" and
    // waits (at most `startTimeoutMs`) for its ready line.
    explicit SimProcess(
        const QStringList &arguments = {}, int startTimeoutMs = DefaultStartTimeoutMs);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // The simulator runs and its line is up.
    bool isReady() const { return m_ready; }
    QString errorString() const { return m_error; }

    // Path of the symbolic link to the pseudo-terminal (stays the same across
    // hang-ups: it then points at the new line).
    QString linkPath() const { return m_linkPath; }
    // The slave device behind the link right now.
    QString slavePath() const { return m_slavePath; }

    // Sends one steering line and waits for its reply; true on "ok".
    bool send(const QString &line, int timeoutMs = DefaultReplyTimeoutMs);
    // The reply line of the last send() ("ok", "error ...", "status ...").
    QString lastReply() const { return m_lastReply; }
    // Sends "status" and returns the value of `key` from the answer ("" when
    // missing), e.g. status("speed") == "38400".
    QString status(const QString &key, int timeoutMs = DefaultReplyTimeoutMs);
    // The whole status line without the leading "status ".
    QString statusLine(int timeoutMs = DefaultReplyTimeoutMs);

    // "hangup": the client's port dies; waits for the new line to be ready.
    bool hangup(int timeoutMs = DefaultReplyTimeoutMs);
    // "unplug": the line and its link go away, as an unplugged adapter's
    // device does; "plug" brings a new line behind the link and waits until
    // it is ready.
    bool unplug(int timeoutMs = DefaultReplyTimeoutMs);
    bool plug(int timeoutMs = DefaultReplyTimeoutMs);

    // Waits for a line of output starting with `prefix` that has not been
    // consumed yet; returns it ("" after `timeoutMs`).
    QString waitForLine(const QString &prefix, int timeoutMs);

    // Stops the simulator ("quit", then a kill after a grace period) and
    // reaps it.
    void stop();

    // The simulator binary: ZELMOR_SIM, else "" (errorString() tells).
    static QString executablePath();

private:
    bool start(const QString &program, const QStringList &arguments);
    // Sends a command after which a new line comes up; waits for its ready line.
    bool lineBack(const QString &command, int timeoutMs);
    // Reads what the simulator wrote, waiting at most `timeoutMs` for the
    // first bytes; false when nothing came (timeout or its output closed).
    bool readMore(int timeoutMs);
    bool writeAll(const QByteArray &bytes, int timeoutMs);
    // The child still runs; reaps it when it has ended.
    bool isRunning();
    void closeInput();
    void closeOutput();

    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    int m_in = -1; // the simulator's standard input (our write end)
    int m_out = -1; // its standard output (our read end, non-blocking)
    QString m_linkPath;
    QString m_slavePath;
    QString m_error;
    QString m_lastReply;
    QByteArray m_buffer;
    QStringList m_lines; // output lines not consumed yet
    bool m_ready = false;
};

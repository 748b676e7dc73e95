#include "tests/support/SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int QuitGraceMs = 3000;
constexpr int ReapPollMs = 10;
constexpr int ReadChunk = 4096;
const char ReadyPrefix[] = "ready ";

QString systemError(const char *what, int error)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Waits for `events` on `fd` until `deadline`; false on timeout or error.
bool pollUntil(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd p { fd, events, 0 };
        const int r = ::poll(&p, 1, int(deadline.remainingTime()));
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

// A line the simulator writes in reply to a steering line.
bool isReply(const QString &line)
{
    return line == QLatin1String("ok") || line.startsWith(QLatin1String("error"))
        || line.startsWith(QLatin1String("status "));
}

} // namespace

QString SimProcess::executablePath()
{
    return qEnvironmentVariable("ZELMOR_SIM");
}

SimProcess::SimProcess(const QStringList &arguments, int startTimeoutMs)
{
    const QString program = executablePath();
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        m_error = QStringLiteral("zelmor-sim not found (ZELMOR_SIM=\"%1\")").arg(program);
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: %1").arg(m_dir.errorString());
        return;
    }
    m_linkPath = m_dir.filePath(QStringLiteral("zelmor-tty"));
    // Ended with its standard input, so a test that dies leaves no simulator behind.
    if (!start(program,
            QStringList(arguments)
                << QStringLiteral("--quit-on-eof") << QStringLiteral("--link") << m_linkPath))
        return;
    const QString ready = waitForLine(QString::fromLatin1(ReadyPrefix), startTimeoutMs);
    if (ready.isEmpty()) {
        m_error
            = QStringLiteral("zelmor-sim did not report its line within %1 ms").arg(startTimeoutMs);
        stop();
        return;
    }
    m_slavePath = ready.mid(int(sizeof ReadyPrefix) - 1);
    m_ready = QFileInfo::exists(m_linkPath);
    if (!m_ready)
        m_error = QStringLiteral("zelmor-sim made no link at %1").arg(m_linkPath);
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const QString &program, const QStringList &arguments)
{
    int toChild[2] = { -1, -1 };
    int fromChild[2] = { -1, -1 };
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
        m_error = systemError("no pipes for zelmor-sim", errno);
        closeFd(toChild[0]);
        closeFd(toChild[1]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // Its log and remarks go to the test's own error output (inherited). Nothing
    // else of the test goes along: a stray copy of a port the test holds would
    // keep that port alive after the test closed it.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    // A clean signal state whatever the calling thread blocked or ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> storage { QFile::encodeName(program) };
    for (const QString &a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    const int spawned = ::posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    closeFd(toChild[0]);
    closeFd(fromChild[1]);
    m_in = toChild[1];
    m_out = fromChild[0];
    if (spawned != 0) {
        m_pid = -1;
        m_error = systemError("zelmor-sim did not start", spawned);
        closeInput();
        closeOutput();
        return false;
    }
    // Every wait is bounded by poll; a read or write never blocks.
    ::fcntl(m_in, F_SETFL, ::fcntl(m_in, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_out, F_SETFL, ::fcntl(m_out, F_GETFL) | O_NONBLOCK);
    return true;
}

bool SimProcess::isRunning()
{
    if (m_pid <= 0)
        return false;
    pid_t r;
    do
        r = ::waitpid(m_pid, nullptr, WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r == 0)
        return true;
    m_pid = -1; // reaped (or not ours any more)
    return false;
}

void SimProcess::closeInput()
{
    closeFd(m_in);
}

void SimProcess::closeOutput()
{
    closeFd(m_out);
}

bool SimProcess::readMore(int timeoutMs)
{
    if (m_out < 0)
        return false;
    if (!pollUntil(m_out, POLLIN, QDeadlineTimer(qMax(timeoutMs, 0))))
        return false;
    bool got = false;
    for (;;) {
        char chunk[ReadChunk];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n > 0) {
            m_buffer.append(chunk, qsizetype(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            closeOutput(); // the simulator closed its output (it ended)
        break;
    }
    for (int nl; (nl = int(m_buffer.indexOf('\n'))) >= 0;) {
        m_lines << QString::fromUtf8(m_buffer.left(nl)).trimmed();
        m_buffer.remove(0, nl + 1);
    }
    return got;
}

bool SimProcess::writeAll(const QByteArray &bytes, int timeoutMs)
{
    if (m_in < 0)
        return false;
    // A simulator that ended must not take the test down with SIGPIPE: the
    // signal is held back for this thread and a pending one taken away.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const QDeadlineTimer deadline(qMax(timeoutMs, 0));
    qsizetype done = 0;
    bool broken = false;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_in, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)
            && pollUntil(m_in, POLLOUT, deadline))
            continue;
        broken = n < 0 && errno == EPIPE;
        break;
    }
    if (broken) {
        const timespec now { 0, 0 };
        while (sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) { }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return done == bytes.size();
}

QString SimProcess::waitForLine(const QString &prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (int i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].startsWith(prefix)) {
                const QString line = m_lines[i];
                // Everything before the line is consumed with it.
                m_lines.erase(m_lines.begin(), m_lines.begin() + i + 1);
                return line;
            }
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !readMore(int(left)))
            return {};
    }
}

bool SimProcess::send(const QString &line, int timeoutMs)
{
    m_lastReply.clear();
    if (!isRunning()) {
        m_error = QStringLiteral("zelmor-sim is not running");
        return false;
    }
    // Drop unread replies of earlier lines so this reply is the next one.
    readMore(0);
    m_lines.erase(std::remove_if(m_lines.begin(), m_lines.end(), isReply), m_lines.end());
    if (!writeAll(line.toUtf8() + '\n', timeoutMs)) {
        m_error = QStringLiteral("could not pass \"%1\" to zelmor-sim").arg(line);
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (int i = 0; i < m_lines.size(); ++i) {
            const QString &l = m_lines[i];
            if (isReply(l)) {
                m_lastReply = l;
                m_lines.removeAt(i);
                if (l != QLatin1String("ok") && !l.startsWith(QLatin1String("status ")))
                    m_error = l;
                return !l.startsWith(QLatin1String("error"));
            }
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !readMore(int(left))) {
            m_error = QStringLiteral("no reply to \"%1\"").arg(line);
            return false;
        }
    }
}

QString SimProcess::statusLine(int timeoutMs)
{
    if (!send(QStringLiteral("status"), timeoutMs))
        return {};
    return m_lastReply.mid(7);
}

QString SimProcess::status(const QString &key, int timeoutMs)
{
    const QString line = statusLine(timeoutMs);
    const QString wanted = key + QLatin1Char('=');
    for (const QString &part : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (part.startsWith(wanted))
            return part.mid(wanted.size());
    return {};
}

bool SimProcess::unplug(int timeoutMs)
{
    return send(QStringLiteral("unplug"), timeoutMs);
}

bool SimProcess::plug(int timeoutMs)
{
    return lineBack(QStringLiteral("plug"), timeoutMs);
}

bool SimProcess::hangup(int timeoutMs)
{
    return lineBack(QStringLiteral("hangup"), timeoutMs);
}

bool SimProcess::lineBack(const QString &command, int timeoutMs)
{
    if (!send(command, timeoutMs))
        return false;
    const QString ready = waitForLine(QString::fromLatin1(ReadyPrefix), timeoutMs);
    if (ready.isEmpty())
        return false;
    m_slavePath = ready.mid(int(sizeof ReadyPrefix) - 1);
    return true;
}

void SimProcess::stop()
{
    m_ready = false;
    if (m_pid > 0) {
        writeAll("quit\n", QuitGraceMs);
        closeInput();
        const QDeadlineTimer grace(QuitGraceMs);
        while (isRunning() && !grace.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(ReapPollMs));
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            // A killed process always ends; wait for it so no zombie stays.
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) { }
            m_pid = -1;
        }
    }
    closeInput();
    closeOutput();
}

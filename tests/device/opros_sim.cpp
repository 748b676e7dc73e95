#include "tests/device/opros_sim.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace {

constexpr int QuitGraceMs = 3000;
const QString Ready = QStringLiteral("ready ");

} // namespace

OprosSim::OprosSim(const QStringList &arguments)
{
    const QString program = qEnvironmentVariable("ZELMOR_SIM");
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        m_error = QStringLiteral("zelmor-sim not found (ZELMOR_SIM=\"%1\")").arg(program);
        return;
    }
    m_linkPath = m_dir.filePath(QStringLiteral("zelmor-tty"));

    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        m_error = QStringLiteral("no pipes");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);

    QStringList all = arguments;
    all << QStringLiteral("--quit-on-eof") << QStringLiteral("--link") << m_linkPath;
    std::vector<QByteArray> storage { QFile::encodeName(program) };
    for (const QString &a : all)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_in = toChild[1];
    m_out = fromChild[0];
    if (spawned != 0) {
        m_pid = -1;
        m_error = QStringLiteral("zelmor-sim did not start");
        return;
    }
    if (nextLine({ Ready }, StartTimeoutMs).isEmpty()) {
        m_error = QStringLiteral("zelmor-sim did not report its line");
        return;
    }
    m_ready = QFileInfo::exists(m_linkPath);
    if (!m_ready)
        m_error = QStringLiteral("zelmor-sim made no link at %1").arg(m_linkPath);
}

OprosSim::~OprosSim()
{
    if (m_in >= 0) {
        const ssize_t ignored = ::write(m_in, "quit\n", 5);
        (void)ignored;
        ::close(m_in);
    }
    if (m_pid > 0) {
        QElapsedTimer timer;
        timer.start();
        while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (timer.elapsed() > QuitGraceMs) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                break;
            }
            usleep(10000);
        }
    }
    if (m_out >= 0)
        ::close(m_out);
}

QString OprosSim::nextLine(const QStringList &prefixes, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        for (size_t nl; (nl = m_buffer.find('\n')) != std::string::npos;) {
            const QString line = QString::fromStdString(m_buffer.substr(0, nl)).trimmed();
            m_buffer.erase(0, nl + 1);
            for (const QString &p : prefixes)
                if (line.startsWith(p))
                    return line;
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || m_out < 0)
            return {};
        pollfd fd { m_out, POLLIN, 0 };
        if (poll(&fd, 1, int(left)) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            return {};
        m_buffer.append(chunk, size_t(n));
    }
}

bool OprosSim::send(const QString &line, int timeoutMs)
{
    m_lastReply.clear();
    const QByteArray bytes = line.toUtf8() + '\n';
    if (m_in < 0 || ::write(m_in, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
        m_error = QStringLiteral("zelmor-sim is not running");
        return false;
    }
    m_lastReply = nextLine(
        { QStringLiteral("ok"), QStringLiteral("error"), QStringLiteral("status ") }, timeoutMs);
    if (m_lastReply.isEmpty() || m_lastReply.startsWith(QStringLiteral("error"))) {
        m_error
            = m_lastReply.isEmpty() ? QStringLiteral("no reply to \"%1\"").arg(line) : m_lastReply;
        return false;
    }
    return true;
}

QString OprosSim::status(const QString &key)
{
    if (!send(QStringLiteral("status")))
        return {};
    const QString wanted = key + QLatin1Char('=');
    for (const QString &part : m_lastReply.mid(7).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (part.startsWith(wanted))
            return part.mid(wanted.size());
    return {};
}

bool OprosSim::hangup()
{
    return send(QStringLiteral("hangup")) && !nextLine({ Ready }, ReplyTimeoutMs).isEmpty();
}

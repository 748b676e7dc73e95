#include "tests/support/PgServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int InitTimeoutMs = 120000;
constexpr int StartTimeoutS = 60;
constexpr int ClientTimeoutMs = 60000;

QString bin(const char *name)
{
    return QLatin1String(PgServer::BinFolder) + QLatin1Char('/') + QLatin1String(name);
}

// The account the server runs as when we are root: the server package's own
// account, or nobody when it is missing.
QString serverAccount()
{
    if (geteuid() != 0)
        return {};
    for (const char *name : { "postgres", "nobody" })
        if (getpwnam(name))
            return QLatin1String(name);
    return QStringLiteral("nobody");
}

bool chownTree(const QString &path, const QString &account)
{
    const passwd *pw = getpwnam(account.toLocal8Bit().constData());
    if (!pw)
        return false;
    return ::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) == 0;
}

} // namespace

PgServer::PgServer(bool durable)
    : m_durable(durable)
    , m_root(QDir::tempPath() + QStringLiteral("/zelmor-pg-XXXXXX"))
    , m_account(serverAccount())
{ }

PgServer::~PgServer()
{
    if (m_running)
        stop();
    // The cluster's files belong to the server's account; root removes them.
    m_root.remove();
}

QString PgServer::run(
    const QString &program, const QStringList &arguments, int timeoutMs, QString *output) const
{
    // Started with posix_spawn and read through a plain pipe, not QProcess:
    // after a QProcess child the thread sanitizer loses track of the main
    // thread's locks and reports races on them that are not there.
    QStringList command;
    if (!m_account.isEmpty())
        command << QStringLiteral("runuser") << QStringLiteral("-u") << m_account
                << QStringLiteral("--");
    command << program << arguments;
    std::vector<QByteArray> argBytes;
    for (const QString &a : command)
        argBytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // Locale and client settings of the caller must not leak into the cluster.
    std::vector<QByteArray> envBytes;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const QByteArray name = entry.left(entry.indexOf('='));
        if (name == "PGHOST" || name == "PGPORT" || name == "PGUSER" || name == "PGDATABASE"
            || name == "PGSERVICE" || name == "LC_ALL")
            continue;
        envBytes.push_back(entry);
    }
    envBytes.push_back(QByteArrayLiteral("LC_ALL=C.UTF-8"));
    std::vector<char *> envp;
    for (QByteArray &e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return QStringLiteral("%1 did not start: no pipe").arg(program);
    const QByteArray folder = QFile::encodeName(m_root.path());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return QStringLiteral("%1 did not start: %2")
            .arg(program, QString::fromLocal8Bit(std::strerror(spawned)));
    }

    // Read until the output ends and the program has exited; a server the
    // program leaves running may keep the pipe open, so its exit ends the read.
    QByteArray text;
    int status = 0;
    bool exited = false;
    bool timedOut = false;
    const QDeadlineTimer deadline(timeoutMs);
    while (!exited) {
        pollfd p { out[0], POLLIN, 0 };
        if (::poll(&p, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n > 0)
                text.append(buffer, n);
        }
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            exited = true;
        } else if (deadline.hasExpired()) {
            timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            exited = true;
        }
    }
    // What is already in the pipe after the exit.
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, n);
    }
    ::close(out[0]);

    if (timedOut)
        return QStringLiteral("%1 did not finish within %2 ms").arg(program).arg(timeoutMs);
    const QString decoded = QString::fromLocal8Bit(text);
    if (output)
        *output = decoded;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("%1 failed (exit %2): %3")
            .arg(program)
            .arg(WIFEXITED(status) ? WEXITSTATUS(status) : -1)
            .arg(decoded);
    return {};
}

QString PgServer::initCluster()
{
    if (!m_root.isValid())
        return QStringLiteral("no temporary folder: %1").arg(m_root.errorString());
    if (!QFile::exists(bin("initdb")))
        return QStringLiteral("%1 is missing; install the server (scripts/install-deps.sh)")
            .arg(bin("initdb"));
    if (!QDir().mkpath(socketFolder()))
        return QStringLiteral("cannot create %1").arg(socketFolder());
    if (!m_account.isEmpty()) {
        for (const QString &path : { m_root.path(), socketFolder() })
            if (!chownTree(path, m_account))
                return QStringLiteral("cannot hand %1 to %2").arg(path, m_account);
    }
    const QString error = run(bin("initdb"),
        { QStringLiteral("-D"), dataFolder(), QStringLiteral("-U"), QLatin1String(SuperUser),
            QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
            QStringLiteral("--locale=C"), QStringLiteral("--no-sync") },
        InitTimeoutMs);
    if (!error.isEmpty())
        return QStringLiteral("initdb: ") + error;
    m_initialised = true;
    return {};
}

QString PgServer::start()
{
    if (m_running)
        return {};
    if (!m_initialised) {
        const QString error = initCluster();
        if (!error.isEmpty())
            return error;
    }
    QString options = QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' "
                                     "-c port=%2 -c max_connections=40")
                          .arg(socketFolder())
                          .arg(Port);
    if (!m_durable)
        options
            += QStringLiteral(" -c fsync=off -c synchronous_commit=off -c full_page_writes=off");
    const QString error = run(bin("pg_ctl"),
        { QStringLiteral("-D"), dataFolder(), QStringLiteral("-l"), logFile(), QStringLiteral("-o"),
            options, QStringLiteral("-w"), QStringLiteral("-t"), QString::number(StartTimeoutS),
            QStringLiteral("start") },
        (StartTimeoutS + 10) * 1000);
    if (!error.isEmpty())
        return QStringLiteral("server did not start: %1\n%2").arg(error, logTail());
    m_running = true;
    return {};
}

QString PgServer::stop()
{
    if (!m_running)
        return {};
    m_running = false;
    // Fast shutdown: open connections are cut, as when the server goes away.
    const QString error = run(bin("pg_ctl"),
        { QStringLiteral("-D"), dataFolder(), QStringLiteral("-m"), QStringLiteral("fast"),
            QStringLiteral("-w"), QStringLiteral("-t"), QString::number(StartTimeoutS),
            QStringLiteral("stop") },
        (StartTimeoutS + 10) * 1000);
    if (!error.isEmpty())
        return QStringLiteral("server did not stop: %1\n%2").arg(error, logTail());
    return {};
}

QString PgServer::psql(const QString &database, const QString &statement, QString *error)
{
    QString output;
    const QString e = run(bin("psql"),
        { QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
            socketFolder(), QStringLiteral("-p"), QString::number(Port), QStringLiteral("-U"),
            QLatin1String(SuperUser), QStringLiteral("-d"), database, QStringLiteral("-c"),
            statement },
        ClientTimeoutMs, &output);
    if (error)
        *error = e;
    return output.trimmed();
}

QString PgServer::createDatabase(const QString &name)
{
    QString error;
    psql(QStringLiteral("postgres"),
        QStringLiteral("CREATE DATABASE \"%1\"").arg(QString(name).replace('"', "\"\"")), &error);
    return error;
}

QString PgServer::logTail(int lines) const
{
    QFile f(logFile());
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(no server log)");
    const QStringList all = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'));
    return all.mid(std::max<qsizetype>(0, all.size() - lines)).join(QLatin1Char('\n'));
}

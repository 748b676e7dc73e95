#include "tests/support/PgServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
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

// A TCP port on the loopback address that nobody listens on now: the
// system's choice for a socket bound to port 0. Another program may take it
// before the server does; start() then tries another.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

QString randomPassword()
{
    QByteArray bytes(18, 0);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(bytes.toHex());
}

bool writePrivateFile(const QString &path, const QByteArray &contents)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // The client ignores a password file others may read.
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return f.write(contents) == contents.size();
}

} // namespace

PgServer::PgServer()
    : PgServer(Options {})
{ }

PgServer::PgServer(Options options)
    : m_options(options)
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
            || name == "PGSERVICE" || name == "PGSERVICEFILE" || name == "PGSSLMODE"
            || name == "PGSSLROOTCERT" || name == "PGPASSFILE" || name == "LC_ALL")
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
    for (const QString &folder : { socketFolder(), tlsFolder() })
        if (!QDir().mkpath(folder))
            return QStringLiteral("cannot create %1").arg(folder);
    if (!m_account.isEmpty()) {
        for (const QString &path : { m_root.path(), socketFolder(), tlsFolder() })
            if (!chownTree(path, m_account))
                return QStringLiteral("cannot hand %1 to %2").arg(path, m_account);
    }
    QString error = run(bin("initdb"),
        { QStringLiteral("-D"), dataFolder(), QStringLiteral("-U"), QLatin1String(SuperUser),
            QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
            QStringLiteral("--locale=C"), QStringLiteral("--no-sync") },
        InitTimeoutMs);
    if (!error.isEmpty())
        return QStringLiteral("initdb: ") + error;
    // The superuser over the socket in our own folder; everybody else over
    // the network port, with a password and, when served, only over TLS.
    const QByteArray hba = QByteArrayLiteral("local all all trust\n")
        + (m_options.tls ? "hostssl" : "host") + " all all 127.0.0.1/32 scram-sha-256\n";
    QFile file(dataFolder() + QStringLiteral("/pg_hba.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(hba) != hba.size())
        return QStringLiteral("cannot write %1").arg(file.fileName());
    file.close();
    if (m_options.tls) {
        error = makeCertificates();
        if (!error.isEmpty())
            return error;
    }
    m_initialised = true;
    return {};
}

QString PgServer::makeCertificates()
{
    // Made by the server's account, which must own the server's key.
    const QString folder = tlsFolder() + QLatin1Char('/');
    const QStringList ecKey = { QStringLiteral("-newkey"), QStringLiteral("ec"),
        QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
        QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("30") };
    const QStringList authority
        = { QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
              QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign") };
    const QList<QStringList> steps = {
        QStringList { QStringLiteral("req"), QStringLiteral("-x509") } + ecKey
            + QStringList { QStringLiteral("-keyout"), folder + QStringLiteral("ca.key"),
                QStringLiteral("-out"), rootCertificate(), QStringLiteral("-subj"),
                QStringLiteral("/CN=Zelmor test station CA") }
            + authority,
        QStringList { QStringLiteral("req"), QStringLiteral("-x509") } + ecKey
            + QStringList { QStringLiteral("-keyout"), folder + QStringLiteral("other-ca.key"),
                QStringLiteral("-out"), otherRootCertificate(), QStringLiteral("-subj"),
                QStringLiteral("/CN=Zelmor other CA") }
            + authority,
        QStringList { QStringLiteral("req") } + ecKey
            + QStringList { QStringLiteral("-keyout"), folder + QStringLiteral("server.key"),
                QStringLiteral("-out"), folder + QStringLiteral("server.crt"),
                QStringLiteral("-CA"), rootCertificate(), QStringLiteral("-CAkey"),
                folder + QStringLiteral("ca.key"), QStringLiteral("-subj"),
                QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:FALSE"),
                QStringLiteral("-addext"), QStringLiteral("extendedKeyUsage=serverAuth") },
    };
    for (const QStringList &arguments : steps) {
        const QString error = run(QStringLiteral("openssl"), arguments, ClientTimeoutMs);
        if (!error.isEmpty())
            return QStringLiteral("openssl: ") + error;
    }
    // The server refuses a key that others may read.
    if (!QFile::setPermissions(folder + QStringLiteral("server.key"),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return QStringLiteral("cannot protect %1server.key").arg(folder);
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
    // A restart keeps its port: clients come back to where the server was.
    // A first start whose port was taken meanwhile tries another.
    const bool firstStart = m_port == 0;
    QString error;
    for (int attempt = 0; attempt < (firstStart ? 3 : 1); ++attempt) {
        if (firstStart)
            m_port = freeLoopbackPort();
        if (m_port == 0)
            return QStringLiteral("no free port on %1").arg(QLatin1String(TcpHost));
        error = startOnce();
        if (error.isEmpty()) {
            m_running = true;
            return {};
        }
        if (!error.contains(QLatin1String("could not bind")))
            break;
    }
    if (firstStart)
        m_port = 0;
    return error;
}

QString PgServer::startOnce()
{
    QString options = QStringLiteral("-c listen_addresses='%1' -c unix_socket_directories='%2' "
                                     "-c port=%3 -c max_connections=40")
                          .arg(QLatin1String(TcpHost), socketFolder())
                          .arg(m_port);
    if (m_options.tls)
        options += QStringLiteral(" -c ssl=on -c ssl_cert_file='%1/server.crt' "
                                  "-c ssl_key_file='%1/server.key'")
                       .arg(tlsFolder());
    if (!m_options.durable)
        options
            += QStringLiteral(" -c fsync=off -c synchronous_commit=off -c full_page_writes=off");
    const QString error = run(bin("pg_ctl"),
        { QStringLiteral("-D"), dataFolder(), QStringLiteral("-l"), logFile(), QStringLiteral("-o"),
            options, QStringLiteral("-w"), QStringLiteral("-t"), QString::number(StartTimeoutS),
            QStringLiteral("start") },
        (StartTimeoutS + 10) * 1000);
    if (!error.isEmpty())
        return QStringLiteral("server did not start: %1\n%2").arg(error, logTail());
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
            socketFolder(), QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"),
            QLatin1String(SuperUser), QStringLiteral("-d"), database, QStringLiteral("-c"),
            statement },
        ClientTimeoutMs, &output);
    if (error)
        *error = e;
    return output.trimmed();
}

QString PgServer::createDatabase(const QString &name, const QString &owner)
{
    const auto quoted = [](QString id) { return '"' + id.replace('"', "\"\"") + '"'; };
    QString error;
    psql(QStringLiteral("postgres"),
        QStringLiteral("CREATE DATABASE %1").arg(quoted(name))
            + (owner.isEmpty() ? QString() : QStringLiteral(" OWNER ") + quoted(owner)),
        &error);
    return error;
}

QString PgServer::createStationRoles(int lanes)
{
    struct Role
    {
        QString name;
        bool login;
    };
    QList<Role> roles = { { QLatin1String(OwnerRole), true }, { QLatin1String(LanesRole), false },
        { QLatin1String(AdminRole), false }, { QLatin1String(ModelsRole), false } };
    for (int lane = 1; lane <= lanes; ++lane)
        roles.append({ laneRole(lane), true });
    QString statements;
    QByteArray passwords;
    for (const Role &r : roles) {
        statements += QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE "
                                     "rolname = '%1') THEN CREATE ROLE %1; END IF; END$$;\n")
                          .arg(r.name);
        if (!r.login) {
            statements += QStringLiteral("ALTER ROLE %1 NOLOGIN;\n").arg(r.name);
            continue;
        }
        const QString password = randomPassword();
        statements += QStringLiteral("ALTER ROLE %1 LOGIN PASSWORD '%2';\n").arg(r.name, password);
        passwords += QStringLiteral("*:%1:*:%2:%3\n").arg(m_port).arg(r.name, password).toUtf8();
    }
    for (int lane = 1; lane <= lanes; ++lane) {
        statements
            += QStringLiteral("GRANT %1 TO %2;\n").arg(QLatin1String(LanesRole), laneRole(lane));
        if (lane == ChiefLane)
            statements
                += QStringLiteral("GRANT %1, %2 TO %3;\n")
                       .arg(QLatin1String(AdminRole), QLatin1String(ModelsRole), laneRole(lane));
    }
    QString error;
    psql(QStringLiteral("postgres"), statements, &error);
    if (!error.isEmpty())
        return error;
    if (!writePrivateFile(passwordFile(), passwords))
        return QStringLiteral("cannot write %1").arg(passwordFile());
    return {};
}

QString PgServer::logTail(int lines) const
{
    QFile f(logFile());
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(no server log)");
    const QStringList all = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'));
    return all.mid(std::max<qsizetype>(0, all.size() - lines)).join(QLatin1Char('\n'));
}

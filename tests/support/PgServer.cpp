#include "tests/support/PgServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

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
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // Locale and client settings of the caller must not leak into the cluster.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "PGHOST", "PGPORT", "PGUSER", "PGDATABASE", "PGSERVICE" })
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_root.path());
    if (m_account.isEmpty()) {
        p.start(program, arguments);
    } else {
        QStringList wrapped { QStringLiteral("-u"), m_account, QStringLiteral("--"), program };
        p.start(QStringLiteral("runuser"), wrapped + arguments);
    }
    if (!p.waitForStarted(10000))
        return QStringLiteral("%1 did not start: %2").arg(program, p.errorString());
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return QStringLiteral("%1 did not finish within %2 ms").arg(program).arg(timeoutMs);
    }
    const QString text = QString::fromLocal8Bit(p.readAll());
    if (output)
        *output = text;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 failed (exit %2): %3").arg(program).arg(p.exitCode()).arg(text);
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

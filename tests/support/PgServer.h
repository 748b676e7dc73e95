#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A throwaway database server for tests and benchmarks: a fresh cluster in a
// temporary folder, reached only through a Unix socket in that folder, owned
// by an unprivileged account when the process runs as root (the server
// refuses to run as root). stop() and start() may be called again to simulate
// a server that goes away and comes back; the destructor stops the server and
// removes the folder. Every wait is bounded; failures come back as texts.
class PgServer
{
public:
    static constexpr const char *BinFolder = "/usr/lib/postgresql/15/bin";
    static constexpr const char *SuperUser = "zelmor";
    static constexpr int Port = 5432; // only names the socket file

    // durable: keep the server's flushes to disk (benchmarks); tests run
    // without them.
    explicit PgServer(bool durable = false);
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // Creates the cluster on the first call, then starts the server; returns
    // an empty text on success or what went wrong.
    QString start();
    QString stop();
    bool isRunning() const { return m_running; }

    // Creates an empty database; an empty text on success.
    QString createDatabase(const QString &name);
    // Runs one statement through the command-line client on a database and
    // returns its unaligned output (error text in *error).
    QString psql(const QString &database, const QString &statement, QString *error = nullptr);

    QString socketFolder() const { return m_root.path() + QStringLiteral("/sock"); }
    QString dataFolder() const { return m_root.path() + QStringLiteral("/data"); }
    QString logFile() const { return m_root.path() + QStringLiteral("/server.log"); }

    // The server log's last lines, for failure messages.
    QString logTail(int lines = 20) const;

private:
    QString initCluster();
    // Runs a server program (as the unprivileged account when root); returns
    // an empty text on success.
    QString run(const QString &program, const QStringList &arguments, int timeoutMs,
        QString *output = nullptr) const;

    bool m_durable;
    QTemporaryDir m_root;
    QString m_account; // empty when not root
    bool m_initialised = false;
    bool m_running = false;
};

#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A throwaway database server for tests and benchmarks: a fresh cluster in a
// temporary folder, owned by an unprivileged account when the process runs
// as root (the server refuses to run as root). It is reached as a station
// reaches its server: over TLS on 127.0.0.1 (a port picked free at the first
// start), with a certificate authority and a server certificate for
// 127.0.0.1 and localhost made in its folder, and passwords (scram-sha-256)
// from a password file there; and, for the tests' own set-up as the
// superuser, through a Unix socket in its folder. stop() and start() may be
// called again to simulate a server that goes away and comes back (the port
// stays); the destructor stops the server and removes the folder. Every wait
// is bounded; failures come back as texts.
class PgServer
{
public:
    static constexpr const char *BinFolder = "/usr/lib/postgresql/15/bin";
    static constexpr const char *SuperUser = "zelmor";
    static constexpr const char *TcpHost = "127.0.0.1";
    // The station's roles: the owner of the tables, the group of every lane,
    // the groups allowed to delete results and to edit the models, and one
    // login per lane; the chief's lane is also in the last two.
    static constexpr const char *OwnerRole = "zelmor_owner";
    static constexpr const char *LanesRole = "zelmor_lanes";
    static constexpr int ChiefLane = 2;
    static constexpr const char *AdminRole = "zelmor_admin";
    static constexpr const char *ModelsRole = "zelmor_models";
    static QString laneRole(int lane) { return QStringLiteral("zelmor_lane%1").arg(lane); }

    struct Options
    {
        // Keep the server's flushes to disk (benchmarks); tests run without.
        bool durable = false;
        // Serve TLS on the network port; without it the port speaks plain.
        bool tls = true;
    };

    PgServer();
    explicit PgServer(Options options);
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // Creates the cluster on the first call, then starts the server; returns
    // an empty text on success or what went wrong.
    QString start();
    QString stop();
    bool isRunning() const { return m_running; }

    // Creates an empty database (owned by owner when given); an empty text
    // on success.
    QString createDatabase(const QString &name, const QString &owner = QString());
    // Runs one statement through the command-line client on a database and
    // returns its unaligned output (error text in *error).
    QString psql(const QString &database, const QString &statement, QString *error = nullptr);

    // Creates the owner, the lanes, admin and models groups and lanes login
    // roles (each in the lanes' group, the chief's lane also in the others)
    // (again on a second call: roles that exist are kept, their passwords
    // renewed) and writes their passwords into passwordFile(). An empty text
    // on success.
    QString createStationRoles(int lanes);

    // The TCP port on 127.0.0.1, also the number in the socket's name; 0
    // before the first start.
    int port() const { return m_port; }
    QString socketFolder() const { return m_root.path() + QStringLiteral("/sock"); }
    QString dataFolder() const { return m_root.path() + QStringLiteral("/data"); }
    QString logFile() const { return m_root.path() + QStringLiteral("/server.log"); }
    // The certificate authority that signed the server's certificate, and
    // one that signed nothing of this server.
    QString rootCertificate() const { return tlsFolder() + QStringLiteral("/ca.crt"); }
    QString otherRootCertificate() const { return tlsFolder() + QStringLiteral("/other-ca.crt"); }
    // The client's password file for the roles createStationRoles() made.
    QString passwordFile() const { return m_root.path() + QStringLiteral("/pgpass"); }

    // The server log's last lines, for failure messages.
    QString logTail(int lines = 20) const;

private:
    QString tlsFolder() const { return m_root.path() + QStringLiteral("/tls"); }
    QString initCluster();
    QString makeCertificates();
    QString startOnce();
    // Runs a server program (as the unprivileged account when root); returns
    // an empty text on success.
    QString run(const QString &program, const QStringList &arguments, int timeoutMs,
        QString *output = nullptr) const;

    Options m_options;
    QTemporaryDir m_root;
    QString m_account; // empty when not root
    bool m_initialised = false;
    bool m_running = false;
    int m_port = 0;
};

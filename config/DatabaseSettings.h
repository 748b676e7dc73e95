#pragma once

#include <QString>

class IniFile;

// Where the program keeps its tables: the SQLite file below the program folder
// (the default, a single workstation) or a shared database server for a
// station with several lanes. Read from the section "Database" of the
// settings file; the section is written only when the operator sets it. The
// password is never kept here: the server's client library takes it from its
// password file (~/.pgpass).
struct DatabaseSettings
{
    enum class Driver { Sqlite, Psql };
    // How the connection to a server is encrypted, in the client library's
    // own terms. Default: verify-full for a server named by host name or
    // address, nothing for a Unix-socket folder (a socket is never
    // encrypted), and what the service file says for a service.
    enum class SslMode { Default, Disable, Allow, Prefer, Require, VerifyCa, VerifyFull };

    static constexpr const char *Section = "Database";
    static constexpr int DefaultPort = 5432;

    Driver driver = Driver::Sqlite;
    QString host; // host name, address or a Unix-socket folder; empty: the client's default
    int port = DefaultPort;
    QString name = QStringLiteral("zelmor"); // the database on the server
    QString user; // empty: the client's default (the account's name)
    // The station key of the result chain: a file only the workstation
    // accounts may read (relative to the program folder); empty: no key.
    QString chainKeyFile;
    SslMode sslMode = SslMode::Default;
    // The certificate authority that signed the server's certificate; empty:
    // the client's default (~/.postgresql/root.crt). A relative path is
    // taken from the program folder.
    QString sslRootCert;
    // An entry of the client's service file (~/.pg_service.conf, or the file
    // PGSERVICEFILE names): when set it takes the place of host, port, name
    // and user.
    QString service;

    bool isServer() const { return driver == Driver::Psql; }
    bool usesService() const { return !service.isEmpty(); }
    // The server is reached through a Unix socket (a folder, or the client's
    // default when no host is named).
    bool viaSocket() const;
    // The mode handed to the client library; empty when it is left to the
    // client (a socket) or to the service file.
    QString effectiveSslMode() const;

    // "SQLITE" / "PSQL"; any other text reads as the default, SQLite.
    static QString driverText(Driver driver);
    static Driver driverFromText(const QString &text);
    // The client library's word ("verify-full"); empty for Default. Any other
    // text reads as Default.
    static QString sslModeText(SslMode mode);
    static SslMode sslModeFromText(const QString &text);

    static DatabaseSettings read(const IniFile &ini);
    // From "conf/zelmor.ini" of the program folder, a relative root
    // certificate made absolute against that folder. A file refused (see
    // IniFile) gives the defaults, and *refusal, when given, says why.
    static DatabaseSettings readFromProgramFolder(
        const QString &programFolder, QString *refusal = nullptr);
    // Writes all keys (throws IoError when the file cannot be written).
    void write(IniFile &ini) const;

    // For messages: "сервер host:port, база name" or "служба name".
    QString describe() const;

    bool operator==(const DatabaseSettings &) const = default;
};

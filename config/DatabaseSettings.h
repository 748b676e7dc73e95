#pragma once

#include <QString>

class IniFile;

// Where the program keeps its tables: the SQLite file below the program folder
// (the default, a single workstation) or a shared database server for a
// station with several lanes. Read from the section "Database" of the
// settings file; the section is written only when the operator sets it. The
// password is never kept here: the server's client library takes it from its
// own password or service file.
struct DatabaseSettings
{
    enum class Driver { Sqlite, Psql };

    static constexpr const char *Section = "Database";
    static constexpr int DefaultPort = 5432;

    Driver driver = Driver::Sqlite;
    QString host; // host name or a Unix-socket folder; empty: the client's default
    int port = DefaultPort;
    QString name = QStringLiteral("zelmor"); // the database on the server
    QString user; // empty: the client's default (the account's name)
    // The station key of the result chain: a file only the workstation
    // accounts may read (relative to the program folder); empty: no key.
    QString chainKeyFile;

    bool isServer() const { return driver == Driver::Psql; }

    // "SQLITE" / "PSQL"; any other text reads as the default, SQLite.
    static QString driverText(Driver driver);
    static Driver driverFromText(const QString &text);

    static DatabaseSettings read(const IniFile &ini);
    // From "conf/zelmor.ini" of the program folder.
    static DatabaseSettings readFromProgramFolder(const QString &programFolder);
    // Writes all five keys (throws IoError when the file cannot be written).
    void write(IniFile &ini) const;

    // For messages: "сервер host:port, база name".
    QString describe() const;

    bool operator==(const DatabaseSettings &) const = default;
};

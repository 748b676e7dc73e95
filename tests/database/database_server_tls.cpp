// A lane reaches the station's server as a station runs it: its own role,
// TLS on 127.0.0.1, the server's certificate checked against the station's
// certificate authority, or a service from the service file. Each refusal is
// said in words, in the box and the log, never as the client library's text.

#include "database_lane_fixture.h"

#include "common/AppLog.h"
#include "database/DatabaseEngine.h"
#include "database/ServerConnect.h"

#include <QFile>
#include <QSqlQuery>

namespace {

using ServerTls = LaneFixture;

TEST_F(ServerTls, LaneConnectsOnlyToTheStationServerAndSaysWhyNot)
{
    ASSERT_TRUE(startError.isEmpty()) << qPrintable(startError);
    const QString database = freshStationDatabase();
    // A server that speaks no TLS at all.
    PgServer plain({ .tls = false });
    const QString plainStarted = plain.start();
    ASSERT_TRUE(plainStarted.isEmpty()) << qPrintable(plainStarted);

    // The service file a station's administrator writes for a workstation.
    QTemporaryDir services;
    const QString serviceFile = services.filePath(QStringLiteral("pg_service.conf"));
    {
        QFile f(serviceFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QString common = QStringLiteral("port=%1\ndbname=%2\nuser=%3\nsslmode=verify-full\n"
                                              "sslrootcert=%4\n")
                                   .arg(server->port())
                                   .arg(database, PgServer::laneRole(1), server->rootCertificate());
        f.write(QStringLiteral("[zelmor-lane1]\nhost=127.0.0.1\n%1"
                               "[wrong-name]\nhost=db.station.invalid\nhostaddr=127.0.0.1\n%1")
                    .arg(common)
                    .toUtf8());
    }
    qputenv("PGSERVICEFILE", QFile::encodeName(serviceFile));

    using Mode = DatabaseSettings::SslMode;
    const DatabaseSettings lane = laneSettings(database);
    const auto with = [&](auto change) {
        DatabaseSettings s = lane;
        change(s);
        return s;
    };
    const auto service = [&](const char *name) {
        return with([&](DatabaseSettings &s) {
            s.service = QLatin1String(name);
            // Ignored beside a service.
            s.host = QStringLiteral("/nowhere");
            s.name = QStringLiteral("nothing");
            s.user = QStringLiteral("nobody");
            s.sslRootCert.clear();
        });
    };
    struct Case
    {
        const char *name;
        DatabaseSettings settings;
        const char *words; // nullptr: connects over TLS
    } cases[] = {
        { "verify-full, the station's authority", lane, nullptr },
        { "another authority",
            with([&](DatabaseSettings &s) { s.sslRootCert = server->otherRootCertificate(); }),
            "сертификат сервера не заверен корневым сертификатом" },
        { "no root certificate file", with([&](DatabaseSettings &s) {
             s.sslRootCert = services.filePath(QStringLiteral("none.crt"));
         }),
            "нет корневого сертификата для проверки сервера" },
        { "a host name the certificate does not hold", service("wrong-name"),
            "имя сервера «db.station.invalid» не совпадает с его сертификатом" },
        { "a server without TLS, require", with([&](DatabaseSettings &s) {
             s.port = plain.port();
             s.sslMode = Mode::Require;
         }),
            "сервер не поддерживает шифрованные соединения" },
        { "a server without TLS, the default mode",
            with([&](DatabaseSettings &s) { s.port = plain.port(); }),
            "сервер не поддерживает шифрованные соединения" },
        { "encryption switched off", with([&](DatabaseSettings &s) { s.sslMode = Mode::Disable; }),
            "сервер принимает только шифрованные соединения" },
        { "a service names the server", service("zelmor-lane1"), nullptr },
        { "a service nobody described", service("lane9"), "служба «lane9» не описана" },
        { "a role without a password on this workstation",
            with([&](DatabaseSettings &s) { s.user = QLatin1String(PgServer::AdminRole); }),
            "нет пароля для входа на сервер" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString connection = QStringLiteral("tls-case");
        QString said;
        QString client;
        try {
            QSqlDatabase db = DatabaseEngine::openServer(connection, c.settings);
            // The server sees this lane's role on an encrypted connection.
            QString error;
            const QString seen = server->psql(QStringLiteral("postgres"),
                QStringLiteral("SELECT a.usename || CASE WHEN s.ssl THEN ' over TLS' END FROM "
                               "pg_stat_activity a JOIN "
                               "pg_stat_ssl s USING (pid) WHERE a.datname = '%1'")
                    .arg(database),
                &error);
            EXPECT_EQ(seen, PgServer::laneRole(1) + QStringLiteral(" over TLS"))
                << qPrintable(seen) << qPrintable(error);
            db.close();
        } catch (const ServerConnect::Error &e) {
            said = e.message();
            client = e.clientText();
        }
        QSqlDatabase::removeDatabase(connection);
        if (!c.words) {
            EXPECT_TRUE(said.isEmpty()) << qPrintable(said);
            continue;
        }
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.words))) << qPrintable(said);
        EXPECT_FALSE(client.isEmpty());
        EXPECT_FALSE(said.contains(client)) << "the client's own text: " << qPrintable(said);
    }
    qunsetenv("PGSERVICEFILE");

    // A workstation started against a server it must not trust says so in
    // its box and its log.
    const QString folder = laneFolder(Sqlite);
    QDir().mkpath(folder + QStringLiteral("conf"));
    IniFile ini(folder + QStringLiteral("conf/zelmor.ini"));
    with([&](DatabaseSettings &s) { s.sslRootCert = server->otherRootCertificate(); }).write(ini);
    try {
        openLane(folder);
        ADD_FAILURE() << "opened a server signed by another authority";
    } catch (const ZelmorError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("не заверен"))) << qPrintable(e.message());
    }
    QFile log(logDir.filePath(QLatin1String(LogFileName)));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logged = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(logged.contains(QStringLiteral("не заверен"))) << qPrintable(logged);
    EXPECT_TRUE(logged.contains(QStringLiteral("certificate verify failed")))
        << "the client's words for whoever traces it";
}

} // namespace

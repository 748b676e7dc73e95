#include "config/DatabaseSettings.h"
#include "config/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(DatabaseSettings, ComeFromTheirSectionWithSoundDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/zelmor.ini");
    using Mode = DatabaseSettings::SslMode;
    struct Case
    {
        const char *text;
        DatabaseSettings::Driver driver;
        QString host;
        int port;
        QString name;
        Mode sslMode;
        QString effectiveSslMode; // what the client library is handed
    } cases[] = {
        { "", DatabaseSettings::Driver::Sqlite, "", 5432, "zelmor", Mode::Default, "" },
        { "[Database]\r\nDriver=PSQL\r\nHost=/run/pg\r\nPort=6543\r\nName=station\r\n",
            DatabaseSettings::Driver::Psql, "/run/pg", 6543, "station", Mode::Default, "" },
        { "[Database]\r\nDriver=psql\r\nPort=abc\r\nName=\r\n", DatabaseSettings::Driver::Psql, "",
            5432, "zelmor", Mode::Default, "" },
        { "[Database]\r\nDriver=ORACLE\r\nPort=70000\r\n", DatabaseSettings::Driver::Sqlite, "",
            5432, "zelmor", Mode::Default, "" },
        // A server in the network is checked by default; what is named stands.
        { "[Database]\r\nDriver=PSQL\r\nHost=db.station.local\r\n", DatabaseSettings::Driver::Psql,
            "db.station.local", 5432, "zelmor", Mode::Default, "verify-full" },
        { "[Database]\r\nDriver=PSQL\r\nHost=10.0.0.5\r\nSslMode=Require\r\n",
            DatabaseSettings::Driver::Psql, "10.0.0.5", 5432, "zelmor", Mode::Require, "require" },
        { "[Database]\r\nDriver=PSQL\r\nHost=10.0.0.5\r\nSslMode=verify_full\r\n",
            DatabaseSettings::Driver::Psql, "10.0.0.5", 5432, "zelmor", Mode::Default,
            "verify-full" },
        { "[Database]\r\nDriver=PSQL\r\nHost=db\r\nService=lane1\r\n",
            DatabaseSettings::Driver::Psql, "db", 5432, "zelmor", Mode::Default, "" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.text);
        f.close();
        const DatabaseSettings s = DatabaseSettings::read(IniFile(path));
        EXPECT_EQ(s.driver, c.driver);
        EXPECT_EQ(s.host, c.host);
        EXPECT_EQ(s.port, c.port);
        EXPECT_EQ(s.name, c.name);
        EXPECT_EQ(s.sslMode, c.sslMode);
        EXPECT_EQ(s.effectiveSslMode(), c.effectiveSslMode);
    }
    // Written and read back whole; no password key is ever written.
    DatabaseSettings s;
    s.driver = DatabaseSettings::Driver::Psql;
    s.host = QStringLiteral("/run/postgresql");
    s.port = 6543;
    s.name = QStringLiteral("станция");
    s.user = QStringLiteral("lane1");
    s.sslMode = Mode::VerifyCa;
    s.sslRootCert = QStringLiteral("conf/station-ca.crt");
    s.service = QStringLiteral("zelmor");
    IniFile ini(path);
    s.write(ini);
    EXPECT_EQ(DatabaseSettings::read(ini), s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().toLower().contains("password"));
    // A relative root certificate is the program folder's.
    QDir(dir.path()).mkdir(QStringLiteral("conf"));
    ASSERT_TRUE(QFile::copy(path, dir.path() + QStringLiteral("/conf/zelmor.ini")));
    EXPECT_EQ(DatabaseSettings::readFromProgramFolder(dir.path()).sslRootCert,
        dir.path() + QStringLiteral("/conf/station-ca.crt"));
}

} // namespace

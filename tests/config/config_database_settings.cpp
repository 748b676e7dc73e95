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
    struct Case
    {
        const char *text;
        DatabaseSettings::Driver driver;
        QString host;
        int port;
        QString name;
    } cases[] = {
        { "", DatabaseSettings::Driver::Sqlite, "", 5432, "zelmor" },
        { "[Database]\r\nDriver=PSQL\r\nHost=/run/pg\r\nPort=6543\r\nName=station\r\n",
            DatabaseSettings::Driver::Psql, "/run/pg", 6543, "station" },
        { "[Database]\r\nDriver=psql\r\nPort=abc\r\nName=\r\n", DatabaseSettings::Driver::Psql, "",
            5432, "zelmor" },
        { "[Database]\r\nDriver=ORACLE\r\nPort=70000\r\n", DatabaseSettings::Driver::Sqlite, "",
            5432, "zelmor" },
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
    }
    // Written and read back whole; no password key is ever written.
    DatabaseSettings s;
    s.driver = DatabaseSettings::Driver::Psql;
    s.host = QStringLiteral("/run/postgresql");
    s.port = 6543;
    s.name = QStringLiteral("станция");
    s.user = QStringLiteral("lane1");
    IniFile ini(path);
    s.write(ini);
    EXPECT_EQ(DatabaseSettings::read(ini), s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().toLower().contains("password"));
}

} // namespace

#pragma once

#include "common/ProgramFolder.h"
#include "common/ZelmorError.h"
#include "config/DatabaseSettings.h"
#include "config/IniFile.h"
#include "database/ReportChain.h"
#include "database/StationRoles.h"
#include "database/ZelmorDatabase.h"
#include "tests/support/PgServer.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Workstations that keep their tables either in their own SQLite file or on
// one throwaway database server shared by the whole test program.
class LaneFixture : public ::testing::Test
{
public:
    enum Engine { Sqlite, Server };

protected:
    // One server for the whole test program, stopped and removed after the
    // last test.
    class ServerEnvironment : public ::testing::Environment
    {
    public:
        void TearDown() override
        {
            delete server;
            server = nullptr;
        }
    };
    static void SetUpTestSuite()
    {
        if (!server) {
            static ::testing::Environment *const environment
                = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);
            (void)environment;
            server = new PgServer();
            startError = server->start();
            if (startError.isEmpty())
                startError = server->createStationRoles(2);
            // The lanes' passwords, as a workstation reads them from ~/.pgpass.
            qputenv("PGPASSFILE", QFile::encodeName(server->passwordFile()));
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(logDir.isValid());
        setProgramFolder(logDir.path() + QLatin1Char('/'));
    }
    void TearDown() override { setProgramFolder(QString()); }

    // A fresh, empty database on the server for this test.
    QString freshServerDatabase()
    {
        static QAtomicInt counter;
        EXPECT_TRUE(startError.isEmpty()) << startError.toStdString();
        const QString name = QStringLiteral("lane_%1").arg(counter.fetchAndAddRelaxed(1));
        const QString error = server->createDatabase(name);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return name;
    }

    // A fresh database on the server owned by the station's owner role, who
    // has prepared it as the administrator does (tables, chain, rights).
    QString freshStationDatabase()
    {
        static QAtomicInt counter;
        EXPECT_TRUE(startError.isEmpty()) << startError.toStdString();
        const QString name = QStringLiteral("station_%1").arg(counter.fetchAndAddRelaxed(1));
        const QString error = server->createDatabase(name, QLatin1String(PgServer::OwnerRole));
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        try {
            StationRoles::initStation(ownerSettings(name), ReportChain::Context());
        } catch (const ZelmorError &e) {
            ADD_FAILURE() << "station database not prepared: " << qPrintable(e.message());
        }
        return name;
    }

    // The tests' own way in: the superuser through the server's socket.
    DatabaseSettings serverSettings(const QString &database) const
    {
        DatabaseSettings s;
        s.driver = DatabaseSettings::Driver::Psql;
        s.host = server->socketFolder();
        s.port = server->port();
        s.name = database;
        s.user = QLatin1String(PgServer::SuperUser);
        return s;
    }

    // A lane's way in: its own role over TLS on 127.0.0.1, the server's
    // certificate checked against the station's certificate authority.
    DatabaseSettings laneSettings(const QString &database, int lane = 1) const
    {
        DatabaseSettings s;
        s.driver = DatabaseSettings::Driver::Psql;
        s.host = QLatin1String(PgServer::TcpHost);
        s.port = server->port();
        s.name = database;
        s.user = PgServer::laneRole(lane);
        s.sslRootCert = server->rootCertificate();
        return s;
    }

    // The owner's way in: over TLS as a lane, with the owner role.
    DatabaseSettings ownerSettings(const QString &database) const
    {
        DatabaseSettings s = laneSettings(database);
        s.user = QLatin1String(PgServer::OwnerRole);
        return s;
    }

    // A program folder whose settings file points at the database, or that
    // keeps its own SQLite file.
    QString laneFolder(Engine engine, const QString &database = QString())
    {
        auto dir = std::make_unique<QTemporaryDir>();
        EXPECT_TRUE(dir->isValid());
        const QString folder = dir->path() + QLatin1Char('/');
        lanes.push_back(std::move(dir));
        if (engine == Server) {
            QDir().mkpath(folder + QStringLiteral("conf"));
            IniFile ini(folder + QStringLiteral("conf/zelmor.ini"));
            serverSettings(database).write(ini);
        }
        return folder;
    }

    // A lane's program folder on the station's server: its own role over TLS.
    QString stationLaneFolder(const QString &database, int lane)
    {
        const QString folder = laneFolder(Sqlite);
        QDir().mkpath(folder + QStringLiteral("conf"));
        IniFile ini(folder + QStringLiteral("conf/zelmor.ini"));
        laneSettings(database, lane).write(ini);
        return folder;
    }

    std::unique_ptr<ZelmorDatabase> openLane(const QString &folder)
    {
        auto db = std::make_unique<ZelmorDatabase>();
        db->open(folder);
        return db;
    }

    static TestResult result(int instrument, const QString &number, float co = 0.5f)
    {
        TestResult r;
        r.modelIndex = 1 + instrument % 3;
        r.govNumber = number;
        r.instrumentNumber = instrument;
        for (int i = 0; i < TestResult::MeanCount; ++i)
            r.means[i] = co + float(i) * 1.25f;
        return r;
    }

    static QVariant scalar(const QSqlDatabase &db, const QString &statement)
    {
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(statement)) << statement.toStdString();
        return q.next() ? q.value(0) : QVariant();
    }

    static PgServer *server;
    static QString startError;
    QTemporaryDir logDir;
    std::vector<std::unique_ptr<QTemporaryDir>> lanes;
};

inline PgServer *LaneFixture::server = nullptr;
inline QString LaneFixture::startError;

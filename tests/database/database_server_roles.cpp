// Lanes on the station's server log in with roles of their own: a lane reads
// and stores results, only the chief's lane deletes one (an entry of the
// chain) or edits the models, and nobody but the owner rewrites or drops
// what is stored, whatever SQL a lane's account sends.

#include "database_lane_fixture.h"

#include "database/DatabaseEngine.h"
#include "database/StationRoles.h"
#include "database/TableCursor.h"
#include "database/VerifyReports.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace {

using ServerRoles = LaneFixture;

QString reportsSummary(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) || '/' || coalesce(sum(\"MinCO\"), 0) || '/' || "
                               "(SELECT count(*) FROM report_chain_entries) || '/' || "
                               "(SELECT string_agg(\"LastHash\", ',') FROM report_chains) || '/' "
                               "|| (SELECT sum(\"MaxCO\") FROM \"models.DB\") FROM \"reports.db\""))
        || !q.next())
        return q.lastError().text();
    return q.value(0).toString();
}

TEST_F(ServerRoles, LaneStoresButCannotDeleteRewriteOrDropWhatIsStored)
{
    ASSERT_TRUE(startError.isEmpty()) << qPrintable(startError);
    const QString database = freshStationDatabase();
    std::unique_ptr<ZelmorDatabase> lane;
    ASSERT_NO_THROW(lane = openLane(stationLaneFolder(database, 1)));
    const int first = lane->StoreTestResult(result(1001, QStringLiteral("А111АА77")));
    const int second = lane->StoreTestResult(result(1001, QStringLiteral("В222ВВ77")));
    ASSERT_GT(second, first);

    // What the lane may not do is greyed out and refused in words, and
    // nothing changes.
    EXPECT_EQ(lane->deleteRefusal(), StationRoles::noDeleteRight());
    EXPECT_EQ(lane->tbModels()->readOnlyReason(), StationRoles::noModelsRight());
    EXPECT_TRUE(lane->readOnlyReason().isEmpty());
    try {
        lane->deleteReport(first);
        ADD_FAILURE() << "a lane deleted a result";
    } catch (const DatabaseWriteError &e) {
        EXPECT_EQ(e.message(), StationRoles::noDeleteRight());
    }

    // The lane's own account, as someone at its keyboard with a database
    // client would use it.
    const QSqlDatabase db = lane->connection();
    const QString before = reportsSummary(db);
    const QString prev = QString(64, QLatin1Char('0'));
    const char *const attacks[] = {
        "UPDATE \"reports.db\" SET \"MinCO\" = 0",
        "DELETE FROM \"reports.db\"",
        "TRUNCATE \"reports.db\"",
        "INSERT INTO \"reports.db\" (\"Index\", \"ZMNum\", \"MinCO\") VALUES (9999, 1001, 0)",
        "ALTER TABLE \"reports.db\" DISABLE TRIGGER ALL",
        "DROP TABLE report_chain_entries",
        "DELETE FROM report_chains",
        "UPDATE report_chains SET \"LastHash\" = ''",
        "INSERT INTO report_chain_entries (\"Chain\", \"Seq\") VALUES ('1001', 99)",
        "UPDATE \"models.DB\" SET \"MaxCO\" = 9",
        "DELETE FROM report_counts",
        // The deletion function is the admins', and the functions the owner's.
        "SELECT zelmor_delete_report('1001', 3, 2, '@HASH@', '@HASH@', '', @INDEX@, '@HASH@')",
        "CREATE OR REPLACE FUNCTION zelmor_append_report(varchar, bigint, integer, varchar, "
        "varchar, jsonb) RETURNS integer LANGUAGE sql AS 'SELECT 0'",
        // A function of the same name earlier on someone's search path.
        "CREATE FUNCTION public.jsonb_populate_record(anyelement, jsonb) RETURNS anyelement "
        "LANGUAGE sql AS 'SELECT $1'",
        "ALTER TABLE \"reports.db\" OWNER TO zelmor_lane1",
    };
    for (const char *attack : attacks) {
        const QString statement = QString::fromLatin1(attack)
                                      .replace(QStringLiteral("@HASH@"), prev)
                                      .replace(QStringLiteral("@INDEX@"), QString::number(first));
        SCOPED_TRACE(statement.toStdString());
        QSqlQuery q(db);
        EXPECT_FALSE(q.exec(statement));
        EXPECT_EQ(q.lastError().nativeErrorCode(), QStringLiteral("42501"))
            << qPrintable(q.lastError().text());
    }
    EXPECT_EQ(reportsSummary(db), before);

    // The lane's own store function, called by hand: a row that takes the
    // largest Index (nobody's next result would get a number), and another
    // instrument's row put into this instrument's chain (breaking it).
    const struct
    {
        const char *index; // "next": the one handed out
        int instrument;
        const char *refusal;
    } forged[] = { { "2147483647", 1001, "was not handed out" },
        { "next", 1002, "does not belong to chain" } };
    for (const auto &f : forged) {
        SCOPED_TRACE(f.refusal);
        QSqlDatabase session = db;
        ASSERT_TRUE(session.transaction());
        QSqlQuery q(session);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "SELECT last_seq, last_hash, next_index FROM zelmor_chain_begin('1001', 2, '')")));
        ASSERT_TRUE(q.next());
        const QString index
            = qstrcmp(f.index, "next") == 0 ? q.value(2).toString() : QString::fromLatin1(f.index);
        const QString append
            = QStringLiteral("SELECT zelmor_append_report('1001', %1, 2, '%2', '%3', "
                             "'{\"Index\": %4, \"ZMNum\": %5}')")
                  .arg(q.value(0).toLongLong() + 1)
                  .arg(q.value(1).toString(), QString(64, QLatin1Char('a')), index)
                  .arg(f.instrument);
        EXPECT_FALSE(q.exec(append));
        EXPECT_TRUE(q.lastError().text().contains(QLatin1String(f.refusal)))
            << qPrintable(q.lastError().text());
        session.rollback();
    }
    EXPECT_EQ(reportsSummary(db), before);

    // Another session that holds the instrument's chain in an open
    // transaction keeps a store waiting a few seconds, not for ever.
    {
        QSqlDatabase holder
            = DatabaseEngine::openServer(QStringLiteral("holder"), laneSettings(database));
        ASSERT_TRUE(holder.transaction());
        QSqlQuery hold(holder);
        ASSERT_TRUE(hold.exec(QStringLiteral("SELECT * FROM zelmor_chain_begin('1001', 2, '')")));
        try {
            lane->StoreTestResult(result(1001, QStringLiteral("Е444ЕЕ77")));
            ADD_FAILURE() << "stored into a chain another session held";
        } catch (const DatabaseWriteError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("заняты другим сеансом")))
                << qPrintable(e.message());
        }
        holder.rollback();
        hold = QSqlQuery();
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    EXPECT_EQ(reportsSummary(db), before);

    // A right taken away while the lane runs: the server refuses, the
    // operator reads why.
    QString error;
    server->psql(database,
        QStringLiteral("REVOKE EXECUTE ON FUNCTION zelmor_append_report(varchar, bigint, integer, "
                       "varchar, varchar, jsonb) FROM zelmor_lanes"),
        &error);
    ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
    try {
        lane->StoreTestResult(result(1001, QStringLiteral("С333СС77")));
        ADD_FAILURE() << "stored without the right";
    } catch (const DatabaseWriteError &e) {
        EXPECT_EQ(e.message(), StationRoles::noStoreRight());
    }
    EXPECT_EQ(reportsSummary(db), before);

    const ReportChain::VerifyResult check = ReportChain::verify(db);
    EXPECT_TRUE(check.intact()) << qPrintable(check.cannotCheck);
    EXPECT_EQ(check.rows, 2);
}

TEST_F(ServerRoles, ChiefDeletesIntoTheChainAndEditsModels)
{
    ASSERT_TRUE(startError.isEmpty()) << qPrintable(startError);
    const QString database = freshStationDatabase();
    std::unique_ptr<ZelmorDatabase> lane = openLane(stationLaneFolder(database, 1));
    std::unique_ptr<ZelmorDatabase> chief
        = openLane(stationLaneFolder(database, PgServer::ChiefLane));
    const int kept = lane->StoreTestResult(result(1001, QStringLiteral("А111АА77")));
    const int gone = lane->StoreTestResult(result(1001, QStringLiteral("В222ВВ77")));
    chief->StoreTestResult(result(1002, QStringLiteral("Е555ЕЕ77")));

    EXPECT_TRUE(chief->deleteRefusal().isEmpty());
    EXPECT_TRUE(chief->tbModels()->readOnlyReason().isEmpty());
    EXPECT_TRUE(chief->deleteReport(gone).isEmpty());
    const QSqlDatabase db = chief->connection();
    EXPECT_EQ(scalar(db,
                  QStringLiteral("SELECT count(*) FROM report_chain_entries WHERE \"Kind\" = 'D' "
                                 "AND \"SubjectIndex\" = %1")
                      .arg(gone))
                  .toInt(),
        1);
    EXPECT_EQ(scalar(db, QStringLiteral("SELECT count(*) FROM \"reports.db\"")).toInt(), 2);
    for (const char *edit : { "UPDATE \"models.DB\" SET \"MaxCO\" = 4.5 WHERE \"Index\" = 1",
             "INSERT INTO \"models.DB\" (\"Name\") VALUES ('Новая')" }) {
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QString::fromUtf8(edit))) << edit << qPrintable(q.lastError().text());
    }
    // Even the chief changes no stored result but through the chain.
    QSqlQuery rewrite(db);
    EXPECT_FALSE(rewrite.exec(
        QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 0 WHERE \"Index\" = %1").arg(kept)));

    for (const QSqlDatabase &reader : { db, lane->connection() }) {
        const ReportChain::VerifyResult check = ReportChain::verify(reader);
        EXPECT_TRUE(check.intact()) << qPrintable(check.cannotCheck);
        EXPECT_EQ(check.rows, 2);
    }
}

TEST_F(ServerRoles, UnpreparedDatabaseNamesTheCommandThatPreparesIt)
{
    ASSERT_TRUE(startError.isEmpty()) << qPrintable(startError);
    // Created for the owner, never prepared: a lane may create nothing.
    static int counter = 0;
    const QString database = QStringLiteral("unprepared_%1").arg(counter++);
    ASSERT_TRUE(server->createDatabase(database, QLatin1String(PgServer::OwnerRole)).isEmpty());
    const QString folder = stationLaneFolder(database, 1);
    try {
        openLane(folder);
        ADD_FAILURE() << "a lane opened a database nobody prepared";
    } catch (const ZelmorError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("zelmor --init-station-db")))
            << qPrintable(e.message());
    }

    // The administrator's command, from the lane's folder, as the owner;
    // and once more, which changes nothing.
    for (const char *role : { PgServer::OwnerRole, PgServer::OwnerRole }) {
        QString said;
        QTextStream out(&said);
        EXPECT_EQ(
            VerifyReports::initStation(folder, QLatin1String(role), out), VerifyReports::Intact)
            << qPrintable(said);
        EXPECT_TRUE(said.contains(QStringLiteral("conf/station.sql"))) << qPrintable(said);
    }
    // With a service the service names the user: a role given on the
    // command line is refused, not dropped unsaid.
    {
        const QString viaService = laneFolder(Sqlite);
        QDir().mkpath(viaService + QStringLiteral("conf"));
        IniFile ini(viaService + QStringLiteral("conf/zelmor.ini"));
        DatabaseSettings s = laneSettings(database);
        s.service = QStringLiteral("zelmor-lane1");
        s.write(ini);
        QString said;
        QTextStream out(&said);
        EXPECT_EQ(VerifyReports::initStation(viaService, QLatin1String(PgServer::OwnerRole), out),
            VerifyReports::CannotCheck);
        EXPECT_TRUE(said.contains(QStringLiteral("служба «zelmor-lane1»"))) << qPrintable(said);
    }
    // A lane cannot do the owner's part.
    QString said;
    QTextStream out(&said);
    EXPECT_EQ(VerifyReports::initStation(folder, QString(), out), VerifyReports::CannotCheck);
    EXPECT_FALSE(said.isEmpty());

    std::unique_ptr<ZelmorDatabase> lane;
    ASSERT_NO_THROW(lane = openLane(folder));
    EXPECT_GT(lane->StoreTestResult(result(1001, QStringLiteral("А111АА77"))), 0);
}

} // namespace

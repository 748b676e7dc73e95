#include "database_lane_fixture.h"

#include "common/ZelmorError.h"
#include "database/ReportCounts.h"
#include "database/ReportFilter.h"
#include "database/ShippedModels.h"
#include "database/TableCursor.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSet>

#include <functional>
#include <thread>

namespace {

const QDateTime StoredAt(QDate(2009, 2, 23), QTime(14, 3, 27));

using ServerLanes = LaneFixture;

// Runs each job in a thread of its own at the same time (each opens its own
// connection, as a workstation does) and returns their error texts.
QStringList runTogether(const std::vector<std::function<void()>> &jobs)
{
    // std::thread, not QThread: its join is one the thread sanitizer sees, so
    // the jobs' accesses are known to be done when the test goes on.
    QStringList errors;
    QMutex mutex;
    std::vector<std::thread> threads;
    for (const auto &job : jobs) {
        threads.emplace_back([&, job] {
            try {
                job();
            } catch (const ZelmorError &e) {
                QMutexLocker lock(&mutex);
                errors << e.message();
            }
        });
    }
    for (auto &t : threads)
        t.join();
    return errors;
}

TEST_F(ServerLanes, TwoFirstStartsTogetherCreateTheTablesAndModelsOnce)
{
    const QString database = freshServerDatabase();
    const QString a = laneFolder(Server, database);
    const QString b = laneFolder(Server, database);
    QAtomicInt opened;
    const QStringList errors = runTogether({
        [&] {
            openLane(a);
            opened.ref();
        },
        [&] {
            openLane(b);
            opened.ref();
        },
    });
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(opened.loadRelaxed(), 2);
    auto db = openLane(a);
    EXPECT_EQ(
        scalar(db->connection(), QStringLiteral("SELECT count(*) FROM \"models.DB\"")).toInt(),
        shippedModels().size());
    EXPECT_EQ(db->tbModels()->rowCount(), shippedModels().size());
    EXPECT_EQ(db->CurrentModel().Name, shippedModels().first().Name);
}

TEST_F(ServerLanes, StoredResultReadsBackAndIsListedAsOnSqlite)
{
    auto server = openLane(laneFolder(Server, freshServerDatabase()));
    auto local = openLane(laneFolder(Sqlite));
    const TestResult r = result(4711, QStringLiteral("А123ВС777"), 0.4567f);
    for (ZelmorDatabase *db : { server.get(), local.get() }) {
        SCOPED_TRACE(db->connection().driverName().toStdString());
        const int first = db->StoreTestResult(r, StoredAt);
        const int second
            = db->StoreTestResult(result(17, QStringLiteral("В1")), StoredAt.addDays(1));
        EXPECT_GT(second, first);

        QSqlQuery q(db->connection());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT \"Date\", \"Time\", \"GovNumber\", \"MinCO\", "
                                          "\"ZMNum\", \"Model\" FROM \"reports.db\" WHERE "
                                          "\"Index\" = %1")
                               .arg(first)));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toDate(), StoredAt.date());
        EXPECT_EQ(q.value(1).toString().left(8), QStringLiteral("14:03:27"));
        EXPECT_EQ(q.value(2).toString(), QStringLiteral("А123ВС77")); // cut to 8
        EXPECT_DOUBLE_EQ(q.value(3).toDouble(), 0.46);
        EXPECT_EQ(q.value(4).toInt(), 4711);

        // The browser's searches find the same rows on both engines.
        struct Case
        {
            bool byDate, byModel, byNumber;
            QList<int> expected;
        } cases[] = {
            { false, false, false, { first, second } },
            { true, false, false, { first } },
            { false, true, false, { first } },
            { false, false, true, { first } },
            { true, true, true, { first } },
        };
        for (const Case &c : cases) {
            ReportFilter f;
            f.byDate = c.byDate;
            f.byModel = c.byModel;
            f.byGovNumber = c.byNumber;
            f.date = StoredAt.date();
            f.modelName = db->modelByIndex(r.modelIndex).Name;
            f.govNumber = QStringLiteral("А123ВС77");
            QList<int> listed;
            for (const ReportFilter::Row &row : f.run(db->connection()))
                listed << row.index;
            EXPECT_EQ(listed, c.expected) << c.byDate << c.byModel << c.byNumber;
        }
        db->tbReports()->last();
        EXPECT_EQ(db->tbReports()->asInteger(QStringLiteral("Index")), second);
        db->deleteReport(first);
        EXPECT_EQ(db->tbReports()->rowCount(), 1);
        EXPECT_TRUE(ReportChain::verify(db->connection()).intact());
    }
}

TEST_F(ServerLanes, ModelsAreEditedThroughTheSharedCursorOnTheServer)
{
    const QString database = freshServerDatabase();
    auto db = openLane(laneFolder(Server, database));
    TableCursor *models = db->tbModels();
    models->insert();
    models->setValue(QStringLiteral("Name"), QStringLiteral("Газель"));
    models->setValue(QStringLiteral("MinCO"), 1.5);
    models->post();
    models->last();
    const int added = models->asInteger(QStringLiteral("Index"));
    EXPECT_GT(added, int(shippedModels().size())); // the server's key
    models->first();
    models->setValue(QStringLiteral("MaxCH"), 321.0);
    models->post();

    // Another lane sees both changes.
    auto other = openLane(laneFolder(Server, database));
    EXPECT_EQ(other->modelByIndex(added).Name, QStringLiteral("Газель"));
    EXPECT_DOUBLE_EQ(other->modelByIndex(added).limits.MinCO, 1.5);
    EXPECT_DOUBLE_EQ(other->CurrentModel().limits.MaxCH, 321.0);
    models->last();
    models->deleteCurrent();
    EXPECT_EQ(other->modelByIndex(added).Index, 0);
}

TEST_F(ServerLanes, TwoWorkstationsStoringAtOnceKeepDistinctIndexesAndWholeChains)
{
    constexpr int PerLane = 100;
    struct Case
    {
        const char *name;
        int instrumentA, instrumentB, chains;
    } cases[] = {
        { "two instruments", 1001, 1002, 2 },
        { "one instrument on both lanes", 1003, 1003, 1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString database = freshServerDatabase();
        const QString a = laneFolder(Server, database);
        const QString b = laneFolder(Server, database);
        auto lane = [&](const QString &folder, int instrument, const QString &numbers) {
            return [&, folder, instrument, numbers] {
                auto db = openLane(folder);
                for (int i = 0; i < PerLane; ++i)
                    db->StoreTestResult(
                        result(instrument, numbers.arg(i), i * 0.01f), StoredAt.addSecs(i));
            };
        };
        const QStringList errors = runTogether({ lane(a, c.instrumentA, QStringLiteral("Н%1")),
            lane(b, c.instrumentB, QStringLiteral("Л%1")) });
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

        auto db = openLane(a);
        QSqlQuery q(db->connection());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT \"Index\" FROM \"reports.db\"")));
        QSet<int> indexes;
        int rows = 0;
        while (q.next()) {
            indexes.insert(q.value(0).toInt());
            ++rows;
        }
        EXPECT_EQ(rows, 2 * PerLane);
        EXPECT_EQ(indexes.size(), 2 * PerLane);
        const ReportChain::VerifyResult check = ReportChain::verify(db->connection());
        EXPECT_TRUE(check.intact()) << check.faults.value(0).text().toStdString();
        EXPECT_EQ(check.rows, 2 * PerLane);
        EXPECT_EQ(check.chains, c.chains);
    }
}

TEST_F(ServerLanes, ResultKeptThroughALostServerIsStoredOnceWhenItIsBack)
{
    const QString folder = laneFolder(Server, freshServerDatabase());
    auto db = openLane(folder);
    db->StoreTestResult(result(5, QStringLiteral("А1")), StoredAt);
    const TestResult kept = result(5, QStringLiteral("А2"));
    const QDateTime keptAt = StoredAt.addSecs(60);

    ASSERT_EQ(server->stop(), QString());
    QElapsedTimer waited;
    waited.start();
    EXPECT_THROW(db->StoreTestResult(kept, keptAt), ZelmorError);
    // A second workstation starting now learns why it has no tables.
    try {
        openLane(folder);
        ADD_FAILURE() << "opened without a server";
    } catch (const ZelmorError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("недоступен")))
            << e.message().toStdString();
    }
    EXPECT_LT(waited.elapsed(), 60000); // bounded, not hung

    ASSERT_EQ(server->start(), QString());
    const int index = db->StoreTestResult(kept, keptAt);
    // Pressed once more (its answer lost): the same result is not stored twice.
    EXPECT_EQ(db->StoreTestResult(kept, keptAt), index);
    EXPECT_EQ(
        scalar(db->connection(), QStringLiteral("SELECT count(*) FROM \"reports.db\"")).toInt(), 2);
    EXPECT_TRUE(ReportChain::verify(db->connection()).intact());
    // A new result with the same fields a minute later is a new row.
    EXPECT_NE(db->StoreTestResult(kept, keptAt.addSecs(60)), index);
}

} // namespace

namespace {

// The browser's counts of all reports and of each model stay what a count
// of the rows says, whatever changes the rows and whoever makes the change.
TEST_F(ServerLanes, ListCountsFollowEveryChangeOfTheReports)
{
    const QString database = freshServerDatabase();
    auto db = openLane(laneFolder(Server, database));
    QSqlDatabase c = db->connection();
    ASSERT_TRUE(ReportCounts::exists(c));
    const auto sql = [&](const QString &statement) {
        QString error;
        server->psql(database, statement, &error);
        ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
    };
    QList<int> stored;
    struct Step
    {
        const char *name;
        std::function<void()> change;
    } steps[] = {
        { "stored by two instruments",
            [&] {
                for (int i = 0; i < 6; ++i)
                    stored << db->StoreTestResult(
                        result(11 + i % 2, QStringLiteral("Н%1").arg(i)), StoredAt.addSecs(i));
            } },
        { "deleted in the browser", [&] { db->deleteReport(stored.takeFirst()); } },
        { "inserted by hand, without instrument or model",
            [&] {
                sql(QStringLiteral("INSERT INTO \"reports.db\" (\"Date\", \"GovNumber\") SELECT "
                                   "date '2020-01-01', 'X' || g FROM generate_series(1, 5) g"));
            } },
        { "model changed by hand",
            [&] {
                sql(QStringLiteral("UPDATE \"reports.db\" SET \"Model\" = 3 WHERE \"ZMNum\" = 11"));
            } },
        { "deleted by hand",
            [&] {
                sql(QStringLiteral(
                    "DELETE FROM \"reports.db\" WHERE \"Model\" IS NULL AND \"GovNumber\" < 'X3'"));
            } },
        { "results hashed again (no key changes)",
            [&] { sql(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = \"MinCO\"")); } },
        { "emptied", [&] { sql(QStringLiteral("TRUNCATE \"reports.db\"")); } },
        { "stored again",
            [&] { stored = { db->StoreTestResult(result(12, QStringLiteral("Н9")), StoredAt) }; } },
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        for (const int model : { -1, 1, 2, 3, 0 }) {
            SCOPED_TRACE(model);
            ReportFilter f;
            f.byModel = model >= 0;
            f.modelName = db->modelByIndex(model).Name;
            f.resolveModel(c);
            const QString where
                = model >= 0 ? QStringLiteral(" WHERE \"Model\" = %1").arg(model) : QString();
            EXPECT_EQ(f.count(c),
                scalar(c, QStringLiteral("SELECT count(*) FROM \"reports.db\"") + where).toInt());
        }
    }
    // The newest report is found from the end of the list.
    ReportFilter all;
    all.resolveModel(c);
    EXPECT_EQ(all.position(c, stored.last(), all.count(c)), all.count(c) - 1);

    // A database kept before the counts existed gains them at the next start.
    sql(QStringLiteral("DROP TABLE report_counts; DROP FUNCTION report_counts_follow() CASCADE"));
    c = QSqlDatabase();
    db.reset();
    db = openLane(laneFolder(Server, database));
    EXPECT_TRUE(ReportCounts::exists(db->connection()));
    EXPECT_EQ(ReportCounts::reports(db->connection()), 1);
}

} // namespace

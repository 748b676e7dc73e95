#include "database_fixture.h"

#include "common/ZelmorError.h"
#include "database/TableCursor.h"
#include "tables/FieldNames.h"

#include <QSqlRecord>

namespace {

const QDateTime StoredAt(QDate(2009, 2, 23), QTime(14, 3, 27));

QSqlRecord reportRow(const QSqlDatabase &db, int index)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT * FROM \"reports.db\" WHERE \"Index\" = ?"));
    q.addBindValue(index);
    EXPECT_TRUE(q.exec());
    EXPECT_TRUE(q.next());
    return q.record();
}

struct RoundingCase
{
    int meanIndex; // position in TestMeans
    float mean;
    double stored;
};

TEST_F(DatabaseFixture, StoredMeansAreRoundedThroughTheirFixedPointText)
{
    const RoundingCase cases[] = {
        { 1, 1234.56f, 1235 }, // CH, 4 digits, 2 decimals
        { 8, 12345.6f, 12350 }, // more integer digits than significant ones
        { 0, 0.4567f, 0.46 }, // CO
        { 3, 20.954f, 20.95 }, // O2
        { 4, 123.6f, 124 }, // NOx, no decimals
        { 5, 812.4f, 812 }, // engine speed
        { 6, 1.034f, 1.0 }, // lambda: 2 significant digits
        { 13, 0.987f, 0.99 },
        { 7, 0.0f, 0 },
    };
    openDb();
    TestResult r;
    r.modelIndex = 3;
    r.govNumber = QStringLiteral("А123ВС77");
    r.instrumentNumber = 4711;
    for (const RoundingCase &c : cases)
        r.means[c.meanIndex] = c.mean;
    const int index = db->StoreTestResult(r, StoredAt);
    const QSqlRecord row = reportRow(db->connection(), index);
    for (const RoundingCase &c : cases) {
        SCOPED_TRACE(FieldNames::Means[c.meanIndex]);
        EXPECT_DOUBLE_EQ(
            row.value(QLatin1String(FieldNames::Means[c.meanIndex])).toDouble(), c.stored);
    }
    EXPECT_EQ(row.value(QStringLiteral("Date")).toDate(), StoredAt.date());
    EXPECT_EQ(row.value(QStringLiteral("Time")).toString(), QStringLiteral("14:03:27"));
    EXPECT_EQ(row.value(QStringLiteral("ZMNum")).toDouble(), 4711);
    EXPECT_EQ(row.value(QStringLiteral("Model")).toDouble(), 3);
    EXPECT_EQ(row.value(QStringLiteral("GovNumber")).toString(), QStringLiteral("А123ВС77"));
}

TEST_F(DatabaseFixture, StoringAppendsInIndexOrderAndCutsTheNumberToEightCharacters)
{
    openDb();
    // The models cursor may stand anywhere: the row names the model it is given.
    db->tbModels()->last();
    const int first = storeReport(2, QStringLiteral("АБВГДЕЖЗИК"), StoredAt);
    const int second = storeReport(5, QStringLiteral("X1"), StoredAt.addSecs(60));
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(column(QStringLiteral("SELECT GovNumber FROM \"reports.db\" ORDER BY \"Index\"")),
        (QVariantList { QStringLiteral("АБВГДЕЖЗ"), QStringLiteral("X1") }));
    EXPECT_EQ(column(QStringLiteral("SELECT Model FROM \"reports.db\" ORDER BY \"Index\"")),
        (QVariantList { 2.0, 5.0 }));
    EXPECT_EQ(db->tbReports()->rowCount(), 2);
}

// Another program holding the database for writing: the store waits a
// moment, then fails with a clear error and leaves no row behind.
TEST_F(DatabaseFixture, LockedDatabaseGivesAnErrorAndNoRow)
{
    openDb();
    storeReport(1, QStringLiteral("A1"), StoredAt);
    clearLog();
    {
        QSqlDatabase other
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(dbPath());
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
        ASSERT_TRUE(
            hold.exec(QStringLiteral("INSERT INTO \"reports.db\" (GovNumber) VALUES ('OTHER')")));

        TestResult r;
        r.modelIndex = 1;
        r.govNumber = QStringLiteral("B2");
        try {
            db->StoreTestResult(r, StoredAt);
            ADD_FAILURE() << "stored into a locked database";
        } catch (const DatabaseWriteError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("locked")))
                << e.message().toStdString();
        }
        ASSERT_TRUE(hold.exec(QStringLiteral("ROLLBACK")));
        hold = QSqlQuery();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    EXPECT_EQ(column(QStringLiteral("SELECT GovNumber FROM \"reports.db\"")),
        QVariantList { QStringLiteral("A1") });
    // The failure is in the log with the engine's words.
    const QStringList log = logLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("database error: result not stored: ")))
        << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("locked"))) << log[0].toStdString();
    // And once the other program lets go, storing works again.
    storeReport(1, QStringLiteral("B2"), StoredAt);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM \"reports.db\"")), QVariantList { 2 });
}

TEST_F(DatabaseFixture, DeletingAReportRemovesThatOneOnly)
{
    openDb();
    const int a = storeReport(1, QStringLiteral("A"), StoredAt);
    const int b = storeReport(1, QStringLiteral("B"), StoredAt);
    const int c = storeReport(1, QStringLiteral("C"), StoredAt);
    db->tbReports()->first();
    db->deleteReport(b);
    EXPECT_EQ(column(QStringLiteral("SELECT \"Index\" FROM \"reports.db\" ORDER BY \"Index\"")),
        (QVariantList { a, c }));
    EXPECT_EQ(db->tbReports()->rowCount(), 2);
}

TEST_F(DatabaseFixture, SelectedVehicleLimitsFeedTheGraphInItsOrder)
{
    ModelLimits l;
    l.MinTax = 800;
    l.MinTaxD = 100;
    l.MinCO = 0.5;
    l.MinLambda = 1.0;
    l.MaxTax = 3000;
    l.MaxCH = 600;
    const auto set = l.limitSet();
    EXPECT_EQ(set[0], 0.5f); // MinCO first
    EXPECT_EQ(set[5], 800.f); // MinTax after the gases
    EXPECT_EQ(set[6], 1.0f); // MinLambda
    EXPECT_EQ(set[7], 100.f); // MinTaxD last of the minimum block
    EXPECT_EQ(set[9], 600.f); // MaxCH
    EXPECT_EQ(set[13], 3000.f);
    EXPECT_EQ(l.speedWindowLow(), 700.f);
    EXPECT_EQ(l.speedWindowHigh(), 900.f);
    EXPECT_EQ(l.lambdaWindowLow(), 0.5f);
    EXPECT_EQ(l.lambdaWindowHigh(), 1.5f);
}

} // namespace

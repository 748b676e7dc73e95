#include "database_fixture.h"

#include "database/ReportFilter.h"

namespace {

const QDate Day1(2009, 2, 23);
const QDate Day2(2009, 2, 24);

class ReportFilterTest : public DatabaseFixture
{
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        openDb();
        // Models 1 and 2 exist; model 99 does not (its model was deleted).
        modelName1 = db->modelByIndex(1).Name;
        modelName2 = db->modelByIndex(2).Name;
        r1 = storeReport(1, QStringLiteral("A111AA"), QDateTime(Day1, QTime(9, 0, 1)));
        r2 = storeReport(2, QStringLiteral("B222BB"), QDateTime(Day1, QTime(10, 0, 2)));
        r3 = storeReport(1, QStringLiteral("B222BB"), QDateTime(Day2, QTime(11, 0, 3)));
        r4 = storeReport(99, QStringLiteral("A111AA"), QDateTime(Day1, QTime(12, 0, 4)));
        r5 = storeReport(2, QStringLiteral("Q\"1"), QDateTime(Day2, QTime(13, 0, 5)));
    }

    QString modelName1, modelName2;
    int r1 = 0, r2 = 0, r3 = 0, r4 = 0, r5 = 0;
};

QList<int> indexes(const QList<ReportFilter::Row> &rows)
{
    QList<int> out;
    for (const auto &r : rows)
        out << r.index;
    return out;
}

TEST_F(ReportFilterTest, CombinationsListTheMatchingReportsInStoringOrder)
{
    struct Case
    {
        const char *name;
        bool date, model, number;
        QDate day;
        QString modelName, govNumber;
        QList<int> expected;
        const char *title0, *title1;
    };
    const Case cases[] = {
        { "none", false, false, false, Day1, modelName1, "", { r1, r2, r3, r4, r5 }, "Дата",
            "Время" },
        { "number", false, false, true, Day1, modelName1, "B222BB", { r2, r3 }, "Дата", "Время" },
        { "number as typed", false, false, true, Day1, modelName1, "b222bb", {}, "Дата", "Время" },
        { "number with a quote", false, false, true, Day1, "", "Q\"1", { r5 }, "Дата", "Время" },
        // Text that names a column is a number like any other.
        { "number naming a column", false, false, true, Day1, "", "GovNumber", {}, "Дата",
            "Время" },
        { "model", false, true, false, Day1, modelName1, "", { r1, r3 }, "Дата", "Номер" },
        { "model and number", false, true, true, Day1, modelName1, "B222BB", { r3 }, "Дата",
            "Время" },
        { "unknown model", false, true, false, Day1, "нет такой", "", {}, "Дата", "Номер" },
        // The day joins the models: a report of a deleted model is left out.
        { "date", true, false, false, Day1, modelName1, "", { r1, r2 }, "Время", "Модель" },
        { "date and model", true, true, false, Day1, modelName2, "", { r2 }, "Время", "Модель" },
        { "date, model, number", true, true, true, Day2, modelName1, "B222BB", { r3 }, "Время",
            "Модель" },
        { "date without reports", true, false, false, QDate(2007, 2, 20), "", "", {}, "Время",
            "Модель" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ReportFilter f;
        f.byDate = c.date;
        f.byModel = c.model;
        f.byGovNumber = c.number;
        f.date = c.day;
        f.modelName = c.modelName;
        f.govNumber = c.govNumber;
        const auto rows = f.run(db->connection());
        EXPECT_EQ(indexes(rows), c.expected);
        EXPECT_EQ(f.title(0), QString::fromUtf8(c.title0));
        EXPECT_EQ(f.title(1), QString::fromUtf8(c.title1));
    }
}

TEST_F(ReportFilterTest, VisibleColumnsCarryTheFieldsOfTheirTitles)
{
    ReportFilter f;
    f.byModel = true;
    f.modelName = modelName2;
    auto rows = f.run(db->connection());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].column0.toDate(), Day1);
    EXPECT_EQ(rows[0].column1.toString(), QStringLiteral("B222BB"));
    EXPECT_EQ(rows[0].model, 2);

    f.byDate = true;
    f.byModel = false;
    f.date = Day1;
    rows = f.run(db->connection());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].column0.toString(), QStringLiteral("10:00:02"));
    EXPECT_EQ(rows[1].column1.toString(), modelName2);
}

} // namespace

namespace {

// Long lists are read in pages, from the end for the second half; every
// page must hold exactly the rows of the whole list at its place.
TEST_F(DatabaseFixture, PagesOfALongListMatchTheWholeList)
{
    openDb();
    QSqlQuery q(db->connection());
    ASSERT_TRUE(q.exec(QStringLiteral("BEGIN")));
    q.prepare(QStringLiteral(
        "INSERT INTO \"reports.db\" (\"Date\", \"Time\", Model, GovNumber) VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < 700; ++i) {
        q.addBindValue(QDate(2009, 1, 1).addDays(i / 50));
        q.addBindValue(QStringLiteral("10:00:00"));
        q.addBindValue(double(1 + i % 3));
        q.addBindValue(QStringLiteral("N%1").arg(i % 7));
        ASSERT_TRUE(q.exec());
    }
    ASSERT_TRUE(q.exec(QStringLiteral("COMMIT")));
    // Some gaps, as deletions leave them.
    column(QStringLiteral("DELETE FROM \"reports.db\" WHERE \"Index\" % 97 = 0"));

    ReportFilter filters[3];
    filters[1].byModel = true;
    filters[1].modelName = db->modelByIndex(2).Name;
    filters[2].byGovNumber = true;
    filters[2].govNumber = QStringLiteral("N3");
    for (ReportFilter &f : filters) {
        const QList<ReportFilter::Row> all = f.run(db->connection());
        const int total = f.count(db->connection());
        ASSERT_EQ(total, all.size());
        const int starts[]
            = { 0, 1, total / 2 - 3, total / 2 + 1, std::max(0, total - 256), total - 5 };
        for (int first : starts) {
            SCOPED_TRACE(first);
            const auto page = f.page(db->connection(), first, 256);
            const auto expected = all.mid(first, 256);
            ASSERT_EQ(page.size(), expected.size());
            for (int i = 0; i < page.size(); ++i)
                ASSERT_EQ(page[i].index, expected[i].index) << i;
        }
        // Found from the start, and with the list's length from the end or
        // the start, whichever is nearer.
        for (const int at : { 0, total / 3, total / 2, total / 2 + 1, total - 2, total - 1 }) {
            SCOPED_TRACE(at);
            EXPECT_EQ(f.position(db->connection(), all[at].index), at);
            EXPECT_EQ(f.position(db->connection(), all[at].index, total), at);
        }
        EXPECT_EQ(f.position(db->connection(), 97), -1); // deleted
        EXPECT_EQ(f.position(db->connection(), 97, total), -1);
    }
}

} // namespace

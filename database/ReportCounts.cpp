#include "database/ReportCounts.h"

#include "database/DatabaseEngine.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

const QString CreateError = QStringLiteral("Не удалось создать счётчики результатов: ");

// A report without an instrument or model is counted under NaN, which the
// server compares equal to itself: a plain key then serves every server
// version that knows ON CONFLICT.
const char *const Schema = R"sql(
CREATE TABLE report_counts (
    "ZMNum" DOUBLE PRECISION NOT NULL,
    "Model" DOUBLE PRECISION NOT NULL,
    "Rows" BIGINT NOT NULL,
    PRIMARY KEY ("ZMNum", "Model"));

CREATE FUNCTION report_counts_follow() RETURNS trigger LANGUAGE plpgsql AS $body$
BEGIN
    IF TG_OP = 'TRUNCATE' THEN
        DELETE FROM report_counts;
    ELSIF TG_LEVEL = 'ROW' THEN
        -- An instrument or model changed on a stored row.
        INSERT INTO report_counts AS c ("ZMNum", "Model", "Rows")
            SELECT z, m, sum(n) FROM (VALUES
                (coalesce(OLD."ZMNum", 'NaN'), coalesce(OLD."Model", 'NaN'), -1),
                (coalesce(NEW."ZMNum", 'NaN'), coalesce(NEW."Model", 'NaN'), 1)) v(z, m, n)
            GROUP BY z, m
            ON CONFLICT ("ZMNum", "Model") DO UPDATE SET "Rows" = c."Rows" + excluded."Rows";
    ELSIF TG_OP = 'INSERT' THEN
        INSERT INTO report_counts AS c ("ZMNum", "Model", "Rows")
            SELECT coalesce("ZMNum", 'NaN'), coalesce("Model", 'NaN'), count(*)
            FROM added GROUP BY 1, 2
            ON CONFLICT ("ZMNum", "Model") DO UPDATE SET "Rows" = c."Rows" + excluded."Rows";
    ELSIF TG_OP = 'DELETE' THEN
        INSERT INTO report_counts AS c ("ZMNum", "Model", "Rows")
            SELECT coalesce("ZMNum", 'NaN'), coalesce("Model", 'NaN'), -count(*)
            FROM removed GROUP BY 1, 2
            ON CONFLICT ("ZMNum", "Model") DO UPDATE SET "Rows" = c."Rows" + excluded."Rows";
    END IF;
    RETURN NULL;
END
$body$;

CREATE TRIGGER report_counts_insert AFTER INSERT ON "reports.db"
    REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION report_counts_follow();
CREATE TRIGGER report_counts_delete AFTER DELETE ON "reports.db"
    REFERENCING OLD TABLE AS removed FOR EACH STATEMENT EXECUTE FUNCTION report_counts_follow();
CREATE TRIGGER report_counts_update AFTER UPDATE OF "ZMNum", "Model" ON "reports.db"
    FOR EACH ROW WHEN (OLD."ZMNum" IS DISTINCT FROM NEW."ZMNum"
                       OR OLD."Model" IS DISTINCT FROM NEW."Model")
    EXECUTE FUNCTION report_counts_follow();
CREATE TRIGGER report_counts_truncate AFTER TRUNCATE ON "reports.db"
    FOR EACH STATEMENT EXECUTE FUNCTION report_counts_follow();

INSERT INTO report_counts ("ZMNum", "Model", "Rows")
    SELECT coalesce("ZMNum", 'NaN'), coalesce("Model", 'NaN'), count(*)
    FROM "reports.db" GROUP BY 1, 2;
)sql";

} // namespace

namespace ReportCounts {

bool exists(const QSqlDatabase &db)
{
    return DatabaseEngine::isServer(db) && DatabaseEngine::tableExists(db, QLatin1String(Table));
}

void create(const QSqlDatabase &db)
{
    // The triggers are in place before the rows are counted, and creating
    // them waits for every open store to end and holds off new ones until
    // the transaction commits: no row is counted twice or missed.
    DatabaseEngine::exec(db, QString::fromUtf8(Schema), CreateError);
}

std::optional<int> reports(const QSqlDatabase &db, std::optional<int> model)
{
    if (!exists(db))
        return std::nullopt;
    // A role that may not read the counts counts rows instead.
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("SELECT coalesce(sum(\"Rows\"), 0) FROM report_counts")
            + (model ? QStringLiteral(" WHERE \"Model\" = ?") : QString())))
        return std::nullopt;
    if (model)
        q.addBindValue(double(*model));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

} // namespace ReportCounts

// Storing a result and searching the reports on a table of 100 000 rows: a
// station that tests some hundred vehicles a day for a few years.
#include "common/ProgramFolder.h"
#include "database/ReportFilter.h"
#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

constexpr int ReportRows = 100000;
constexpr int ReportsPerDay = 100;
constexpr int Numbers = 20000;
constexpr int PageRows = 256; // as the browser's list reads them
const QDate FirstDay(2020, 1, 1);

struct Station
{
    // In the working folder, not /tmp: durability costs what the disk costs.
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/bench-db-XXXXXX") };
    ZelmorDatabase db;
    int models = 0;

    Station()
    {
        setProgramFolder(dir.path() + QLatin1Char('/'));
        db.open(dir.path());
        models = db.tbModels()->rowCount();
        QSqlQuery q(db.connection());
        q.exec(QStringLiteral("BEGIN"));
        q.prepare(QStringLiteral("INSERT INTO \"reports.db\" (\"Date\", \"Time\", ZMNum, Model, "
                                 "GovNumber, MinCO, MaxCO) VALUES (?, ?, 17, ?, ?, 0.5, 0.3)"));
        for (int i = 0; i < ReportRows; ++i) {
            q.addBindValue(FirstDay.addDays(i / ReportsPerDay));
            q.addBindValue(QTime(8, 0)
                               .addSecs((i % ReportsPerDay) * 300)
                               .toString(QStringLiteral("HH:mm:ss")));
            q.addBindValue(double(1 + i % models));
            q.addBindValue(numberOf(i % Numbers));
            if (!q.exec())
                std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        }
        q.exec(QStringLiteral("COMMIT"));
        db.tbReports()->refresh();
    }

    static QString numberOf(int n)
    {
        return QStringLiteral("А%1ВС77").arg(n, 5, 10, QLatin1Char('0'));
    }
};

Station &station()
{
    static Station s;
    return s;
}

void BM_StoreTestResult(benchmark::State &state)
{
    Station &s = station();
    TestResult r;
    r.modelIndex = 3;
    r.govNumber = QStringLiteral("А123ВС77");
    r.instrumentNumber = 17;
    r.means = { 0.45f, 120.f, 14.5f, 0.7f, 30.f, 810.f, 1.01f, 0.31f, 90.f, 14.8f, 0.5f, 25.f,
        2600.f, 1.0f };
    for (auto _ : state)
        benchmark::DoNotOptimize(s.db.StoreTestResult(r));
}
BENCHMARK(BM_StoreTestResult)->Unit(benchmark::kMillisecond)->Iterations(200);

enum Filter { None, Number, Model, ModelNumber, Day, DayModelNumber };

void BM_RunFilter(benchmark::State &state)
{
    Station &s = station();
    ReportFilter f;
    const auto kind = Filter(state.range(0));
    f.byGovNumber = kind == Number || kind == ModelNumber || kind == DayModelNumber;
    f.byModel = kind == Model || kind == ModelNumber || kind == DayModelNumber;
    f.byDate = kind == Day || kind == DayModelNumber;
    f.govNumber = Station::numberOf(1234);
    f.modelName = s.db.modelByIndex(1 + 1234 % s.models).Name;
    f.date = FirstDay.addDays(1234 / ReportsPerDay);
    // What the browser does per search: find the model, count the list, read
    // the page it shows first and the page with the newest report.
    int rows = 0;
    for (auto _ : state) {
        f.resolveModel(s.db.connection());
        rows = f.count(s.db.connection());
        benchmark::DoNotOptimize(f.page(s.db.connection(), 0, PageRows, rows));
        benchmark::DoNotOptimize(
            f.page(s.db.connection(), std::max(0, rows - PageRows), PageRows, rows));
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_RunFilter)
    ->ArgName("filter")
    ->DenseRange(None, DayModelNumber)
    ->Unit(benchmark::kMillisecond);

} // namespace

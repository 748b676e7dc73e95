// A station with several lanes: storing a result on the shared server
// (through its socket as the superuser, and as a lane's own role over TLS on
// 127.0.0.1, which may store only through the chain's server function), the report
// browser's first page with and without its count, the browser opened on
// the newest report, and the chain check over 1 000 000 results on both
// engines. The million rows are loaded in bulk by the database itself
// (a row generator in one statement), not through the store path, and then
// chained once as an upgrade would chain them.
#include "common/ProgramFolder.h"
#include "config/DatabaseSettings.h"
#include "config/IniFile.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChain.h"
#include "database/ReportFilter.h"
#include "database/StationRoles.h"
#include "database/ZelmorDatabase.h"
#include "tests/support/PgServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

// ZELMOR_BENCH_ROWS sets another size for a quick look.
const int Rows = qEnvironmentVariableIntValue("ZELMOR_BENCH_ROWS") > 0
    ? qEnvironmentVariableIntValue("ZELMOR_BENCH_ROWS")
    : 1000000;
constexpr int PageRows = 256;
constexpr int Instruments = 4;
const QDate FirstDay(2020, 1, 1);

PgServer &sharedServer()
{
    static PgServer s({ .durable = true }); // durable: a store costs what the disk costs
    static const bool started = [] {
        QString error = s.start();
        if (error.isEmpty())
            error = s.createStationRoles(1);
        if (!error.isEmpty())
            std::fprintf(stderr, "server: %s\n", qPrintable(error));
        qputenv("PGPASSFILE", QFile::encodeName(s.passwordFile()));
        return error.isEmpty();
    }();
    (void)started;
    return s;
}

// How a workstation reaches the server: the superuser through the socket,
// or a lane's role over TLS on 127.0.0.1 with the certificate checked.
enum class Access { Socket, Tls };

void run(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    if (!q.exec(statement))
        std::fprintf(stderr, "%s\n%s\n", qPrintable(statement), qPrintable(q.lastError().text()));
}

// Eight characters, as the table holds them.
QString numberOf(int n)
{
    return QStringLiteral("А%1ВС7").arg(n, 4, 10, QLatin1Char('0'));
}

struct Station
{
    QTemporaryDir dir { QDir::currentPath() + QStringLiteral("/bench-lanes-XXXXXX") };
    ZelmorDatabase db;
    bool server;

    explicit Station(
        bool onServer, const QString &database, int rows, Access access = Access::Socket)
        : server(onServer)
    {
        const QString folder = dir.path() + QLatin1Char('/');
        setProgramFolder(folder);
        if (onServer) {
            const bool tls = access == Access::Tls;
            sharedServer().createDatabase(
                database, tls ? QLatin1String(PgServer::OwnerRole) : QString());
            QDir().mkpath(folder + QStringLiteral("conf"));
            IniFile ini(folder + QStringLiteral("conf/zelmor.ini"));
            DatabaseSettings s;
            s.driver = DatabaseSettings::Driver::Psql;
            s.host = tls ? QLatin1String(PgServer::TcpHost) : sharedServer().socketFolder();
            s.port = sharedServer().port();
            s.name = database;
            s.user = tls ? PgServer::laneRole(1) : QLatin1String(PgServer::SuperUser);
            s.sslRootCert = tls ? sharedServer().rootCertificate() : QString();
            s.write(ini);
            if (tls) {
                // The owner prepares what the lane stores into: the lane
                // stores through the chain's server function.
                DatabaseSettings owner = s;
                owner.user = QLatin1String(PgServer::OwnerRole);
                StationRoles::initStation(owner, ReportChain::Context());
            }
        }
        db.open(folder);
        if (rows > 0)
            fill(rows);
    }

    void fill(int rows)
    {
        QElapsedTimer t;
        t.start();
        const QSqlDatabase c = db.connection();
        const QString columns = QStringLiteral(
            "INSERT INTO \"reports.db\" (\"Date\", \"Time\", \"ZMNum\", \"Model\", \"GovNumber\", "
            "\"MinTax\", \"MinCO\", \"MinCH\", \"MinCO2\", \"MinO2\", \"MinNOx\", \"MinLambda\", "
            "\"MaxTax\", \"MaxCO\", \"MaxCH\", \"MaxCO2\", \"MaxO2\", \"MaxNOx\", \"MaxLambda\") ");
        const auto values = [](const QString &date, const QString &time, const QString &number) {
            return date + QStringLiteral(", ") + time + QStringLiteral(", 1 + g % ")
                + QString::number(Instruments) + QStringLiteral(", 1 + g % 7, ") + number
                + QStringLiteral(", 810, 0.45, 120, 14.5, 0.7, 30, 1.01, 2600, 0.31, 90, 14.8, "
                                 "0.5, 25, 1");
        };
        if (server) {
            run(c,
                columns + QStringLiteral("SELECT ")
                    + values(QStringLiteral("date '2020-01-01' + g / 100"),
                        QStringLiteral("time '08:00' + (g % 100) * interval '5 minutes'"),
                        QStringLiteral("'А' || lpad((g % 10000)::text, 4, '0') || 'ВС7'"))
                    + QStringLiteral(" FROM generate_series(0, %1) g").arg(rows - 1));
        } else {
            run(c,
                QStringLiteral("WITH RECURSIVE n(g) AS (SELECT 0 UNION ALL SELECT g + 1 FROM n "
                               "WHERE g < %1) ")
                        .arg(rows - 1)
                    + columns + QStringLiteral("SELECT ")
                    + values(QStringLiteral("date('2020-01-01', '+' || (g / 100) || ' days')"),
                        QStringLiteral("time('08:00:00', '+' || ((g % 100) * 300) || ' seconds')"),
                        QStringLiteral("printf('А%04dВС7', g % 10000)"))
                    + QStringLiteral(" FROM n"));
        }
        run(c, QStringLiteral("ANALYZE"));
        const qint64 loaded = t.restart();
        DatabaseEngine::beginWrite(c);
        ReportChain::chainAllRows(c, ReportChain::Context());
        DatabaseEngine::commit(c);
        std::fprintf(stderr, "%s: %d rows loaded in %lld ms, chained in %lld ms\n",
            server ? "server" : "sqlite", rows, loaded, t.elapsed());
    }
};

Station &station(bool onServer)
{
    if (onServer) {
        static Station s(true, QStringLiteral("million"), Rows);
        return s;
    }
    static Station s(false, QString(), Rows);
    return s;
}

// A store on the server: through its socket, and as a lane over TLS
// (verify-full) on the loopback address.
void BM_StoreTestResultOnServer(benchmark::State &state)
{
    static Station socket(true, QStringLiteral("store"), 0);
    static Station tls(true, QStringLiteral("store_tls"), 0, Access::Tls);
    Station &s = state.range(0) == 1 ? tls : socket;
    TestResult r;
    r.modelIndex = 3;
    r.govNumber = QStringLiteral("А123ВС77");
    r.instrumentNumber = 17;
    r.means = { 0.45f, 120.f, 14.5f, 0.7f, 30.f, 810.f, 1.01f, 0.31f, 90.f, 14.8f, 0.5f, 25.f,
        2600.f, 1.0f };
    QDateTime at(FirstDay, QTime(8, 0));
    for (auto _ : state) {
        at = at.addSecs(1); // each a new result, not the same one again
        benchmark::DoNotOptimize(s.db.StoreTestResult(r, at));
    }
}
BENCHMARK(BM_StoreTestResultOnServer)
    ->ArgName("tls")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

enum Filter { None, Number, Model, Day, DayModelNumber };

// The first page the browser shows for a search, and separately the count of
// the whole list it reads for its scroll bar.
void BM_FilterFirstPage(benchmark::State &state)
{
    Station &s = station(state.range(0) == 1);
    const auto kind = Filter(state.range(1));
    ReportFilter f;
    f.byGovNumber = kind == Number || kind == DayModelNumber;
    f.byModel = kind == Model || kind == DayModelNumber;
    f.byDate = kind == Day || kind == DayModelNumber;
    f.govNumber = numberOf(1234);
    f.modelName = s.db.modelByIndex(1 + 1234 % 7).Name;
    f.date = FirstDay.addDays(1234 / 100);
    const bool withCount = state.range(2) == 1;
    int rows = 0;
    for (auto _ : state) {
        f.resolveModel(s.db.connection());
        if (withCount)
            benchmark::DoNotOptimize(f.count(s.db.connection()));
        rows = int(f.page(s.db.connection(), 0, PageRows, 0).size());
    }
    state.counters["page"] = rows;
}
BENCHMARK(BM_FilterFirstPage)
    ->ArgNames({ "server", "filter", "count" })
    ->ArgsProduct({ { 0, 1 }, { None, Number, Model, Day, DayModelNumber }, { 0, 1 } })
    ->Unit(benchmark::kMillisecond);

// The browser opened on the newest report of the whole list (after F4):
// the list's length, where the report stands in it and the page around it.
void BM_OpenOnNewestReport(benchmark::State &state)
{
    Station &s = station(state.range(0) == 1);
    const QSqlDatabase c = s.db.connection();
    QSqlQuery newest(c);
    newest.exec(QStringLiteral("SELECT max(\"Index\") FROM \"reports.db\""));
    const int index = newest.next() ? newest.value(0).toInt() : 0;
    int position = 0;
    for (auto _ : state) {
        ReportFilter f;
        f.resolveModel(c);
        const int total = f.count(c);
        position = f.position(c, index, total);
        benchmark::DoNotOptimize(f.page(c, position - position % PageRows, PageRows, total));
    }
    state.counters["position"] = position;
}
BENCHMARK(BM_OpenOnNewestReport)
    ->ArgName("server")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond);

void BM_VerifyReports(benchmark::State &state)
{
    Station &s = station(state.range(0) == 1);
    qint64 rows = 0;
    for (auto _ : state) {
        const ReportChain::VerifyResult r = ReportChain::verify(s.db.connection());
        if (!r.intact())
            state.SkipWithError(qPrintable(r.faults.first().text()));
        rows = r.rows;
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_VerifyReports)
    ->ArgName("server")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// What the check costs beyond reading: the same rows read without it.
void BM_ReadReportsOnly(benchmark::State &state)
{
    Station &s = station(state.range(0) == 1);
    qint64 rows = 0;
    for (auto _ : state) {
        QSqlQuery q(s.db.connection());
        q.setForwardOnly(true);
        q.exec(QStringLiteral("SELECT %1 FROM \"reports.db\" ORDER BY \"Index\"")
                   .arg(ReportChain::selectColumns(s.db.connection())));
        rows = 0;
        while (q.next()) {
            benchmark::DoNotOptimize(ReportChain::rowFrom(q));
            ++rows;
        }
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ReadReportsOnly)
    ->ArgName("server")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// The check's own work per row, without a database: canonical text and hash.
void BM_ChainHashPerRow(benchmark::State &state)
{
    ReportChain::Row r;
    r.index = 1;
    r.date = QDate(2020, 1, 1);
    r.time = QStringLiteral("08:00:00");
    r.zmNum = 17.0;
    r.model = 3.0;
    r.govNumber = QStringLiteral("А123ВС77");
    for (size_t i = 0; i < r.values.size(); ++i)
        r.values[i] = 0.25 * double(i) + 0.01;
    r.scheme = ReportChain::Plain;
    r.seq = 1;
    r.prevHash = QByteArray(64, 'a');
    ChainHasher hasher;
    for (auto _ : state) {
        r.prevHash = ReportChain::hashOf(hasher, r);
        benchmark::DoNotOptimize(r.prevHash);
    }
}
BENCHMARK(BM_ChainHashPerRow);

} // namespace

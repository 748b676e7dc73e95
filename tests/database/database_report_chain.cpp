#include "database_lane_fixture.h"

#include "common/ZelmorError.h"
#include "config/IniFile.h"
#include "database/ChainKey.h"
#include "database/ChainReader.h"
#include "database/DatabaseError.h"
#include "database/VerifyReports.h"

#include <QFile>
#include <QSqlError>
#include <QTextStream>

#include <functional>

namespace {

const QDateTime StoredAt(QDate(2021, 5, 4), QTime(9, 30, 0));

class ChainTamper : public LaneFixture, public ::testing::WithParamInterface<LaneFixture::Engine>
{
protected:
    // Instrument 7 stores rows a1, a2, a3; instrument 8 stores b1, b2 between them.
    void SetUp() override
    {
        LaneFixture::SetUp();
        folder
            = GetParam() == Server ? laneFolder(Server, freshServerDatabase()) : laneFolder(Sqlite);
        db = openLane(folder);
        a1 = store(7, 1);
        b1 = store(8, 2);
        a2 = store(7, 3);
        b2 = store(8, 4);
        a3 = store(7, 5);
    }

    int store(int instrument, int n)
    {
        return db->StoreTestResult(
            result(instrument, QStringLiteral("Т%1").arg(n), 0.1f * n), StoredAt.addSecs(n));
    }

    void run(const QString &statement)
    {
        QSqlQuery q(db->connection());
        ASSERT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
    }

    // A key file (by default one only this account may read), named by the
    // lane's settings.
    void giveStationKey(QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
    {
        QFile key(folder + QStringLiteral("station.key"));
        ASSERT_TRUE(key.open(QIODevice::WriteOnly));
        key.write(QByteArray("a station's own secret, kept from the database"));
        key.close();
        ASSERT_TRUE(key.setPermissions(permissions));
        QDir().mkpath(folder + QStringLiteral("conf"));
        IniFile(folder + QStringLiteral("conf/zelmor.ini"))
            .writeString(QStringLiteral("Database"), QStringLiteral("ChainKeyFile"),
                QStringLiteral("station.key"));
    }

    QString folder;
    std::unique_ptr<ZelmorDatabase> db;
    int a1 = 0, a2 = 0, a3 = 0, b1 = 0, b2 = 0;
};

TEST_P(ChainTamper, EachEditBehindTheProgramsBackIsNamedByItsFirstRow)
{
    using Kind = ReportChain::Fault::Kind;
    const QString insertForged
        = QStringLiteral("INSERT INTO \"reports.db\" (\"Index\", \"Date\", \"Time\", \"ZMNum\", "
                         "\"Model\", \"GovNumber\", \"MinCO\") VALUES (%1, '2021-05-04', "
                         "'09:40:00', 7, 1, 'Х999ХХ', 0.1)");
    const QString deleteRow = QStringLiteral("DELETE FROM \"reports.db\" WHERE \"Index\" = %1");
    // Someone who knows how the chain hashes edits the last row of
    // instrument 7 and hashes it again, head included.
    const auto rehashLast = [&] {
        const QSqlDatabase c = db->connection();
        QSqlQuery q(c);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT %1 FROM \"reports.db\" WHERE \"Index\" = %2")
                               .arg(ReportChain::selectColumns(c))
                               .arg(a3)));
        ASSERT_TRUE(q.next());
        ReportChain::Row row = ReportChain::rowFrom(q);
        row.values[1] = 0.01; // MinCO
        ChainHasher hasher;
        row.hash = ReportChain::hashOf(hasher, row);
        run(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 0.01, \"Hash\" = '%1' WHERE "
                           "\"Index\" = %2")
                .arg(QString::fromLatin1(row.hash))
                .arg(a3));
        run(QStringLiteral("UPDATE report_chains SET \"LastHash\" = '%1' WHERE \"Chain\" = '7'")
                .arg(QString::fromLatin1(row.hash)));
    };
    struct Case
    {
        const char *name;
        std::function<void()> tamper;
        std::function<int()> expectedIndex;
        Kind expectedKind;
    } cases[] = {
        { "value edited",
            [&] {
                run(QStringLiteral(
                    "UPDATE \"reports.db\" SET \"MaxCO\" = 0.01 WHERE \"Index\" = %1")
                        .arg(a2));
            },
            [&] { return a2; }, Kind::Changed },
        { "number edited",
            [&] {
                run(QStringLiteral("UPDATE \"reports.db\" SET \"GovNumber\" = 'А000АА' WHERE "
                                   "\"Index\" = %1")
                        .arg(b1));
            },
            [&] { return b1; }, Kind::Changed },
        { "stored limit edited",
            [&] {
                run(QStringLiteral(
                    "UPDATE \"reports.db\" SET \"LimMinCO\" = 9.99 WHERE \"Index\" = %1")
                        .arg(a1));
            },
            [&] { return a1; }, Kind::Changed },
        { "stored model name edited",
            [&] {
                run(QStringLiteral(
                    "UPDATE \"reports.db\" SET \"ModelName\" = 'Другая' WHERE \"Index\" = %1")
                        .arg(b2));
            },
            [&] { return b2; }, Kind::Changed },
        { "protocol renumbered",
            [&] {
                run(QStringLiteral("UPDATE \"reports.db\" SET \"Index\" = %1 WHERE \"Index\" = %2")
                        .arg(a3 + 500)
                        .arg(a3));
            },
            [&] { return a3 + 500; }, Kind::Changed },
        { "hash rewritten",
            [&] {
                run(QStringLiteral("UPDATE \"reports.db\" SET \"Hash\" = '00' WHERE \"Index\" = %1")
                        .arg(a1));
            },
            [&] { return a1; }, Kind::Changed },
        { "row deleted", [&] { run(deleteRow.arg(a2)); }, [&] { return a3; }, Kind::DeletedBefore },
        { "row deleted, its links copied as an earlier version's deletion",
            [&] {
                run(QStringLiteral("CREATE TABLE report_deletions (\"Index\" INTEGER, \"Chain\" "
                                   "VARCHAR(40), \"PrevHash\" VARCHAR(64), \"Hash\" VARCHAR(64), "
                                   "\"DeletedAt\" VARCHAR(19))"));
                run(QStringLiteral("INSERT INTO report_deletions SELECT \"Index\", '7', "
                                   "\"PrevHash\", \"Hash\", '2021-05-04 10:00:00' FROM "
                                   "\"reports.db\" WHERE \"Index\" = %1")
                        .arg(a2));
                run(deleteRow.arg(a2));
            },
            [&] { return a3; }, Kind::DeletedBefore },
        { "last row deleted", [&] { run(deleteRow.arg(b2)); }, [&] { return b2; },
            Kind::DeletedAtEnd },
        { "last row deleted, the chain's head pointed back",
            [&] {
                run(deleteRow.arg(b2));
                run(QStringLiteral("UPDATE report_chains SET \"LastIndex\" = %1, \"LastSeq\" = "
                                   "\"LastSeq\" - 1, \"LastHash\" = (SELECT \"Hash\" FROM "
                                   "\"reports.db\" WHERE \"Index\" = %1) WHERE \"Chain\" = '8'")
                        .arg(b1));
            },
            [&] { return b2; }, Kind::HeadCut },
        { "every row of an instrument deleted with its chain",
            [&] {
                run(QStringLiteral("DELETE FROM \"reports.db\" WHERE \"ZMNum\" = 8"));
                run(QStringLiteral("DELETE FROM report_chains WHERE \"Chain\" = '8'"));
                run(QStringLiteral("DELETE FROM report_chain_entries WHERE \"Chain\" = '8'"));
            },
            [&] { return b2; }, Kind::HeadVanished },
        { "last row edited and hashed again by someone who knows the scheme", rehashLast,
            [&] { return a3; }, Kind::HeadRewritten },
        { "row inserted, then a result stored",
            [&] {
                run(insertForged.arg(a3 + 1000));
                store(7, 6);
            },
            [&] { return a3 + 1000; }, Kind::Inserted },
        { "row of a new instrument inserted",
            [&] {
                run(insertForged.arg(a3 + 1000).replace(
                    QStringLiteral(", 7, 1,"), QStringLiteral(", 99, 1,")));
            },
            [&] { return a3 + 1000; }, Kind::Inserted },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Each case on a fresh copy of the same five rows.
        TearDown();
        lanes.clear();
        SetUp();
        ASSERT_TRUE(ReportChain::verify(db->connection(), db->chainContext()).intact());
        c.tamper();
        const ReportChain::VerifyResult check
            = ReportChain::verify(db->connection(), db->chainContext());
        ASSERT_FALSE(check.intact());
        EXPECT_EQ(check.faults.first().index, c.expectedIndex());
        EXPECT_EQ(check.faults.first().kind, c.expectedKind)
            << check.faults.first().text().toStdString();
        // The command line says the same, with the exit code of a broken chain.
        QString text;
        QTextStream out(&text);
        EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Broken) << text.toStdString();
        EXPECT_TRUE(text.contains(check.faults.first().text())) << text.toStdString();
    }
}

// A chained database whose chain is partly gone is damaged: the check says
// so with exit code 2, the start-up refuses to store into it and never
// chains it anew, which would launder every edit made before.
TEST_P(ChainTamper, ChainWithPartsGoneIsDamagedAndNeverChainedAgain)
{
    struct Case
    {
        const char *name;
        QStringList statements;
        const char *missing;
    } cases[] = {
        { "chain table dropped", { QStringLiteral("DROP TABLE report_chains") }, "report_chains" },
        { "hash columns dropped",
            { QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"Hash\""),
                QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"PrevHash\"") },
            "Hash" },
        { "every part of the chain dropped",
            { QStringLiteral("DROP TABLE report_chains"),
                QStringLiteral("DROP TABLE report_chain_entries"),
                QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"Hash\""),
                QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"PrevHash\""),
                QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"ChainScheme\""),
                QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"ChainSeq\""),
                QStringLiteral("ALTER TABLE \"reports.db\" DROP COLUMN \"FormerCodes\"") },
            "zelmor.chain" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        lanes.clear();
        SetUp();
        run(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 9.99 WHERE \"Index\" = %1")
                .arg(a2));
        // The server keeps the chain's functions on its table: they go with it.
        for (QString statement : c.statements)
            run(GetParam() == Server && statement.startsWith(QLatin1String("DROP TABLE"))
                    ? statement + QStringLiteral(" CASCADE")
                    : statement);
        db.reset();

        QString text;
        QTextStream out(&text);
        EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::CannotCheck)
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("повреждена"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(c.missing))) << text.toStdString();

        // Start-up: browsable, nothing stored, the reason said.
        auto reopened = std::make_unique<ZelmorDatabase>();
        try {
            reopened->open(folder);
            ADD_FAILURE() << "a damaged chain opened for storing";
        } catch (const DatabaseReadOnlyError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("повреждена")))
                << e.message().toStdString();
        }
        EXPECT_TRUE(reopened->isOpen());
        EXPECT_THROW(
            reopened->StoreTestResult(result(7, QStringLiteral("Т9")), StoredAt), ZelmorError);
        reopened.reset();
        text.clear();
        EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::CannotCheck)
            << text.toStdString();
    }
}

TEST_P(ChainTamper, DeletingThroughTheProgramKeepsTheChainsWhole)
{
    db->deleteReport(a2); // in the middle
    db->deleteReport(b2); // the last of its chain
    db->deleteReport(a1); // the first
    store(8, 9);
    const ReportChain::VerifyResult check = ReportChain::verify(db->connection());
    EXPECT_TRUE(check.intact()) << check.faults.value(0).text().toStdString();
    EXPECT_EQ(check.rows, 3);
    // ...but a deleted row's neighbour edited afterwards is still found.
    run(QStringLiteral("UPDATE \"reports.db\" SET \"MinCH\" = 1 WHERE \"Index\" = %1").arg(a3));
    EXPECT_EQ(ReportChain::verify(db->connection()).faults.value(0).index, a3);
}

TEST_P(ChainTamper, CommandLineCheckReportsIntactBrokenAndUncheckable)
{
    QString text;
    QTextStream out(&text);
    db.reset(); // the check opens its own connection
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Intact) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Проверено результатов: 5, приборов: 2")))
        << text.toStdString();

    db = openLane(folder);
    run(QStringLiteral("UPDATE \"reports.db\" SET \"MinO2\" = 20 WHERE \"Index\" = %1").arg(b2));
    db.reset();
    text.clear();
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Broken);
    EXPECT_TRUE(text.contains(QStringLiteral("Запись %1 (прибор 8) изменена").arg(b2)))
        << text.toStdString();

    text.clear();
    EXPECT_EQ(VerifyReports::run(laneFolder(Sqlite), out), VerifyReports::CannotCheck);
    EXPECT_TRUE(text.contains(QStringLiteral("Проверка невозможна"))) << text.toStdString();

    // A settings file the program refuses (a folder in its place) names no
    // database: the check says so instead of checking the default one.
    const QString ini = folder + QStringLiteral("conf/zelmor.ini");
    const bool hadIni = QFile::exists(ini);
    if (hadIni) {
        ASSERT_TRUE(QFile::rename(ini, ini + QStringLiteral(".kept")));
    }
    ASSERT_TRUE(QDir().mkpath(ini));
    text.clear();
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::CannotCheck);
    EXPECT_TRUE(text.contains(QStringLiteral("не прочитан"))) << text.toStdString();
    ASSERT_TRUE(QDir(ini).removeRecursively());
    if (hadIni) {
        ASSERT_TRUE(QFile::rename(ini + QStringLiteral(".kept"), ini));
    }

    // The code as printed on the protocol, typed with its blanks.
    setProgramFolder(folder);
    db = openLane(folder);
    const QByteArray code = ReportChain::controlCode(
        ReportChain::storedHash(db->connection(), a1).toString().toLatin1())
                                .toLatin1();
    db.reset();
    const QByteArray number = QByteArray::number(a1);
    const struct
    {
        std::vector<QByteArray> args;
        int exitCode;
        const char *says;
    } commands[] = {
        { { "--verify-code", number, code.left(9), code.mid(10) }, VerifyReports::Intact,
            "совпадает" },
        { { "--verify-code", number, "0000000000000000" }, VerifyReports::Broken, "не совпадает" },
        { { "--verify-code", number, "12AB" }, VerifyReports::CannotCheck, "16" },
        { { "--verify-code", "пять", code }, VerifyReports::CannotCheck, "не число" },
        { { "--verify-reports" }, VerifyReports::Broken, "изменена" },
        { { "--rekey-reports" }, VerifyReports::CannotCheck, "ChainKeyFile" },
    };
    for (const auto &c : commands) {
        std::vector<QByteArray> args = c.args;
        args.insert(args.begin(), "zelmor");
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        ::testing::internal::CaptureStdout();
        const int exitCode = VerifyReports::fromCommandLine(int(argv.size()), argv.data());
        const QString said = QString::fromStdString(::testing::internal::GetCapturedStdout());
        EXPECT_EQ(exitCode, c.exitCode) << said.toStdString();
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.says))) << said.toStdString();
    }
    char name[] = "zelmor";
    char *plain[] = { name };
    EXPECT_EQ(VerifyReports::fromCommandLine(1, plain), -1);
}

// The check sees one snapshot: a result stored and one deleted by another
// lane while it reads are not half seen (no deletion without its entry, no
// row beyond the head it read).
TEST_P(ChainTamper, CheckReadsOneSnapshotWhileOtherLanesStore)
{
    using namespace ReportChain;
    std::unique_ptr<Reader::Reader> reader = Reader::open(Source::of(db->connection()));
    reader->begin();
    ASSERT_TRUE(reader->hasTable("reports.db"));
    const std::vector<Parts::Head> before = reader->heads();

    auto other = openLane(folder);
    other->StoreTestResult(result(7, QStringLiteral("Т7")), StoredAt.addSecs(7));
    other->deleteReport(b1);
    other.reset();

    const std::vector<Parts::Head> heads = reader->heads();
    ASSERT_EQ(heads.size(), before.size());
    for (size_t i = 0; i < heads.size(); ++i) {
        EXPECT_EQ(heads[i].lastSeq, before[i].lastSeq);
        EXPECT_EQ(heads[i].lastHash, before[i].lastHash);
    }
    EXPECT_TRUE(reader->entries().empty());
    reader->startRows();
    Reader::Batch batch;
    std::vector<int> indexes;
    while (reader->next(batch, 2))
        for (size_t i = 0; i < batch.size; ++i)
            indexes.push_back(batch.rows[i].index);
    EXPECT_EQ(indexes, (std::vector<int> { a1, b1, a2, b2, a3 }));
    reader->end();
    EXPECT_TRUE(verify(db->connection(), db->chainContext()).intact());
}

// With the station key the links are signed: a row hashed again without the
// key is found. An existing chain keeps its scheme until the administrator
// re-keys it; protocols printed before still check by their control codes.
TEST_P(ChainTamper, StationKeySignsTheChainAndRekeyingMovesAnOldOne)
{
    const QString printedCode = ReportChain::controlCode(
        ReportChain::storedHash(db->connection(), a2).toString().toLatin1());
    ASSERT_EQ(printedCode.size(), 19);
    db.reset();

    ASSERT_NO_FATAL_FAILURE(giveStationKey());

    QString text;
    QTextStream out(&text);
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Broken) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("не подписана ключом станции"))) << text.toStdString();
    text.clear();
    EXPECT_EQ(VerifyReports::rekey(folder, false, out), VerifyReports::Intact)
        << text.toStdString();
    text.clear();
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Intact) << text.toStdString();

    // The code printed before re-keying still matches; a wrong one does not.
    const QString number = QString::number(a2);
    EXPECT_EQ(VerifyReports::verifyCode(folder, number, printedCode, out), VerifyReports::Intact)
        << text.toStdString();
    EXPECT_EQ(VerifyReports::verifyCode(folder, number, QStringLiteral("0000 0000 0000 0000"), out),
        VerifyReports::Broken);

    // Stored from now on with the key; a row edited and hashed again without
    // it, even claiming the keyless scheme, breaks the chain.
    db = openLane(folder);
    const int a4 = store(7, 7);
    const QString newCode = ReportChain::controlCode(
        ReportChain::storedHash(db->connection(), a4).toString().toLatin1());
    text.clear();
    EXPECT_EQ(
        VerifyReports::verifyCode(folder, QString::number(a4), newCode, out), VerifyReports::Intact)
        << text.toStdString();
    const QSqlDatabase c = db->connection();
    QSqlQuery q(c);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT %1 FROM \"reports.db\" WHERE \"Index\" = %2")
                           .arg(ReportChain::selectColumns(c))
                           .arg(a3)));
    ASSERT_TRUE(q.next());
    ReportChain::Row row = ReportChain::rowFrom(q);
    q = QSqlQuery();
    row.values[1] = 0.01; // MinCO
    row.scheme = ReportChain::Plain;
    ChainHasher keyless;
    row.hash = ReportChain::hashOf(keyless, row);
    run(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 0.01, \"ChainScheme\" = 2, \"Hash\" "
                       "= '%1' WHERE \"Index\" = %2")
            .arg(QString::fromLatin1(row.hash))
            .arg(a3));
    text.clear();
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Broken) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Запись %1 (прибор 7) изменена").arg(a3)))
        << text.toStdString();
    text.clear();
    EXPECT_EQ(VerifyReports::verifyCode(
                  folder, QString::number(a3), ReportChain::controlCode(row.hash), out),
        VerifyReports::Broken)
        << text.toStdString();
}

// At start-up the workstation says what its head file and the database
// disagree on, and refuses to store with a key it was told to use but may
// not trust; a check that is cancelled says so, never "intact".
TEST_P(ChainTamper, StartUpSaysWhatTheChainCannotTakeOrDisagreesWith)
{
    run(QStringLiteral("DELETE FROM \"reports.db\" WHERE \"Index\" = %1").arg(b2));
    run(QStringLiteral("UPDATE report_chains SET \"LastIndex\" = %1, \"LastSeq\" = \"LastSeq\" - "
                       "1, \"LastHash\" = (SELECT \"Hash\" FROM \"reports.db\" WHERE \"Index\" = "
                       "%1) WHERE \"Chain\" = '8'")
            .arg(b1));
    db.reset();
    db = openLane(folder);
    EXPECT_TRUE(db->startupNotice().contains(QStringLiteral("не сходится с файлом головы")))
        << db->startupNotice().toStdString();
    EXPECT_TRUE(db->startupNotice().contains(QStringLiteral("Последние записи прибора 8 удалены")))
        << db->startupNotice().toStdString();
    // A store afterwards keeps the finding in the head file.
    store(8, 9);
    db.reset();
    QString text;
    QTextStream out(&text);
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Broken) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Последние записи прибора 8 удалены")))
        << text.toStdString();

    ReportChain::Progress cancelled;
    cancelled.cancel = true;
    ReportChain::Context ctx = ReportChain::contextFor(folder);
    auto reopened = openLane(folder);
    const ReportChain::VerifyResult partial
        = ReportChain::verify(ReportChain::Source::of(reopened->connection()), ctx, &cancelled);
    EXPECT_TRUE(partial.cancelled);
    EXPECT_FALSE(partial.intact());
    text.clear();
    EXPECT_EQ(VerifyReports::report(partial, out), VerifyReports::CannotCheck);
    EXPECT_TRUE(text.contains(QStringLiteral("прервана"))) << text.toStdString();
    reopened.reset();

    // A key file anyone may read: browsable, nothing stored, the reason said.
    ASSERT_NO_FATAL_FAILURE(
        giveStationKey(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    auto keyed = std::make_unique<ZelmorDatabase>();
    EXPECT_THROW(keyed->open(folder), DatabaseReadOnlyError);
    EXPECT_TRUE(keyed->readOnlyReason().contains(QStringLiteral("доступен всем")))
        << keyed->readOnlyReason().toStdString();
    EXPECT_THROW(keyed->StoreTestResult(result(7, QStringLiteral("Т9")), StoredAt), ZelmorError);
}

// Re-keying a chain whose check found faults is refused unless the
// administrator accepts them; then the faults are written into the chain's
// re-keying entry and the chain checks from there on.
TEST_P(ChainTamper, RekeyingAcceptsFaultsOnlyWhenToldAndRecordsThem)
{
    run(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 9.99 WHERE \"Index\" = %1").arg(a2));
    db.reset();
    ASSERT_NO_FATAL_FAILURE(giveStationKey());

    QString text;
    QTextStream out(&text);
    EXPECT_EQ(VerifyReports::rekey(folder, false, out), VerifyReports::Broken)
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Ключ не применён"))) << text.toStdString();
    text.clear();
    EXPECT_EQ(VerifyReports::rekey(folder, true, out), VerifyReports::Intact) << text.toStdString();
    text.clear();
    EXPECT_EQ(VerifyReports::run(folder, out), VerifyReports::Intact) << text.toStdString();

    db = openLane(folder);
    const QString note = scalar(db->connection(),
        QStringLiteral("SELECT \"Note\" FROM report_chain_entries WHERE \"Kind\" = 'K' AND "
                       "\"Chain\" = '7'"))
                             .toString();
    EXPECT_TRUE(note.contains(QStringLiteral("принято администратором"))
        && note.contains(QStringLiteral("Запись %1").arg(a2)))
        << note.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, ChainTamper,
    ::testing::Values(LaneFixture::Sqlite, LaneFixture::Server),
    [](const auto &info) { return info.param == LaneFixture::Sqlite ? "Sqlite" : "Server"; });

using Upgrade = LaneFixture;

// The tables exactly as the previous version of the program creates them.
const char *const PreviousSchema[] = {
    "CREATE TABLE \"models.DB\" (\"Index\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Name\" "
    "VARCHAR(40), \"SaveSystem\" VARCHAR(40), \"Category\" VARCHAR(10), \"MinTax\" DOUBLE, "
    "\"MinTaxD\" DOUBLE, \"MinCO\" DOUBLE, \"MinCH\" DOUBLE, \"MinCO2\" DOUBLE, \"MinO2\" DOUBLE, "
    "\"MinNOx\" DOUBLE, \"MinLambda\" DOUBLE, \"MaxTax\" DOUBLE, \"MaxTaxD\" DOUBLE, \"MaxCO\" "
    "DOUBLE, \"MaxCH\" DOUBLE, \"MaxCO2\" DOUBLE, \"MaxO2\" DOUBLE, \"MaxNOx\" DOUBLE, "
    "\"MaxLambda\" DOUBLE)",
    "CREATE TABLE \"reports.db\" (\"Index\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Date\" DATE, "
    "\"Time\" TIME, \"ZMNum\" DOUBLE, \"Model\" DOUBLE, \"GovNumber\" VARCHAR(8), \"MinTax\" "
    "DOUBLE, \"MinCO\" DOUBLE, \"MinCH\" DOUBLE, \"MinCO2\" DOUBLE, \"MinO2\" DOUBLE, \"MinNOx\" "
    "DOUBLE, \"MinLambda\" DOUBLE, \"MaxTax\" DOUBLE, \"MaxCO\" DOUBLE, \"MaxCH\" DOUBLE, "
    "\"MaxCO2\" DOUBLE, \"MaxO2\" DOUBLE, \"MaxNOx\" DOUBLE, \"MaxLambda\" DOUBLE)",
    "CREATE INDEX \"reports_Date\" ON \"reports.db\" (\"Date\")",
    "INSERT INTO \"models.DB\" (\"Name\", \"MinCO\") VALUES ('Карбюратор', 3.5)",
};

// Makes the folder's database as the previous version left it, then lets
// `fill` add to it through its own connection, closed afterwards.
void makePreviousVersion(const QString &folder, const std::function<void(QSqlQuery &)> &fill)
{
    QDir().mkpath(folder + QStringLiteral("db"));
    const QString name = QStringLiteral("previous");
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        old.setDatabaseName(ZelmorDatabase::databasePath(folder));
        ASSERT_TRUE(old.open());
        QSqlQuery q(old);
        for (const char *statement : PreviousSchema)
            ASSERT_TRUE(q.exec(QLatin1String(statement))) << statement;
        fill(q);
        q = QSqlQuery();
        old.close();
    }
    QSqlDatabase::removeDatabase(name);
}

TEST_F(Upgrade, ResultsOfThePreviousVersionAreKeptAndChained)
{
    const QString folder = laneFolder(Sqlite);
    makePreviousVersion(folder, [&](QSqlQuery &q) {
        for (int i = 0; i < 30; ++i)
            ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO \"reports.db\" (\"Date\", \"Time\", "
                                              "\"ZMNum\", \"Model\", \"GovNumber\", \"MinCO\", "
                                              "\"MaxLambda\") VALUES ('2020-01-%1', '10:00:%1', "
                                              "%2, 1, 'Р%1', 0.%1, 1.01)")
                                   .arg(10 + i % 18)
                                   .arg(i % 3 ? 100 : 200)));
    });
    ASSERT_FALSE(HasFatalFailure());

    auto db = openLane(folder);
    const QSqlDatabase c = db->connection();
    QFile log(logDir.path() + QStringLiteral("/zelmor.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("reports chained: 30"));
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT count(*) FROM \"reports.db\"")).toInt(), 30);
    EXPECT_EQ(
        scalar(c, QStringLiteral("SELECT count(*) FROM \"reports.db\" WHERE \"Hash\" IS NULL"))
            .toInt(),
        0);
    EXPECT_EQ(
        scalar(c, QStringLiteral("SELECT \"GovNumber\" FROM \"reports.db\" WHERE \"Index\" = 2"))
            .toString(),
        QStringLiteral("Р11"));
    ReportChain::VerifyResult check = ReportChain::verify(c);
    EXPECT_TRUE(check.intact()) << check.faults.value(0).text().toStdString();
    EXPECT_EQ(check.chains, 2);

    // New results continue the chains; a later edit of an old row is found.
    const int added = db->StoreTestResult(result(100, QStringLiteral("НОВ")), StoredAt);
    EXPECT_EQ(added, 31);
    EXPECT_TRUE(ReportChain::verify(c).intact());
    QSqlQuery q(c);
    ASSERT_TRUE(
        q.exec(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 0.2 WHERE \"Index\" = 5")));
    check = ReportChain::verify(c);
    ASSERT_FALSE(check.intact());
    EXPECT_EQ(check.faults.first().index, 5);

    // Opening again changes nothing more.
    db.reset();
    db = openLane(folder);
    EXPECT_EQ(ReportChain::verify(db->connection()).faults.value(0).index, 5);
}

} // namespace

namespace {

// A database chained by the previous version (links without the protocol
// number, deletions beside the chain) keeps its rows' hashes: they still
// check under their own scheme, new results go on under the current one,
// and an old row edited later is still found.
TEST_F(Upgrade, ChainOfThePreviousVersionKeepsItsHashesAndGoesOn)
{
    const QString folder = laneFolder(Sqlite);
    makePreviousVersion(folder, [&](QSqlQuery &q) {
        for (const char *statement :
            { "ALTER TABLE \"reports.db\" ADD COLUMN \"PrevHash\" VARCHAR(64)",
                "ALTER TABLE \"reports.db\" ADD COLUMN \"Hash\" VARCHAR(64)",
                "CREATE TABLE \"report_chains\" (\"Chain\" VARCHAR(40) PRIMARY KEY, "
                "\"LastIndex\" INTEGER NOT NULL, \"LastHash\" VARCHAR(64) NOT NULL)",
                "CREATE TABLE \"report_deletions\" (\"Index\" INTEGER PRIMARY KEY, \"Chain\" "
                "VARCHAR(40), \"PrevHash\" VARCHAR(64), \"Hash\" VARCHAR(64), \"DeletedAt\" "
                "VARCHAR(19))" })
            ASSERT_TRUE(q.exec(QLatin1String(statement))) << statement;
        // Rows 1 … 4 of instrument 5, row 3 deleted through that version.
        ChainHasher hasher;
        QByteArray prev;
        for (int i = 1; i <= 4; ++i) {
            ReportChain::Row r;
            r.index = i;
            r.date = QStringLiteral("2020-02-0%1").arg(i);
            r.time = QStringLiteral("10:00:0%1").arg(i);
            r.zmNum = 5.0;
            r.model = 1.0;
            r.govNumber = QStringLiteral("Р%1").arg(i);
            r.values[1] = 0.25 * i; // MinCO
            r.scheme = ReportChain::Legacy;
            r.prevHash = prev;
            r.hash = ReportChain::hashOf(hasher, r);
            const QString values
                = QStringLiteral("%1, '%2', '%3', 5, 1, '%4', %5, '%6', '%7'")
                      .arg(i)
                      .arg(r.date.toString(), r.time.toString(), r.govNumber.toString())
                      .arg(0.25 * i)
                      .arg(QString::fromLatin1(prev), QString::fromLatin1(r.hash));
            ASSERT_TRUE(
                q.exec(i == 3 ? QStringLiteral("INSERT INTO report_deletions VALUES (3, "
                                               "'5', '%1', '%2', '2020-02-05 10:00:00')")
                                    .arg(QString::fromLatin1(prev), QString::fromLatin1(r.hash))
                              : QStringLiteral("INSERT INTO \"reports.db\" (\"Index\", "
                                               "\"Date\", \"Time\", \"ZMNum\", \"Model\", "
                                               "\"GovNumber\", \"MinCO\", \"PrevHash\", "
                                               "\"Hash\") VALUES (%1)")
                                    .arg(values)))
                << q.lastError().text().toStdString();
            prev = r.hash;
        }
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO report_chains VALUES ('5', 4, '%1')")
                               .arg(QString::fromLatin1(prev))));
    });
    ASSERT_FALSE(HasFatalFailure());

    auto db = openLane(folder);
    const QSqlDatabase c = db->connection();
    // Nothing chained anew: the old rows keep their hashes and their marker.
    EXPECT_EQ(scalar(c,
                  QStringLiteral("SELECT count(*) FROM \"reports.db\" WHERE "
                                 "\"ChainScheme\" IS NULL"))
                  .toInt(),
        3);
    ReportChain::VerifyResult check = ReportChain::verify(c, db->chainContext());
    EXPECT_TRUE(check.intact()) << check.faults.value(0).text().toStdString()
                                << check.cannotCheck.toStdString();
    EXPECT_EQ(check.rows, 3);

    const int added = db->StoreTestResult(result(5, QStringLiteral("НОВ")), StoredAt);
    db->deleteReport(2);
    check = ReportChain::verify(c, db->chainContext());
    EXPECT_TRUE(check.intact()) << check.faults.value(0).text().toStdString();
    EXPECT_EQ(scalar(c,
                  QStringLiteral("SELECT \"ChainScheme\" FROM \"reports.db\" WHERE "
                                 "\"Index\" = %1")
                      .arg(added))
                  .toInt(),
        int(ReportChain::Plain));

    QSqlQuery q(c);
    ASSERT_TRUE(
        q.exec(QStringLiteral("UPDATE \"reports.db\" SET \"MinCO\" = 0.9 WHERE \"Index\" = 1")));
    check = ReportChain::verify(c, db->chainContext());
    ASSERT_FALSE(check.intact());
    EXPECT_EQ(check.faults.first().index, 1);
}

} // namespace

#include "database_fixture.h"

#include "common/ZelmorError.h"
#include "database/ShippedModels.h"
#include "database/TableCursor.h"

#include <QDir>
#include <QFileInfo>

namespace {

TEST_F(DatabaseFixture, FirstStartCreatesTheDatabaseWithTheShippedModelsOnce)
{
    ASSERT_FALSE(QDir(folder() + QStringLiteral("db")).exists());
    openDb();
    EXPECT_TRUE(QFileInfo::exists(dbPath()));
    EXPECT_FALSE(QFileInfo::exists(dbPath() + QStringLiteral(".new")));
    const QList<ModelRecord> shipped = shippedModels();
    ASSERT_EQ(db->tbModels()->rowCount(), shipped.size());
    EXPECT_EQ(db->tbModels()->currentRow(), 0);
    EXPECT_EQ(db->CurrentModel().Name, shipped.first().Name);
    EXPECT_EQ(db->CurrentModel().limits.MinCO, shipped.first().limits.MinCO);
    EXPECT_EQ(db->tbReports()->rowCount(), 0);

    // Second start: the file is used as it is, including changes made to it.
    column(QStringLiteral("UPDATE \"models.DB\" SET Name = 'Свой' WHERE \"Index\" = 1"));
    openDb();
    EXPECT_EQ(db->CurrentModel().Name, QStringLiteral("Свой"));
    EXPECT_EQ(logLines().count(QStringLiteral("alias zelmor created")), 1);
}

// A missing database is created anew, silently on the first start; where the
// program ran before, the operator is told, so a lost file is noticed at once.
TEST_F(DatabaseFixture, MissingDatabaseIsSaidWhereTheProgramRanBefore)
{
    const struct
    {
        const char *name;
        QByteArray log; // before open(), this run's start included
        bool said;
    } cases[] = {
        { "first start, no log yet", "", false },
        { "first start", "[23.02.09][14:03:27] start zelmor\n", false },
        { "earlier run",
            "[22.02.09][09:00:00] start zelmor\n[22.02.09][18:00:00] exit zelmor\n"
            "[23.02.09][14:03:27] start zelmor\n",
            true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder() + QStringLiteral("db")).removeRecursively();
        QFile log(folder() + QStringLiteral("zelmor.log"));
        ASSERT_TRUE(log.open(QIODevice::WriteOnly | QIODevice::Truncate));
        log.write(c.log);
        log.close();
        openDb();
        EXPECT_EQ(db->tbModels()->rowCount(), shippedModels().size());
        EXPECT_EQ(db->startupNotice().contains(QDir::toNativeSeparators(dbPath())), c.said)
            << db->startupNotice().toStdString();
        EXPECT_EQ(logLines().contains(
                      QStringLiteral("database not found: new database created at ") + dbPath()),
            c.said);
        openDb(); // the next start finds it
        EXPECT_TRUE(db->startupNotice().isEmpty());
    }
}

TEST_F(DatabaseFixture, ShippedModelsHaveUsableLimits)
{
    for (const ModelRecord &m : shippedModels()) {
        SCOPED_TRACE(m.Name.toStdString());
        EXPECT_NEAR(m.limits.MinTax, 800, 50);
        EXPECT_GE(m.limits.MaxTax, 2500);
        EXPECT_LE(m.limits.MaxTax, 3000);
        EXPECT_GT(m.limits.MinCO, m.limits.MaxCO);
        EXPECT_EQ(m.limits.MinLambda, 1.0);
        EXPECT_EQ(m.limits.MinNOx, 0);
    }
}

// A file that is there but cannot serve as the database is reported, never
// replaced: it may be the operator's only copy of the results.
TEST_F(DatabaseFixture, UnusableFileGivesAnErrorAndStaysUntouched)
{
    const QByteArray contents[] = {
        QByteArray(4096, 'x'), QByteArray("SQLite format 3").append(QByteArray(200, '\0')),
        QByteArray(), // empty: a database without the tables
    };
    for (const QByteArray &content : contents) {
        SCOPED_TRACE(content.left(20).toStdString());
        QDir().mkpath(folder() + QStringLiteral("db"));
        QFile f(dbPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        db = std::make_unique<ZelmorDatabase>();
        try {
            db->open(folder());
            ADD_FAILURE() << "opened";
        } catch (const ZelmorError &e) {
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(dbPath()))
                || e.message().contains(QStringLiteral("models.DB")))
                << e.message().toStdString();
        }
        EXPECT_FALSE(db->isOpen());
        db.reset();
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), content);
        f.close();
    }
    // Each refusal leaves its trace in the log.
    const QStringList log = logLines();
    ASSERT_EQ(log.size(), 3) << log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(log[0].left(log[0].indexOf(QLatin1Char(':'), 16)),
        QStringLiteral("database error: ") + dbPath() + QStringLiteral(" is not a database"));
    for (const QString &line : log)
        EXPECT_TRUE(line.startsWith(QStringLiteral("database error: "))) << line.toStdString();
    EXPECT_TRUE(log[2].contains(QStringLiteral("models.DB"))) << log[2].toStdString();
}

TEST_F(DatabaseFixture, FolderThatCannotBeMadeGivesAnError)
{
    QFile blocker(folder() + QStringLiteral("db")); // a file where the folder belongs
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    db = std::make_unique<ZelmorDatabase>();
    try {
        db->open(folder());
        ADD_FAILURE() << "opened";
    } catch (const ZelmorError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Не удалось создать папку")))
            << e.message().toStdString();
    }
    EXPECT_FALSE(db->isOpen());
    EXPECT_EQ(logLines(),
        QStringList { QStringLiteral("database error: cannot create folder ") + folder()
            + QStringLiteral("db") });
}

// A deleted model's Index is never given to a new one, or the old reports
// would name the wrong model.
TEST_F(DatabaseFixture, ModelIndexesAreNotReused)
{
    openDb();
    TableCursor *models = db->tbModels();
    models->last();
    const int lastIndex = models->asInteger(QStringLiteral("Index"));
    models->deleteCurrent();
    models->insert();
    models->setValue(QStringLiteral("Name"), QStringLiteral("Новая"));
    models->post();
    EXPECT_EQ(models->asString(QStringLiteral("Name")), QStringLiteral("Новая"));
    EXPECT_GT(models->asInteger(QStringLiteral("Index")), lastIndex);
}

TEST_F(DatabaseFixture, CursorStoresAnEditWhenItMovesAndDropsAnUntouchedNewRecord)
{
    openDb();
    TableCursor *models = db->tbModels();
    const int count = models->rowCount();
    models->setValue(QStringLiteral("MinCO"), 1.25);
    models->setCurrentRow(2);
    EXPECT_EQ(models->currentRow(), 2);
    EXPECT_EQ(column(QStringLiteral("SELECT MinCO FROM \"models.DB\" WHERE \"Index\" = 1")),
        QVariantList { 1.25 });

    models->insert();
    EXPECT_EQ(models->rowCount(), count + 1);
    models->setCurrentRow(0);
    EXPECT_EQ(models->rowCount(), count);
    EXPECT_EQ(models->currentRow(), 0);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM \"models.DB\"")), QVariantList { count });
}

// What an editor left pending is stored when the program ends, not lost.
TEST_F(DatabaseFixture, PendingModelEditsAreStoredAtTheEnd)
{
    struct Case
    {
        const char *name;
        bool explicitCall; // postPendingEdits() or only the end of the database object
    };
    for (const Case c : { Case { "postPendingEdits", true }, Case { "destroyed", false } }) {
        SCOPED_TRACE(c.name);
        openDb();
        db->tbModels()->setCurrentRow(1);
        const int index = db->CurrentModel().Index;
        db->tbModels()->setValue(QStringLiteral("MaxCO"), c.explicitCall ? 2.7 : 2.9);
        if (c.explicitCall)
            db->postPendingEdits();
        else
            db.reset();
        openDb();
        EXPECT_EQ(
            column(
                QStringLiteral("SELECT MaxCO FROM \"models.DB\" WHERE \"Index\" = %1").arg(index)),
            QVariantList { c.explicitCall ? 2.7 : 2.9 });
    }

    // A new model: stored with input, dropped without.
    const int count = db->tbModels()->rowCount();
    db->tbModels()->insert();
    db->postPendingEdits();
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM \"models.DB\"")), QVariantList { count });
    db->tbModels()->insert();
    db->tbModels()->setValue(QStringLiteral("Name"), QStringLiteral("Опытный"));
    db->postPendingEdits();
    EXPECT_EQ(
        column(QStringLiteral("SELECT Name FROM \"models.DB\" ORDER BY \"Index\" DESC LIMIT 1")),
        QVariantList { QStringLiteral("Опытный") });
}

// A database another program holds locked is not a damaged file.
TEST_F(DatabaseFixture, LockedDatabaseAtOpeningIsNotCalledDamaged)
{
    openDb();
    db.reset();
    clearLog();
    {
        QSqlDatabase other
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        other.setDatabaseName(dbPath());
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
        ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        db = std::make_unique<ZelmorDatabase>();
        try {
            db->open(folder());
            ADD_FAILURE() << "opened a locked database";
        } catch (const ZelmorError &e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("Не удалось открыть базу данных")))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("locked")))
                << e.message().toStdString();
        }
        db.reset();
        ASSERT_TRUE(hold.exec(QStringLiteral("ROLLBACK")));
        hold = QSqlQuery();
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    const QStringList log = logLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("database error: cannot read ")))
        << log[0].toStdString();
    openDb(); // let go: it opens again
    EXPECT_TRUE(db->isOpen());
}

} // namespace

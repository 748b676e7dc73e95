#include "database_permissions_fixture.h"

#include "common/ZelmorError.h"
#include "database/DatabaseError.h"
#include "database/ShippedModels.h"
#include "database/TableCursor.h"

#include <QDir>
#include <QFileInfo>

namespace {

TEST_F(
    DatabasePermissionsTest, ReadOnlyFolderOrFileIsBrowsedButRefusesToStoreAndLeavesNothingBehind)
{
    struct Case
    {
        const char *name;
        const char *chmodTarget; // "folder" or "file"
        const char *message;
    };
    const Case cases[] = {
        { "read-only db folder", "folder",
            "Нет права записи в папку базы данных %1: результаты не могут быть сохранены." },
        { "read-only db file", "file",
            "Нет права записи в файл базы данных %1: результаты не могут быть сохранены." },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool onFolder = QByteArray(c.chmodTarget) == "folder";
        const QString target = onFolder ? dbFolder() : dbPath();
        ASSERT_EQ(chmod(encoded(target), onFolder ? 0555 : 0444), 0);
        clearLog();
        {
            AsOrdinaryUser user;
            if (!user.active())
                GTEST_SKIP() << "cannot drop root rights";
            const QString said = openReporting();
            EXPECT_EQ(said,
                QStringLiteral("read-only: ")
                    + QString::fromUtf8(c.message).arg(QDir::toNativeSeparators(target)));
            // Browsing still works.
            ASSERT_TRUE(db->isOpen());
            EXPECT_FALSE(db->isWritable());
            EXPECT_EQ(db->tbModels()->rowCount(), shippedModels().size());
            EXPECT_FALSE(db->CurrentModel().Name.isEmpty());
            // Storing is refused with the reason, before the engine is asked.
            try {
                storeReport(1, QStringLiteral("A1"), QDateTime::currentDateTime());
                ADD_FAILURE() << "stored";
            } catch (const ZelmorError &e) {
                EXPECT_EQ(e.message(), db->readOnlyReason());
            }
            EXPECT_THROW(db->tbModels()->insert(), ZelmorError);
            db.reset();
        }
        EXPECT_EQ(dbFolderEntries(), QStringList { QStringLiteral("zelmor.sqlite") });
        const QStringList log = logLines();
        ASSERT_EQ(log.size(), 2) << log.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(log[0].startsWith(QStringLiteral("database error: ")));
        EXPECT_TRUE(log[0].contains(QStringLiteral("reading only"))) << log[0].toStdString();
        EXPECT_EQ(
            log[1], QStringLiteral("database error: result not stored: the database is read-only"));
        ASSERT_EQ(chmod(encoded(target), onFolder ? 0755 : 0644), 0);
    }

    // Writable again: the file was never touched and stores as before.
    AsOrdinaryUser user;
    EXPECT_EQ(openReporting(), QString());
    EXPECT_TRUE(db->isWritable());
    EXPECT_GT(storeReport(1, QStringLiteral("A1"), QDateTime::currentDateTime()), 0);
}

TEST_F(DatabasePermissionsTest, UnreadableFileIsNotCalledDamaged)
{
    ASSERT_EQ(chmod(encoded(dbPath()), 0200), 0);
    AsOrdinaryUser user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop root rights";
    EXPECT_EQ(openReporting(),
        QStringLiteral("Нет права чтения файла базы данных %1.")
            .arg(QDir::toNativeSeparators(dbPath())));
    EXPECT_FALSE(db->isOpen());
    EXPECT_EQ(logLines(),
        QStringList { QStringLiteral("database error: no read permission on ") + dbPath() });
}

TEST_F(DatabasePermissionsTest, ReadOnlyFolderWithoutADatabaseSaysWhyItCannotBeCreated)
{
    QFile::remove(dbPath());
    ASSERT_EQ(chmod(encoded(dbFolder()), 0555), 0);
    AsOrdinaryUser user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop root rights";
    EXPECT_EQ(openReporting(),
        QStringLiteral(
            "Нет права записи в папку базы данных %1: база данных не может быть создана.")
            .arg(QDir::toNativeSeparators(dbFolder())));
    EXPECT_TRUE(dbFolderEntries().isEmpty());
    ASSERT_EQ(logLines().size(), 1);
    EXPECT_TRUE(logLines()[0].startsWith(QStringLiteral("database error: cannot create ")));
}

} // namespace

#pragma once

#include "database_fixture.h"

#include "../config/config_temp_folder.h"

#include "common/ZelmorError.h"
#include "database/DatabaseError.h"

#include <QDir>
#include <QDirIterator>

#include <sys/stat.h>
#include <unistd.h>

// The program folder belongs to the operator, who is not root: when the tests
// run as root the files are handed to "nobody" and each case runs as nobody,
// because root may write where the operator may not.
class DatabasePermissionsTest : public DatabaseFixture
{
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        // A first start as the installer: the database with its shipped models.
        openDb();
        db.reset();
        clearLog();
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther);
        if (geteuid() == 0) {
            chownToNobody(dir.path());
            QDirIterator it(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                QDirIterator::Subdirectories);
            while (it.hasNext())
                chownToNobody(it.next());
        }
    }
    void TearDown() override
    {
        db.reset();
        chmod(encoded(dbFolder()), 0755); // so the temporary folder can go
        chmod(encoded(dbPath()), 0644);
        DatabaseFixture::TearDown();
    }

    static void chownToNobody(const QString &path)
    {
        ASSERT_EQ(lchown(encoded(path), AsOrdinaryUser::nobody, AsOrdinaryUser::nogroup), 0);
    }
    static QByteArray encoded(const QString &path) { return QFile::encodeName(path); }
    QString dbFolder() const { return folder() + QStringLiteral("db"); }
    QStringList dbFolderEntries() const
    {
        return QDir(dbFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // Opens the database; returns the message of what open() threw ("" when nothing).
    QString openReporting()
    {
        db = std::make_unique<ZelmorDatabase>();
        try {
            db->open(folder());
        } catch (const DatabaseReadOnlyError &e) {
            return QStringLiteral("read-only: ") + e.message();
        } catch (const ZelmorError &e) {
            return e.message();
        }
        return {};
    }
};

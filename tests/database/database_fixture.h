#pragma once

#include "common/ProgramFolder.h"
#include "database/ZelmorDatabase.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A program folder of its own per test, with the database opened in it.
class DatabaseFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setProgramFolder(folder());
    }
    void TearDown() override
    {
        db.reset();
        setProgramFolder(QString());
    }

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QString dbPath() const { return ZelmorDatabase::databasePath(folder()); }

    ZelmorDatabase &openDb()
    {
        db = std::make_unique<ZelmorDatabase>();
        db->open(folder());
        return *db;
    }

    void clearLog() const { QFile::remove(folder() + QStringLiteral("zelmor.log")); }

    QStringList logLines() const
    {
        QFile f(folder() + QStringLiteral("zelmor.log"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
            if (!line.isEmpty())
                lines << line.mid(line.indexOf(QLatin1String("] ")) + 2);
        return lines;
    }

    // Runs a statement on the open database and returns the first column of
    // every row.
    QVariantList column(const QString &statement) const
    {
        QSqlQuery q(db->connection());
        EXPECT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
        QVariantList values;
        while (q.next())
            values << q.value(0);
        return values;
    }

    int storeReport(int model, const QString &number, const QDateTime &when, float co = 0.5f)
    {
        TestResult r;
        r.modelIndex = model;
        r.govNumber = number;
        r.instrumentNumber = 1234;
        r.means.fill(co);
        return db->StoreTestResult(r, when);
    }

    QTemporaryDir dir;
    std::unique_ptr<ZelmorDatabase> db;
};

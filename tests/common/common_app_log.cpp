#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"

#include "../config/config_temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace {

class AppLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setProgramFolder(dir.path());
    }
    void TearDown() override { setProgramFolder(QString()); }

    QString logPath() const { return dir.filePath(QStringLiteral("zelmor.log")); }
    QByteArray logBytes() const
    {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(AppLogTest, WritesOneStampedLinePerCall)
{
    // The polling thread sets "-" as time separator; the log keeps ":".
    const FormatSettings saved = FormatSettings::current();
    FormatSettings::setTimeSeparator(QLatin1Char('-'));
    FormatSettings::setDateSeparator(QLatin1Char('-'));
    WriteLog(QStringLiteral("start zelmor"));
    WriteLog(QStringLiteral("exit zelmor"));
    FormatSettings::setCurrent(saved);

    const QStringList lines = QString::fromUtf8(logBytes()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[2].isEmpty()); // each line ends with a line feed
    const QRegularExpression stamp(
        QStringLiteral("^\\[\\d\\d\\.\\d\\d\\.\\d\\d\\]\\[\\d\\d:\\d\\d:\\d\\d\\] start zelmor$"));
    EXPECT_TRUE(stamp.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("] exit zelmor")));
    EXPECT_EQ(FormatSettings::current().timeSeparator, saved.timeSeparator);
}

TEST_F(AppLogTest, AppendsToAnExistingLogWithoutTruncating)
{
    const QByteArray old = "[01.01.09][00:00:00] start zelmor\nsomething without a line end";
    {
        QFile f(logPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    WriteLog(QStringLiteral("zero correct"));
    const QByteArray now = logBytes();
    EXPECT_TRUE(now.startsWith(old));
    EXPECT_TRUE(now.endsWith("] zero correct\n"));
}

TEST_F(AppLogTest, UnwritableLocationLosesTheLineSilently)
{
    // A program folder that is a file cannot hold a log, whoever runs the test.
    QFile blocker(dir.filePath(QStringLiteral("notafolder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    setProgramFolder(blocker.fileName());
    EXPECT_NO_THROW(WriteLog(QStringLiteral("start zelmor")));
    setProgramFolder(dir.path());
    WriteLog(QStringLiteral("exit zelmor"));
    EXPECT_TRUE(logBytes().endsWith("] exit zelmor\n"));
}

// What the code under test writes to stderr while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_file.open();
        m_saved = dup(STDERR_FILENO);
        dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
    }
    QString text()
    {
        std::fflush(stderr);
        QFile f(m_file.fileName());
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

TEST_F(AppLogTest, ReadOnlyProgramFolderIsSaidOnceOnStderrAndNothingStops)
{
    // A program folder of the operator's own that he may not write.
    const QString folder = dir.filePath(QStringLiteral("prog"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(QFile::encodeName(folder).constData(), AsOrdinaryUser::nobody,
                      AsOrdinaryUser::nogroup),
            0);
    }
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    setProgramFolder(folder);
    const QString log = folder + QStringLiteral("/zelmor.log");

    QString said;
    {
        AsOrdinaryUser user;
        if (!user.active())
            GTEST_SKIP() << "cannot drop root rights to make the folder read-only";
        StderrCapture capture;
        for (int i = 0; i < 3; ++i)
            EXPECT_NO_THROW(WriteLog(QStringLiteral("start zelmor")));
        said = capture.text();
        EXPECT_FALSE(QFileInfo::exists(log));

        // Writable again: the line is written; read-only once more: said again once.
        ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0755), 0);
        WriteLog(QStringLiteral("exit zelmor"));
        ASSERT_EQ(chmod(QFile::encodeName(log).constData(), 0444), 0);
        WriteLog(QStringLiteral("start zelmor"));
        WriteLog(QStringLiteral("start zelmor"));
        said = capture.text();
    }
    const QStringList lines = said.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << said.toStdString();
    for (const QString &line : lines) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("zelmor: cannot write the log ")))
            << line.toStdString();
        EXPECT_TRUE(line.contains(log)) << line.toStdString();
    }
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("] exit zelmor\n"));
}

TEST_F(AppLogTest, LinesFromSeveralThreadsNeverInterleave)
{
    constexpr int threads = 4;
    constexpr int perThread = 50;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i)
                WriteLog(QStringLiteral("thread %1 line %2").arg(t).arg(i));
        });
    for (auto &w : writers)
        w.join();
    const QList<QByteArray> lines = logBytes().split('\n');
    ASSERT_EQ(lines.size(), threads * perThread + 1);
    const QRegularExpression line(QStringLiteral("^\\[[^]]+\\]\\[[^]]+\\] thread \\d line \\d+$"));
    for (int i = 0; i < threads * perThread; ++i)
        EXPECT_TRUE(line.match(QString::fromUtf8(lines[i])).hasMatch()) << lines[i].constData();
}

} // namespace

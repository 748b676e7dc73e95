#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

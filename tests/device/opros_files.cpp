// The instrument's per-variable data files, written into real folders.

#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"
#include "device/Records.h"
#include "device/SeriesFileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

#include <sys/stat.h>

namespace {

const QStringList AllFolders { "warm_up", "result", "term_ratio", "drift" };

class SeriesFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override { FormatSettings::setCurrent(m_saved); }

    void makeFolders(const QStringList &folders)
    {
        for (const QString &f : folders)
            ASSERT_TRUE(QDir(m_dir.path()).mkpath(f));
    }
    QString read(const QString &relative) const
    {
        QFile file(m_dir.filePath(relative));
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        return QString::fromUtf8(file.readAll());
    }
    int fileCount(const QString &folder) const
    {
        return int(QDir(m_dir.filePath(folder)).entryList(QDir::Files).size());
    }

    QTemporaryDir m_dir;
    FormatSettings m_saved;
    std::array<uint8_t, PacketBufferSize> m_buffer {};
};

TEST_F(SeriesFilesTest, FileNamesCarryTwoDigitIndexAndVariableName)
{
    const struct
    {
        int index;
        const char *name;
    } cases[] = { { 0, "00_fp_nado.txt" }, { 6, "06_CO.txt" }, { 15, "15_gaseCO.txt" },
        { 35, "35_tick_ms.txt" }, { 50, "50_DI_driftNOx.txt" } };
    for (const auto &c : cases)
        EXPECT_EQ(SeriesFileWriter::fileName(c.index), QString::fromLatin1(c.name)) << c.index;
}

TEST_F(SeriesFilesTest, EachKindWritesItsOwnFolderAndNumberOfFiles)
{
    makeFolders(AllFolders);
    SeriesFileWriter writer(m_dir.path());
    const struct
    {
        int kind;
        const char *folder;
        int files;
    } kinds[] = { { DataKindWarmUp, "warm_up", 6 }, { DataKindResult, "result", 26 },
        { DataKindTermRatio, "term_ratio", 9 }, { DataKindDrift, "drift", 10 } };
    for (const auto &k : kinds) {
        writer.WriteSeriesFiles(k.kind, m_buffer.data(), 0);
        EXPECT_EQ(fileCount(k.folder), k.files) << k.folder;
    }
    // Progress answers and "nothing yet" write nothing.
    writer.WriteSeriesFiles(DataKindProgress, m_buffer.data(), 1);
    writer.WriteSeriesFiles(DataKindNone, m_buffer.data(), 1);
    int total = 0;
    for (const QString &f : AllFolders)
        total += fileCount(f);
    EXPECT_EQ(total, 6 + 26 + 9 + 10);
}

TEST_F(SeriesFilesTest, LinesHoldIndexTabAndFloat32ValueWithSystemSeparator)
{
    makeFolders(AllFolders);
    ResultRecord record;
    record.gaseCO = 0.1f;
    record.prer_CO = 2.5; // float64 passes through float32
    record.delta = -7;
    record.tax = 820;
    record.tick_ms = 16777217; // loses its last digit in float32
    record.term_m = -40;
    record.encode(m_buffer.data());

    SeriesFileWriter writer(m_dir.path());
    writer.WriteSeriesFiles(DataKindResult, m_buffer.data(), 0);
    record.gaseCO = 7;
    record.encode(m_buffer.data());
    writer.WriteSeriesFiles(DataKindResult, m_buffer.data(), 1);

    EXPECT_EQ(read("result/15_gaseCO.txt"), "0\t0,100000001490116\n1\t7\n");
    EXPECT_EQ(read("result/20_prer_CO.txt"), "0\t2,5\n1\t2,5\n");
    EXPECT_EQ(read("result/30_delta.txt"), "0\t-7\n1\t-7\n");
    EXPECT_EQ(read("result/34_tax.txt"), "0\t820\n1\t820\n");
    EXPECT_EQ(read("result/35_tick_ms.txt"), "0\t16777216\n1\t16777216\n");
    EXPECT_EQ(read("result/40_term_m.txt"), "0\t-40\n1\t-40\n");
    EXPECT_FLOAT_EQ(writer.SeriesValues()[15], 7.0f);
}

TEST_F(SeriesFilesTest, ShortAnswerIsReadWithTheLayoutOfItsKind)
{
    makeFolders({ "drift" });
    DriftInfoRecord drift;
    drift.DI_driftNOx = 1.5f;
    drift.encode(m_buffer.data());
    SeriesFileWriter writer(m_dir.path());
    writer.WriteSeriesFiles(DataKindDrift, m_buffer.data(), 41);
    EXPECT_EQ(read("drift/50_DI_driftNOx.txt"), "41\t1,5\n");
}

TEST_F(SeriesFilesTest, MissingFoldersAreNeverCreatedAndLoseTheirLinesSilently)
{
    makeFolders({ "result" });
    SeriesFileWriter writer(m_dir.path());
    writer.WriteSeriesFiles(DataKindWarmUp, m_buffer.data(), 0);
    writer.WriteSeriesFiles(DataKindDrift, m_buffer.data(), 0);
    writer.WriteSeriesFiles(DataKindResult, m_buffer.data(), 0);
    EXPECT_FALSE(QDir(m_dir.filePath("warm_up")).exists());
    EXPECT_FALSE(QDir(m_dir.filePath("drift")).exists());
    EXPECT_EQ(fileCount("result"), 26);
}

TEST_F(SeriesFilesTest, AFileThatCannotBeOpenedDoesNotStopTheOthers)
{
    makeFolders({ "result" });
    // A folder where the file should be: opening it for appending fails.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("result/15_gaseCO.txt"));
    SeriesFileWriter writer(m_dir.path());
    writer.WriteSeriesFiles(DataKindResult, m_buffer.data(), 3);
    EXPECT_EQ(read("result/16_gaseCH.txt"), "3\t0\n");
    EXPECT_EQ(read("result/40_term_m.txt"), "3\t0\n");
}

TEST_F(SeriesFilesTest, NewFilesAreNotWritableByOthersAndLinksAreNeverFollowed)
{
    makeFolders({ "result", "elsewhere" });
    // A link in place of a folder; a link and a pipe in place of files.
    ASSERT_TRUE(QFile::link(m_dir.filePath("elsewhere"), m_dir.filePath("drift")));
    ASSERT_TRUE(QFile::link(
        m_dir.filePath("elsewhere/target.txt"), m_dir.filePath("result/15_gaseCO.txt")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.filePath("result/16_gaseCH.txt")), 0600), 0);
    const mode_t savedMask = ::umask(0);
    SeriesFileWriter writer(m_dir.path());
    writer.WriteSeriesFiles(DataKindResult, m_buffer.data(), 0);
    writer.WriteSeriesFiles(DataKindDrift, m_buffer.data(), 0);
    ::umask(savedMask);

    EXPECT_TRUE(QDir(m_dir.filePath("elsewhere")).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(read("result/40_term_m.txt"), "0\t0\n");
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(m_dir.filePath("result/40_term_m.txt")), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(SeriesFilesTest, DataRootComesFromTheEnvironmentElseTheProgramFolder)
{
    const QByteArray saved = qgetenv("ZELMOR_DATA_ROOT");
    qputenv("ZELMOR_DATA_ROOT", m_dir.path().toUtf8());
    EXPECT_EQ(SeriesFileWriter::defaultDataRoot(), m_dir.path());
    qunsetenv("ZELMOR_DATA_ROOT");
    setProgramFolder(m_dir.path());
    EXPECT_EQ(SeriesFileWriter::defaultDataRoot(), m_dir.path() + '/');
    setProgramFolder(QString());
    if (!saved.isEmpty())
        qputenv("ZELMOR_DATA_ROOT", saved);
}

} // namespace

// Measurement files as bytes: the writer's exact text, round trips of every
// kind of reading, files that are not recordings, and saving that fails.
#include "common/FormatSettings.h"
#include "files/MeasurementFile.h"
#include "tests/config/config_temp_folder.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

const QChar Comma = QLatin1Char(',');

MeasurementRecording recordingOf(std::initializer_list<MeasurementPoint> points)
{
    MeasurementRecording recording;
    recording.Points = points;
    return recording;
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// "Время, мс" ... "NOx, ppm" as Windows-1251 bytes.
const QByteArray HeaderLine = QByteArray("\xC2\xF0\xE5\xEC\xFF, \xEC\xF1\tCO, %\tCH, ppm\tCO2, %\t"
                                         "O2, %\tNOx, ppm\r\n");

TEST(MeasurementFileWriter, WritesTheHeaderAndGeneralNumbers)
{
    const MeasurementRecording recording = recordingOf({
        { 0, { 0.12f, 1500, 2.3f, 20.9f, 35 } },
        { 500, { 1.5f, 0, 0.1f, -1, 4999.5f } },
        { 4294967295u, { 1e-5f, 123456792, 7, 0.25f, 3 } },
    });
    const QByteArray expected = HeaderLine
        + "0\t0,119999997317791\t1500\t2,29999995231628\t20,8999996185303\t35\r\n"
          "500\t1,5\t0\t0,100000001490116\t-1\t4999,5\r\n"
          "4294967295\t9,99999974737875E-6\t123456792\t7\t0,25\t3\r\n";
    EXPECT_EQ(MeasurementFile::encode(recording, Comma), expected);
    // Under a point as the decimal separator.
    EXPECT_TRUE(
        MeasurementFile::encode(recording, QLatin1Char('.')).contains("\t0.119999997317791\t"));
}

TEST(MeasurementFileWriter, EmptyRecordingIsTheHeaderAlone)
{
    EXPECT_EQ(MeasurementFile::encode(MeasurementRecording(), Comma), HeaderLine);
    const MeasurementReadResult back = MeasurementFile::decode(HeaderLine, Comma);
    ASSERT_TRUE(back.Ok) << qPrintable(back.Error);
    EXPECT_TRUE(back.Recording.Points.empty());
    EXPECT_EQ(back.Recording.HeaderRow, MeasurementRecording::defaultHeader());
}

TEST(MeasurementFileRoundTrip, EveryFloatComesBackBitForBit)
{
    // Ordinary readings, the awkward ones, and random bit patterns of every
    // finite single-precision value.
    std::vector<float> values { 0.12f, 2.3f, 1.5f, 35, 0.1f, -1, 0, -0.0f, 1e-5f, 3.4028235e38f,
        -3.4028235e38f, 1.17549435e-38f, 1.4e-45f, 16777216.0f, 0.3f, 99.99f,
        std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity() };
    std::mt19937 random(7);
    while (values.size() < 5000) {
        const quint32 bits = random();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            values.push_back(value);
    }
    MeasurementRecording recording;
    recording.HeaderRow[0] = QStringLiteral("Время (своё), мс");
    for (size_t i = 0; i + 5 <= values.size(); i += 5)
        recording.Points.push_back({ quint32(i * 500),
            { values[i], values[i + 1], values[i + 2], values[i + 3], values[i + 4] } });

    for (QChar separator : { Comma, QChar(QLatin1Char('.')) }) {
        const MeasurementReadResult back
            = MeasurementFile::decode(MeasurementFile::encode(recording, separator), separator);
        ASSERT_TRUE(back.Ok) << qPrintable(back.Error);
        EXPECT_EQ(back.Recording.HeaderRow, recording.HeaderRow);
        ASSERT_EQ(back.Recording.Points.size(), recording.Points.size());
        for (size_t n = 0; n < recording.Points.size(); ++n) {
            const MeasurementPoint &a = recording.Points[n];
            const MeasurementPoint &b = back.Recording.Points[n];
            EXPECT_EQ(a.TimeMs, b.TimeMs);
            for (int gas = 0; gas < 5; ++gas) {
                if (std::isnan(a.Values[gas]))
                    EXPECT_TRUE(std::isnan(b.Values[gas]));
                else if (a.Values[gas] == 0) // the number format writes -0 as "0"
                    EXPECT_EQ(b.Values[gas], 0.0f);
                else
                    EXPECT_TRUE(sameBits(a.Values[gas], b.Values[gas]))
                        << a.Values[gas] << " came back as " << b.Values[gas];
            }
        }
    }
}

TEST(MeasurementFileReader, AcceptsOtherLineEndsAndBlankLines)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        size_t points;
        int leftOut = 0; // the incomplete last line left out
    };
    const QByteArray h = "T\tA\tB\tC\tD\tE";
    const QByteArray good = "\r\n1\t1\t2\t3\t4\t5";
    const Case cases[] = {
        { "line feeds only", h + "\n1\t1\t2\t3\t4\t5\n2\t1\t2\t3\t4\t5\n", 2 },
        { "no break after the last line", h + good + good, 2 },
        { "blank lines", h + "\r\n\r\n1\t1\t2\t3\t4\t5\r\n\r\n\n", 1 },
        { "header only, no break", h, 0 },
        { "blanks around numbers", h + "\r\n7\t 1,5 \t2\t3\t4\t5\r\n", 1 },
        // Recordings cut off by a crash in their last line.
        { "cut in a number", h + good + "\r\n500\t1,5\t2", 1, 3 },
        { "cut after a tab", h + good + good + "\r\n500\t1\t2\t3\t4\t", 2, 4 },
        { "cut in the line break", h + good + "\r\n500\t1\t2\r", 1, 3 },
        { "zeros where the end was", h + good + "\r\n" + QByteArray(8, '\0'), 1, 3 },
    };
    for (const Case &c : cases) {
        const MeasurementReadResult r = MeasurementFile::decode(c.bytes, Comma);
        EXPECT_TRUE(r.Ok) << c.name << ": " << qPrintable(r.Error);
        EXPECT_EQ(r.Recording.Points.size(), c.points) << c.name;
        EXPECT_EQ(r.PointsInFile, qint64(c.points)) << c.name;
        EXPECT_EQ(r.LeftOutLine, c.leftOut) << c.name;
        EXPECT_EQ(r.Recording.HeaderRow[5], QStringLiteral("E")) << c.name;
    }
}

TEST(MeasurementFileReader, SaysWhatIsWrongAndWhere)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int line;
        const char *says;
    };
    const QByteArray h = HeaderLine;
    const QByteArray good = "0\t1\t2\t3\t4\t5\r\n";
    const Case cases[] = {
        { "empty file", "", 0, "пуст" },
        { "only blank lines", "\r\n\r\n", 0, "заголов" },
        { "header of five cells", "a\tb\tc\td\te\r\n" + good, 1, "ячеек 5" },
        { "missing cell", h + good + "100\t1\t2\t3\t5\r\n", 3, "ячеек 5" },
        { "empty cell", h + good + "100\t1\t\t3\t4\t5\r\n", 3, "столбец 3 (CH, ppm) пуст" },
        { "short line before the last", h + "500\t1,5\t2\r\n" + good, 2, "ячеек 3" },
        { "header cut short", "a\tb\tc", 1, "ячеек 3" },
        { "trailing tab", h + "0\t1\t2\t3\t4\t5\t\r\n", 2, "ячеек 7" },
        { "point as separator", h + good + "100\t1.5\t2\t3\t4\t5\r\n", 3,
            "'1.5' is not a valid floating point value" },
        { "letters", h + "0\t1\t2\t3\tabc\t5\r\n", 2, "столбец 5 (O2, %): 'abc' is not a valid" },
        { "negative time", h + "-5\t1\t2\t3\t4\t5\r\n", 2, "'-5' не является временем" },
        { "time beyond 32 bits", h + "4294967296\t1\t2\t3\t4\t5\r\n", 2, "не является временем" },
        { "fractional time", h + "1,5\t1\t2\t3\t4\t5\r\n", 2, "не является временем" },
        { "too large for a reading", h + "0\t1e39\t2\t3\t4\t5\r\n", 2, "не умещается" },
        { "binary",
            QByteArray("\x7F"
                       "ELF\x02\x01\x01\x00\x00\x00",
                10),
            1, "управляющий символ" },
        { "nul in data", h + QByteArray("0\t1\t2\0\t3\t4\t5\r\n", 14), 2,
            "управляющий символ с кодом 0" },
    };
    for (const Case &c : cases) {
        const MeasurementReadResult r = MeasurementFile::decode(c.bytes, Comma);
        EXPECT_FALSE(r.Ok) << c.name;
        EXPECT_EQ(r.ErrorLine, c.line) << c.name << ": " << qPrintable(r.Error);
        EXPECT_TRUE(r.Error.contains(QString::fromUtf8(c.says)))
            << c.name << ": " << qPrintable(r.Error);
        if (c.line > 0) {
            EXPECT_TRUE(r.Error.startsWith(QStringLiteral("Строка %1: ").arg(c.line))) << c.name;
        }
    }
}

TEST(MeasurementFileReader, KeepsNoMoreThanAskedButCountsAll)
{
    MeasurementRecording recording;
    for (quint32 i = 0; i < 7; ++i)
        recording.Points.push_back({ i, { float(i), 0, 0, 0, 0 } });
    const MeasurementReadResult r
        = MeasurementFile::decode(MeasurementFile::encode(recording, Comma), Comma, 3);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Recording.Points.size(), 3u);
    EXPECT_EQ(r.PointsInFile, 7);
    EXPECT_EQ(r.Recording.Points.back().Values[0], 2.0f);
}

TEST(MeasurementFileOnDisk, SavesAndLoadsAndReplacesWhole)
{
    TempFolder folder;
    const QString path = folder.path(QStringLiteral("reports/2008-05-12__14-03-22.zm"));
    QDir().mkpath(QFileInfo(path).path());
    const MeasurementRecording first = recordingOf({ { 0, { 1, 2, 3, 4, 5 } } });
    QString error;
    ASSERT_TRUE(MeasurementFile::save(path, first, Comma, &error)) << qPrintable(error);
    const MeasurementRecording second
        = recordingOf({ { 0, { 6, 7, 8, 9, 10 } }, { 500, { 1, 1, 1, 1, 1 } } });
    ASSERT_TRUE(MeasurementFile::save(path, second, Comma, &error)) << qPrintable(error);
    const MeasurementReadResult back = MeasurementFile::load(path, Comma);
    ASSERT_TRUE(back.Ok) << qPrintable(back.Error);
    ASSERT_EQ(back.Recording.Points.size(), 2u);
    EXPECT_EQ(back.Recording.Points[0].Values[4], 10.0f);
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files).size(), 1);
}

TEST(MeasurementFileOnDisk, FailuresSaySoAndLeaveTheOldFile)
{
    TempFolder folder;
    QString error;
    EXPECT_FALSE(MeasurementFile::save(
        folder.path(QStringLiteral("missing/x.zm")), MeasurementRecording(), Comma, &error));
    EXPECT_FALSE(error.isEmpty());

    const MeasurementReadResult missing
        = MeasurementFile::load(folder.path(QStringLiteral("none.zm")), Comma);
    EXPECT_FALSE(missing.Ok);
    EXPECT_TRUE(missing.Error.startsWith(QStringLiteral("файл не читается")))
        << qPrintable(missing.Error);

    // A folder the operator may not write to: the earlier file stays whole.
    folder.write(QStringLiteral("locked/old.zm"), HeaderLine);
    const QString locked = folder.path(QStringLiteral("locked"));
    QFile::setPermissions(locked,
        QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
            | QFileDevice::ExeOther);
    {
        AsOrdinaryUser user;
        if (!user.active())
            GTEST_SKIP() << "runs as root and cannot drop its rights";
        error.clear();
        EXPECT_FALSE(MeasurementFile::save(locked + QStringLiteral("/old.zm"),
            recordingOf({ { 0, { 1, 2, 3, 4, 5 } } }), Comma, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QFile::setPermissions(
        locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(folder.read(QStringLiteral("locked/old.zm")), HeaderLine);
}

TEST(MeasurementFileName, DateAndTimeWithDashes)
{
    FormatSettings settings;
    settings.shortDateFormat = QStringLiteral("yyyy/mm/dd");
    settings.dateSeparator = QLatin1Char('-');
    settings.timeSeparator = QLatin1Char('-');
    const QDateTime moment(QDate(2008, 5, 12), QTime(14, 3, 22));
    EXPECT_EQ(
        MeasurementFile::proposedName(moment, settings), QStringLiteral("2008-05-12__14-03-22"));
}

} // namespace

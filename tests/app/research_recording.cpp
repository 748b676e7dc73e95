// The research recording without a window: readings in, the chart's points
// and axes, and files out and back in, with the thread's requests counted.
#include "app/ResearchRecording.h"
#include "common/FormatSettings.h"
#include "tests/config/config_temp_folder.h"
#include "tests/graphs/graphs_targets.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ResearchRecordingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        recording.createChart(&plot, QPoint(68, 28), [this] { return clock; });
        recording.setChannelRanges(DisplayLimits());
        recording.configureChart();
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    ResearchRecording::Link link()
    {
        ResearchRecording::Link l;
        l.takeNewResult = [this] { return std::exchange(newResult, std::nullopt); };
        l.restartSeries = [this] { ++restarts; };
        l.requestReadings = [this] { ++requests; };
        l.stopPolling = [this] { ++stops; };
        return l;
    }

    TGraphBox &chart() { return *recording.chart(); }

    // Points with known values at 500 ms steps from the chart's start.
    void record(const std::vector<TGraphBox::Values> &points)
    {
        chart().Reset();
        for (size_t n = 0; n < points.size(); ++n)
            chart().AppendPoint(points[n], chart().StartTick + quint32(n) * 500);
    }

    std::vector<TGraphBox::Values> points()
    {
        std::vector<TGraphBox::Values> all;
        for (int n = 0; n < chart().PointCount(); ++n)
            all.push_back({ chart().Point(0, n), chart().Point(1, n), chart().Point(2, n),
                chart().Point(3, n), chart().Point(4, n) });
        return all;
    }

    FormatSettings saved;
    TempFolder folder;
    ImageTarget plot { QSize(945, 497) };
    quint32 clock = 100000;
    std::optional<ResultRecord> newResult;
    int restarts = 0, requests = 0, stops = 0;
    ResearchRecording recording { link() };
};

const std::vector<TGraphBox::Values> Three {
    { 0.12f, 350, 13.5f, 0.8f, 120 },
    { 2.3f, 1500.5f, 14.25f, 1.5f, 35 },
    { 4.5f, 20, 0.1f, 20.9f, 4999 },
};

TEST_F(ResearchRecordingTest, ValueAxisShowsTheChosenGasScale)
{
    struct Case
    {
        int gas;
        QStringList labels;
    };
    const Case cases[] = {
        { 1, { "0", "300", "600", "900", "1200", "1500", "1800", "2100", "2400", "2700" } },
        { 3,
            { "0,00", "2,20", "4,40", "6,60", "8,80", "11,00", "13,20", "15,40", "17,60",
                "19,80" } },
        { 4, { "0", "500", "1000", "1500", "2000", "2500", "3000", "3500", "4000", "4500" } },
        { 0, { "0,00", "0,70", "1,40", "2,10", "2,80", "3,50", "4,20", "4,90", "5,60", "6,30" } },
    };
    for (const Case &c : cases) {
        recording.chooseAxis(c.gas, ResearchRecording::AxisDecimals[size_t(c.gas)]);
        QStringList labels;
        for (int k = 0; k <= chart().YTickCount(); ++k)
            labels << chart().ValueLabels[k].Text;
        EXPECT_EQ(labels, c.labels) << qPrintable(ResearchRecording::caption(c.gas));
    }
    // An empty range leaves the axis as it is.
    DisplayLimits empty;
    empty.Low[2] = 16;
    recording.setChannelRanges(empty);
    recording.chooseAxis(2, 2);
    EXPECT_EQ(chart().ValueLabels[9].Text, QStringLiteral("6,30"));
}

TEST_F(ResearchRecordingTest, StartBeginsANewRecordingTimedFromNowAndFeedTakesEachReadingOnce)
{
    record(std::vector<TGraphBox::Values>(2000, { 1, 1, 1, 1, 1 }));
    recording.scrollTo(1000);
    clock = 250000;
    recording.start();
    EXPECT_EQ(chart().PointCount(), 0);
    EXPECT_EQ(chart().ScrollOffset, 0);
    EXPECT_EQ(chart().StartTick, 250000u);
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(requests, 1);

    EXPECT_FALSE(recording.feed());
    ResultRecord r;
    r.gaseCO = 2.5f;
    r.gaseCH = 350;
    r.gaseCO2 = 13.456f;
    r.gaseO2 = 0.8f;
    r.gaseNOx = 120.4f;
    newResult = r;
    clock += 1500;
    const auto legend = recording.feed();
    ASSERT_TRUE(legend);
    EXPECT_EQ(*legend,
        (ResearchRecording::Legend { QStringLiteral("2,50"), QStringLiteral("350,00"),
            QStringLiteral("13,46"), QStringLiteral("0,80"), QStringLiteral("120") }));
    EXPECT_FALSE(recording.feed());
    ASSERT_EQ(chart().PointCount(), 1);
    EXPECT_EQ(chart().Point(4, 0), 120.4f);
    EXPECT_EQ(chart().PointTick(0) - chart().StartTick, 1500u);
    recording.stop();
    EXPECT_EQ(stops, 1);
}

TEST_F(ResearchRecordingTest, SavedRecordingReopensPointForPoint)
{
    record(Three);
    const QString path = folder.path(QStringLiteral("run.zm"));
    const ResearchRecording::Saved saved
        = recording.save(path, MeasurementRecording::defaultHeader());
    EXPECT_TRUE(saved.error.isEmpty()) << qPrintable(saved.error);
    EXPECT_EQ(saved.lengthMs, 1000u);
    EXPECT_EQ(saved.recording.Points.size(), Three.size());
    const QByteArray bytes = folder.read(QStringLiteral("run.zm"));
    EXPECT_TRUE(bytes.startsWith(QByteArray("\xC2\xF0\xE5\xEC\xFF, \xEC\xF1\tCO, %\t")));
    EXPECT_TRUE(bytes.contains("\r\n500\t2,29999995231628\t1500,5\t14,25\t1,5\t35\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));

    // Something else on the chart, then the file again.
    record({ { 9, 9, 9, 9, 9 } });
    recording.scrollTo(3);
    const ResearchRecording::Opened opened = recording.open(path);
    EXPECT_TRUE(opened.loaded);
    EXPECT_TRUE(opened.message.isEmpty()) << qPrintable(opened.message);
    const auto back = points();
    ASSERT_EQ(back.size(), Three.size());
    EXPECT_EQ(std::memcmp(back.data(), Three.data(), sizeof(TGraphBox::Values) * Three.size()), 0);
    EXPECT_EQ(chart().PointTick(2) - chart().StartTick, 1000u); // each point keeps its time
    EXPECT_TRUE(chart().RedrawOnAdd);
    EXPECT_EQ(chart().ScrollOffset, 0);
    EXPECT_EQ(chart().TimeLabels[0].Text, QStringLiteral("00:00"));
}

TEST_F(ResearchRecordingTest, FileThatIsNotARecordingLeavesTheChart)
{
    record(Three);
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *says;
    };
    const QByteArray header = MeasurementFile::encode(MeasurementRecording(), QLatin1Char(','));
    const Case cases[] = {
        { "bad.zm", header + "0\t1\t2\t3\t4\t5\r\n500\t1.5\t2\t3\t4\t5\r\n", "Строка 3" },
        { "short.zm", header + "0\t1\t2\r\n500\t1,5\t2\t3\t4\t5\r\n", "Строка 2" },
        { "binary.zm", QByteArray("\x89PNG\r\n\x1A\n\0\0", 10), "Строка 1" },
        { "missing.zm", QByteArray(), "не читается" },
    };
    for (const Case &c : cases) {
        if (!c.bytes.isNull())
            folder.write(QLatin1String(c.name), c.bytes);
        const ResearchRecording::Opened opened = recording.open(folder.path(QLatin1String(c.name)));
        EXPECT_FALSE(opened.loaded) << c.name;
        EXPECT_TRUE(opened.message.contains(QString::fromUtf8(c.says)))
            << qPrintable(opened.message);
        EXPECT_TRUE(opened.message.contains(QLatin1String(c.name))) << qPrintable(opened.message);
        EXPECT_EQ(points().size(), Three.size()) << c.name;
        EXPECT_EQ(chart().Point(1, 1), 1500.5f) << c.name;
    }
}

// What of a file is left out is said: a last line cut off by a crash, the
// points beyond the chart's capacity.
TEST_F(ResearchRecordingTest, WhatIsLeftOutOfAFileIsSaid)
{
    folder.write(QStringLiteral("cut.zm"),
        MeasurementFile::encode(MeasurementRecording(), QLatin1Char(','))
            + "0\t1\t2\t3\t4\t5\r\n500\t1,5\t2\t3\t4\t5\r\n1000\t1,");
    ResearchRecording::Opened opened = recording.open(folder.path(QStringLiteral("cut.zm")));
    EXPECT_TRUE(opened.loaded);
    EXPECT_EQ(points().size(), 2u);
    EXPECT_TRUE(opened.message.contains(QStringLiteral("(строка 4) неполная")))
        << qPrintable(opened.message);

    MeasurementRecording longer;
    longer.Points.resize(TGraphBox::Capacity + 2);
    for (size_t n = 0; n < longer.Points.size(); ++n)
        longer.Points[n] = { quint32(n * 500), { float(n % 7), 0, 0, 0, 0 } };
    folder.write(QStringLiteral("long.zm"), MeasurementFile::encode(longer, QLatin1Char(',')));
    opened = recording.open(folder.path(QStringLiteral("long.zm")));
    EXPECT_EQ(chart().PointCount(), TGraphBox::Capacity);
    EXPECT_EQ(opened.recording.Points.size(), size_t(TGraphBox::Capacity));
    EXPECT_TRUE(opened.message.contains(QStringLiteral("54002"))) << qPrintable(opened.message);
}

TEST_F(ResearchRecordingTest, FileThatCannotBeWrittenIsReported)
{
    record(Three);
    const ResearchRecording::Saved saved
        = recording.save(folder.path(QStringLiteral("no-such-folder/run.zm")),
            MeasurementRecording::defaultHeader());
    EXPECT_TRUE(saved.error.contains(QStringLiteral("не сохранён"))) << qPrintable(saved.error);
    EXPECT_EQ(saved.recording.Points.size(), Three.size());
}

} // namespace

// The research page against the simulated instrument: a recording of its
// gases made with "Старт", stopped, saved, and reopened on a fresh page.
#include "discovery_support.h"

#include "files/MeasurementFile.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr int ConnectTimeoutMs = 15000;
constexpr int PointsTimeoutMs = 15000;

class ResearchWithInstrument : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }
    FormatSettings saved;
};

bool hasPointWith(const TGraphBox &chart, int gas, float value)
{
    for (int n = 0; n < chart.PointCount(); ++n)
        if (chart.Point(gas, n) == value)
            return true;
    return false;
}

TEST_F(ResearchWithInstrument, RecordingOfTheGasesSavedAndReopened)
{
    SimProcess sim({ QStringLiteral("--warmup"), QStringLiteral("0") });
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorString());
    for (const char *line :
        { "hold on", "gas CO 1.25", "gas CH 350", "gas CO2 13.5", "gas O2 0.8", "gas NOx 120" })
        ASSERT_TRUE(sim.send(QLatin1String(line))) << line;

    TOpros_ZMX opros;
    ASSERT_EQ(opros.ConnectPort(sim.linkPath()), TOpros_ZMX::Connected);
    ResearchPage r(opros);
    r.page->setStopPolling({}); // the thread's own stop
    r.tabs.show();

    // Readings taken before "Старт" belong to no recording.
    const quint32 clicked = r.chart().now();
    QTest::mouseClick(r.page->btnDStart, Qt::LeftButton);
    EXPECT_TRUE(r.chart().StartTick - clicked < 1000u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.chart().PointCount() >= 3; }, PointsTimeoutMs))
        << qPrintable(opros.snapshot().StatusText);
    ASSERT_TRUE(sim.send(QStringLiteral("gas CO 2.5")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hasPointWith(r.chart(), 0, 2.5f); }, PointsTimeoutMs));
    EXPECT_EQ(r.page->legendValues[0]->text(), QStringLiteral("2,50"));
    EXPECT_EQ(r.page->legendValues[1]->text(), QStringLiteral("350,00"));
    EXPECT_EQ(r.page->legendValues[4]->text(), QStringLiteral("120"));

    QTest::mouseClick(r.page->btnDStop, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opros.snapshot().RunFlag; }, 3000));
    QTest::qWait(1200); // what was under way when stopped comes in
    const int recorded = r.chart().PointCount();
    QTest::qWait(1200);
    EXPECT_EQ(r.chart().PointCount(), recorded); // nothing more once stopped

    // Every point holds the instrument's values; CO changed once, as steered.
    const TGraphBox &c = r.chart();
    bool raised = false;
    for (int n = 0; n < c.PointCount(); ++n) {
        const float co = c.Point(0, n);
        EXPECT_TRUE(co == 1.25f || co == 2.5f) << n << ": " << co;
        EXPECT_FALSE(raised && co == 1.25f) << n;
        raised = raised || co == 2.5f;
        EXPECT_EQ(c.Point(1, n), 350.0f);
        EXPECT_EQ(c.Point(2, n), 13.5f);
        EXPECT_EQ(c.Point(3, n), 0.8f);
        EXPECT_EQ(c.Point(4, n), 120.0f);
        if (n > 0) {
            EXPECT_GE(c.PointTick(n) - c.StartTick, c.PointTick(n - 1) - c.StartTick);
        }
    }

    r.answer = r.path(QStringLiteral("sim.zm"));
    r.page->NSaveAsClick();
    ASSERT_TRUE(r.messages.isEmpty()) << qPrintable(r.messages.join('\n'));
    const MeasurementReadResult file
        = MeasurementFile::decode(r.read(QStringLiteral("sim.zm")), QLatin1Char(','));
    ASSERT_TRUE(file.Ok) << qPrintable(file.Error);
    ASSERT_EQ(int(file.Recording.Points.size()), recorded);
    EXPECT_TRUE(
        r.read(QStringLiteral("sim.zm")).contains("\t1,25\t350\t13,5\t0,800000011920929\t120\r\n"));

    // A fresh page, as after a restart of the program, opens the same recording.
    ResearchPage again(opros);
    again.answer = r.answer;
    again.page->NOpenClick();
    ASSERT_TRUE(again.messages.isEmpty()) << qPrintable(again.messages.join('\n'));
    ASSERT_EQ(again.chart().PointCount(), recorded);
    for (int n = 0; n < recorded; ++n) {
        for (int gas = 0; gas < 5; ++gas)
            EXPECT_EQ(again.chart().Point(gas, n), c.Point(gas, n)) << n << " " << gas;
        EXPECT_EQ(
            again.chart().PointTick(n) - again.chart().StartTick, c.PointTick(n) - c.StartTick);
    }
}

} // namespace

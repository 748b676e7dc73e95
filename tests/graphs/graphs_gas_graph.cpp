#include "graphs_targets.h"

#include "common/FormatSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const QColor Background(0x1B, 0x1B, 0x1B);
const QColor SpringGreen(0x00, 0xFF, 0x87);
const QColor Red(0xFF, 0x00, 0x00);
const QColor Grey(0x80, 0x80, 0x80);

constexpr int BarColumn = 50; // a column through the middle of a bar
constexpr int GaugeRow = 20; // a row through the middle of a gauge

class GaseGraphTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    // First row of the bar's fill in its middle column, or -1 without fill.
    int fillTop(int gas)
    {
        const QImage &image = wired.bars[gas].image;
        for (int y = 0; y < image.height(); ++y)
            if (QColor(image.pixel(BarColumn, y)) == SpringGreen)
                return y;
        return -1;
    }

    int countColor(const QImage &image, const QColor &color, QRect area = {})
    {
        if (area.isNull())
            area = image.rect();
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += QColor(image.pixel(x, y)) == color;
        return count;
    }

    // Leftmost and rightmost column of a gauge's fill (either colour), or {-1, -1}.
    std::pair<int, int> gaugeFill(int channel, const QColor &color)
    {
        const QImage &image = wired.gauge(channel).image;
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, GaugeRow)) == color) {
                if (first < 0)
                    first = x;
                last = x;
            }
        return { first, last };
    }

    FormatSettings saved;
    WiredGraph wired;
};

TEST_F(GaseGraphTest, ReadoutsUseDecimalsOfEachGasAndTheCommaSeparator)
{
    struct Case
    {
        int channel;
        double value;
        const char *text;
    };
    const Case cases[] = {
        { GASE_GRAPH::CO, 3.456, "3,46" },
        { GASE_GRAPH::CH, 1234.4, "1234" },
        { GASE_GRAPH::CO2, 14.5, "14,50" },
        { GASE_GRAPH::O2, 9.87, "9,87" },
        { GASE_GRAPH::O2, 20.94, "20,9" },
        { GASE_GRAPH::NOx, 12345.6, "12350" },
        { GASE_GRAPH::EngineSpeed, 3000, "3000" },
        { GASE_GRAPH::Lambda, 1.0, "1,00" },
        { GASE_GRAPH::Lambda, -1, "---" },
        { GASE_GRAPH::Lambda, 0.987, "0,99" },
        { GASE_GRAPH::Tm, 60, "60" },
        { GASE_GRAPH::Tm, -54, "-54" },
        { GASE_GRAPH::Tm, -55, "---" },
        { GASE_GRAPH::Tm, -80, "---" },
        { GASE_GRAPH::CO, std::nan(""), "---" },
    };
    for (const Case &c : cases) {
        wired.graph.Values.fill(0);
        wired.graph.Values[c.channel] = c.value;
        wired.graph.Draw();
        EXPECT_EQ(wired.readouts[c.channel].text, QString::fromUtf8(c.text))
            << "channel " << c.channel << " value " << c.value;
    }
}

TEST_F(GaseGraphTest, RunningProcedureHidesTheGasReadoutsOnly)
{
    wired.graph.Values = { 1.5, 120, 14, 0.5, 80, 780, 60, 1.01 };
    wired.graph.Flags.ProcedureActive = true;
    wired.graph.Draw();
    for (int gas = 0; gas < GASE_GRAPH::GasCount; ++gas)
        EXPECT_EQ(wired.readouts[gas].text, "-.-") << gas;
    EXPECT_EQ(wired.readouts[GASE_GRAPH::EngineSpeed].text, "780");
    EXPECT_EQ(wired.readouts[GASE_GRAPH::Tm].text, "60");
    EXPECT_EQ(wired.readouts[GASE_GRAPH::Lambda].text, "1,01");
}

TEST_F(GaseGraphTest, ScaleLabelsRunFromLowEndAtTheBottomToHighEndAtTheTop)
{
    wired.graph.RangeLow[GASE_GRAPH::O2] = 2;
    wired.graph.RangeHigh[GASE_GRAPH::O2] = 2; // equal ends: shown as they are
    wired.graph.RangeLow[GASE_GRAPH::NOx] = 5000;
    wired.graph.RangeHigh[GASE_GRAPH::NOx] = 1000; // inverted: shown as they are
    wired.graph.PlaceScaleLabels();
    const std::array<std::array<const char *, 5>, 5> expected { {
        { "0,00", "1,75", "3,50", "5,25", "7,00" },
        { "0", "750", "1500", "2250", "3000" },
        { "0,00", "4,00", "8,00", "12,00", "16,00" },
        { "2,00", "2,00", "2,00", "2,00", "2,00" },
        { "5000", "4000", "3000", "2000", "1000" },
    } };
    for (int gas = 0; gas < 5; ++gas)
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(wired.scales[gas][j].text, QString::fromUtf8(expected[gas][j]))
                << "gas " << gas << " label d" << j + 1;
}

TEST_F(GaseGraphTest, GaugeLabelsShowTheHalfWindowAroundItsCentre)
{
    wired.graph.Draw();
    const std::array<std::array<const char *, 3>, 3> expected { { { "-80", "3000", "+80" },
        { "-5", "60", "+5" }, { "-0,10", "1,00", "+0,10" } } };
    for (int t = 0; t < 3; ++t)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(wired.scales[GASE_GRAPH::EngineSpeed + t][j].text,
                QString::fromUtf8(expected[t][j]));
}

TEST_F(GaseGraphTest, BarRisesFromTheBottomInProportionToTheValue)
{
    // CO on 0..7: 280 units over 7 %; the fill starts one row below the outline.
    struct Case
    {
        double value;
        int top;
    };
    const Case cases[] = {
        { 3.5, 141 }, // half the range
        { 7.0, 1 }, // full range
        { 1.75, 211 }, // a quarter
        { 8.4, 0 }, // beyond the range: drawn over the top edge and clipped
        { 20, 4 }, // far beyond: held just below the top
        { 1e300, 4 },
    };
    for (const Case &c : cases) {
        wired.graph.Values[GASE_GRAPH::CO] = c.value;
        wired.graph.Draw();
        EXPECT_EQ(fillTop(GASE_GRAPH::CO), c.top) << c.value;
    }
}

TEST_F(GaseGraphTest, ValueAtOrBelowTheLowEndLeavesOnlyAnOutlineAtTheBottom)
{
    // With a low end of 1000 ppm a reading below it must not fill the bar.
    wired.graph.RangeLow[GASE_GRAPH::CH] = 1000;
    for (double value : { 0.0, 1000.0, -5.0 }) {
        for (int gas = 0; gas < 5; ++gas)
            wired.graph.Values[gas] = std::min<double>(value, wired.graph.RangeLow[gas]);
        wired.graph.Draw();
        for (int gas = 0; gas < 5; ++gas) {
            EXPECT_EQ(fillTop(gas), -1) << "gas " << gas << " value " << value;
            EXPECT_EQ(QColor(wired.bars[gas].image.pixel(BarColumn, 279)), QColor(Qt::black));
        }
    }
}

TEST_F(GaseGraphTest, BeforeWarmUpBarsAndGaugesShowOnlyGridAndTicks)
{
    wired.graph.Values = { 3.5, 1500, 8, 11, 2500, 3100, 60, 1.0 };
    wired.graph.Flags.WarmedUp = false;
    wired.graph.Draw();
    for (int gas = 0; gas < 5; ++gas) {
        const QImage &bar = wired.bars[gas].image;
        EXPECT_EQ(countColor(bar, SpringGreen), 0);
        EXPECT_EQ(QColor(bar.pixel(BarColumn, 140)), Background);
        EXPECT_EQ(QColor(bar.pixel(BarColumn, 139)), Grey); // grid line 6 of 11
    }
    for (int channel = 5; channel < 8; ++channel) {
        const QImage &gauge = wired.gauge(channel).image;
        EXPECT_EQ(countColor(gauge, SpringGreen) + countColor(gauge, Red), 0);
        EXPECT_EQ(QColor(gauge.pixel(112, GaugeRow)), Grey);
        EXPECT_EQ(QColor(gauge.pixel(224, GaugeRow)), Grey);
    }
    EXPECT_EQ(wired.readouts[GASE_GRAPH::CO].text, "3,50");
    EXPECT_EQ(wired.readouts[GASE_GRAPH::EngineSpeed].text, "3100");

    // Warmed up but without a vehicle: bars fill, gauges stay empty.
    wired.graph.Flags = { true, false, false, false };
    wired.graph.Draw();
    EXPECT_EQ(fillTop(GASE_GRAPH::CO), 141);
    EXPECT_EQ(gaugeFill(GASE_GRAPH::EngineSpeed, Red).first, -1);
}

// Rows of the bar's middle column that are red (the limit lines).
std::vector<int> redRows(const QImage &bar)
{
    std::vector<int> rows;
    for (int y = 0; y < bar.height(); ++y)
        if (QColor(bar.pixel(BarColumn, y)) == Red)
            rows.push_back(y);
    return rows;
}

// Grey pixels of a line's name above row y, grid lines left out.
int labelPixels(const QImage &bar, int y)
{
    int count = 0;
    for (int row = std::max(0, y - 14); row < y - 1; ++row) {
        if (QColor(bar.pixel(60, row)) == Grey)
            continue; // a grid line crosses here
        for (int x = 4; x < 30; ++x)
            count += QColor(bar.pixel(x, row)) == Grey;
    }
    return count;
}

TEST_F(GaseGraphTest, EachSetLimitGetsItsLineWhateverTheOrderOfTheTwo)
{
    // CO 0..7 %: 40 pixels per percent, the bar's foot at row 280.
    struct Case
    {
        float minLimit, maxLimit;
        bool show;
        bool raisedLine, minimumLine;
    };
    const Case cases[] = {
        { 1.2f, 4.5f, true, true, true }, { 1.2f, 4.5f, false, false, false },
        { 3.5f, 2.0f, true, true, true }, // two-speed idle test: raised limit lower
        { 4.5f, 1.2f, true, true, true },
        { 1.2f, 0.0f, true, false, true }, // no raised-speed limit
        { 0.0f, 2.0f, true, true, false }, // no minimum-speed limit
        { 0.0f, 0.0f, true, false, false }, { 3.0f, 3.0f, true, true, true }, // both on one row
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(
            testing::Message() << c.minLimit << " / " << c.maxLimit << " shown " << c.show);
        wired.graph.MinLimits[GASE_GRAPH::CO] = c.minLimit;
        wired.graph.MaxLimits[GASE_GRAPH::CO] = c.maxLimit;
        wired.graph.ShowLimits = c.show;
        wired.graph.Draw();
        const QImage bar = wired.bars[GASE_GRAPH::CO].image;
        const int raisedRow = int(280 - double(c.maxLimit) * 40);
        const int minimumRow = int(280 - double(c.minLimit) * 40);

        std::vector<int> expected;
        if (c.raisedLine)
            expected.push_back(raisedRow);
        if (c.minimumLine)
            expected.push_back(minimumRow);
        // Every red row belongs to an expected line, and every line is there
        // across the whole bar.
        for (int row : redRows(bar)) {
            EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                [row](int line) { return std::abs(row - line) <= 1; }))
                << "stray red row " << row;
        }
        for (int row : expected) {
            EXPECT_EQ(QColor(bar.pixel(BarColumn, row)), Red) << row;
            EXPECT_EQ(QColor(bar.pixel(3, row)), Red) << row;
            EXPECT_EQ(QColor(bar.pixel(96, row)), Red) << row;
            // The line's name stands in grey above it.
            EXPECT_GT(labelPixels(bar, row), 5) << row;
        }
        if (expected.empty()) {
            EXPECT_EQ(countColor(bar, Red), 0);
        }
        // The other bars have no limits.
        EXPECT_EQ(countColor(wired.bars[GASE_GRAPH::CH].image, Red), 0);
    }
}

TEST_F(GaseGraphTest, ShippedLikeLimitsDrawBothLinesOnCoAndCh)
{
    // A model as the shipped ones are: CO 3,5 % idle / 2,0 % raised, CH 1200 / 600 ppm.
    std::array<float, 16> limits {};
    limits[0] = 3.5f; // MinCO
    limits[1] = 1200; // MinCH
    limits[8] = 2.0f; // MaxCO
    limits[9] = 600; // MaxCH
    wired.graph.LoadLimitSet(limits);
    wired.graph.ShowLimits = true;
    wired.graph.Draw();
    EXPECT_EQ(countColor(wired.bars[GASE_GRAPH::CO].image, Red, QRect(BarColumn, 0, 1, 280)), 6);
    EXPECT_EQ(countColor(wired.bars[GASE_GRAPH::CH].image, Red, QRect(BarColumn, 0, 1, 280)), 6);
    EXPECT_EQ(countColor(wired.bars[GASE_GRAPH::CO2].image, Red), 0);
}

TEST_F(GaseGraphTest, GaugeIsGreenInsideItsWindowAndRedOutside)
{
    // Window 2920..3080: the gauge spans 2840..3160 over 450 pixels, centre 225.
    struct Case
    {
        double value;
        bool inside;
        int first, last; // columns of the fill, between the outlines
    };
    const Case cases[] = {
        { 3050, true, 226, 293 }, // G = 295.3
        { 2950, true, 155, 222 }, // G = 154.7, grows to the left
        { 3080, true, 226, 335 }, // on the window's edge
        { 3100, false, 226, 363 }, // G = 365.6
        { 2900, false, 85, 222 }, // G = 84.4
        { 5000, false, 226, 449 }, // beyond the gauge: clipped
    };
    for (const Case &c : cases) {
        wired.graph.Values[GASE_GRAPH::EngineSpeed] = c.value;
        wired.graph.Draw();
        const quint32 expected = c.inside ? 0x87FF00 : 0x0000FF;
        EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::EngineSpeed], expected) << c.value;
        const auto fill = gaugeFill(GASE_GRAPH::EngineSpeed, c.inside ? SpringGreen : Red);
        // The outline and the 3-pixel centre line (223..225) frame the fill.
        EXPECT_EQ(fill.first, c.first) << c.value;
        EXPECT_EQ(fill.second, c.last) << c.value;
    }

    // At the centre the gauge is judged green and has no length to fill.
    wired.graph.Values[GASE_GRAPH::EngineSpeed] = 3000;
    wired.graph.Draw();
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::EngineSpeed], 0x87FF00u);
    EXPECT_EQ(gaugeFill(GASE_GRAPH::EngineSpeed, SpringGreen).first, -1);
}

TEST_F(GaseGraphTest, AfterMinimumSpeedTheRaisedSpeedWindowsApply)
{
    std::array<float, 16> limits {};
    limits[5] = 800; // MinTax
    limits[6] = 1.0f; // MinLambda
    limits[7] = 100; // MinTaxD
    limits[13] = 3000; // MaxTax
    limits[14] = 1.2f; // MaxLambda
    limits[15] = 200; // MaxTaxD
    wired.graph.LoadLimitSet(limits);
    wired.graph.SetGaugeWindow(GASE_GRAPH::EngineSpeed, 700, 900);
    wired.graph.SetGaugeWindow(GASE_GRAPH::Lambda, 0.5f, 1.5f);
    wired.graph.Values[GASE_GRAPH::EngineSpeed] = 3150;
    wired.graph.Values[GASE_GRAPH::Lambda] = 1.7;

    wired.graph.Draw();
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::EngineSpeed], 0x0000FFu);
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::Lambda], 0x0000FFu);
    EXPECT_EQ(wired.scales[GASE_GRAPH::EngineSpeed][1].text, "800");

    wired.graph.Flags.MinSpeedDone = true;
    wired.graph.Draw();
    EXPECT_EQ(wired.graph.RangeLow[GASE_GRAPH::EngineSpeed], 2800);
    EXPECT_EQ(wired.graph.RangeHigh[GASE_GRAPH::EngineSpeed], 3200);
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::EngineSpeed], 0x87FF00u);
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::Lambda], 0x87FF00u); // 0.6 .. 1.8
    EXPECT_EQ(wired.scales[GASE_GRAPH::EngineSpeed][0].text, "-200");
    EXPECT_EQ(wired.scales[GASE_GRAPH::Lambda][1].text, "1,20");
}

TEST_F(GaseGraphTest, EqualOrInvertedRangesDrawWithoutALevelInsteadOfDividingByZero)
{
    // CO 5..5 and CH 3000..0: only "below" or "above" the low end can be shown.
    wired.graph.RangeLow[GASE_GRAPH::CO] = 5;
    wired.graph.RangeHigh[GASE_GRAPH::CO] = 5;
    wired.graph.RangeLow[GASE_GRAPH::CH] = 3000;
    wired.graph.RangeHigh[GASE_GRAPH::CH] = 0;
    wired.graph.MinLimits[GASE_GRAPH::CO] = 1;
    wired.graph.MaxLimits[GASE_GRAPH::CO] = 4;
    // Gauges: a model without tolerance and without lambda limits.
    wired.graph.SetGaugeWindow(GASE_GRAPH::EngineSpeed, 800, 800);
    wired.graph.SetGaugeWindow(GASE_GRAPH::Lambda, 0, 0);
    wired.graph.SetGaugeWindow(GASE_GRAPH::Tm, 65, 55);
    wired.graph.PlaceScaleLabels();

    wired.graph.Values = { 6, 3500, 0, 0, 0, 900, 60, 1.0 };
    wired.graph.Draw();
    EXPECT_EQ(fillTop(GASE_GRAPH::CO), 4);
    EXPECT_EQ(fillTop(GASE_GRAPH::CH), 4);
    EXPECT_EQ(countColor(wired.bars[GASE_GRAPH::CO].image, Red), 0); // no limit lines
    EXPECT_EQ(gaugeFill(GASE_GRAPH::EngineSpeed, Red), std::make_pair(226, 448));
    EXPECT_EQ(gaugeFill(GASE_GRAPH::Lambda, Red), std::make_pair(226, 448));
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::Tm], 0x0000FFu); // nothing fits an inverted window
    EXPECT_EQ(wired.scales[GASE_GRAPH::EngineSpeed][1].text, "800");

    wired.graph.Values = { 4, 100, 0, 0, 0, 700, 60, -0.5 };
    wired.graph.Draw();
    EXPECT_EQ(fillTop(GASE_GRAPH::CO), -1);
    EXPECT_EQ(gaugeFill(GASE_GRAPH::EngineSpeed, Red), std::make_pair(1, 222));

    wired.graph.Values[GASE_GRAPH::EngineSpeed] = 800;
    wired.graph.Draw();
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::EngineSpeed], 0x87FF00u);
}

TEST_F(GaseGraphTest, UnreadableValuesNeverCrashTheDrawing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    wired.graph.Values = { nan, inf, -inf, 1e308, -1e308, nan, inf, nan };
    wired.graph.PreValues = { nan, inf, 0, 0, 0 };
    wired.graph.SetGaugeWindow(GASE_GRAPH::Tm, nan, inf);
    wired.graph.Draw();
    EXPECT_EQ(wired.readouts[GASE_GRAPH::CO].text, "---");
    EXPECT_EQ(wired.readouts[GASE_GRAPH::EngineSpeed].text, "---");
    EXPECT_EQ(wired.graph.FillColors[GASE_GRAPH::EngineSpeed], 0x0000FFu);
    EXPECT_EQ(wired.bars[GASE_GRAPH::CO].copies, 1);
}

TEST_F(GaseGraphTest, EachBoxReceivesOneCopyOfItsSizePerDraw)
{
    EXPECT_TRUE(wired.bars[0].opaque);
    EXPECT_TRUE(wired.gauges[2].opaque);
    wired.graph.Draw();
    wired.graph.Draw();
    for (const ImageTarget &bar : wired.bars) {
        EXPECT_EQ(bar.copies, 2);
        EXPECT_EQ(bar.image.size(), QSize(100, 283));
    }
    for (const ImageTarget &gauge : wired.gauges) {
        EXPECT_EQ(gauge.copies, 2);
        EXPECT_EQ(gauge.image.size(), QSize(450, 40));
    }
}

} // namespace

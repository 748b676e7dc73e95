// The strip chart drawn into images: grid, axes, curves, clipping, the end
// marker, scrolling and the store's capacity; its time labels on a test clock.
#include "graphs_targets.h"

#include "common/FormatSettings.h"
#include "graphs/TGraphBox.h"
#include "graphs/ui/GraphPaintBox.h"
#include "graphs/ui/TGraphBoxAxes.h"

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

namespace {

constexpr int Width = 945;
constexpr int Height = 497;
const QPoint PlotAt(68, 28);
const QColor Black(0, 0, 0);
const QColor Grid(0x39, 0x39, 0x39);
const QColor Frame(0, 0x80, 0);
const QColor Red(0xFF, 0, 0);
const QColor DarkRed(0x7F, 0, 0); // red's halo
constexpr int FreeColumn = 10; // a column no vertical grid line crosses

// A chart as the research page configures it, on a test clock and ranges that
// make one value unit one pixel (0 ... 497) for every channel.
class StripChart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        chart = std::make_unique<TGraphBox>(&box, PlotAt, [this] { return clock; });
        chart->ChannelCount = 5;
        chart->LabelDecimals = 2;
        chart->BackColor = 0x000000;
        chart->GridColor = 0x393939;
        const quint32 colours[5] = { 0x0000FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFF00FF };
        for (int c = 0; c < 5; ++c) {
            chart->PenColors[c][TGraphBox::MainPass] = colours[c];
            chart->ChannelMin[c] = 0;
            chart->ChannelMax[c] = Height;
        }
        chart->DeriveHaloColours();
        chart->SetAxes(0, 5.0f, 60, 0.5f);
        chart->DrawGrid();
        chart->DrawCurves();
        chart->Present();
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    // Only channel 0 (red) carries a curve; the others stay below the plot.
    static TGraphBox::Values red(float value) { return { value, -1000, -1000, -1000, -1000 }; }

    std::set<int> rowsOf(const QColor &colour, int x) const
    {
        std::set<int> rows;
        for (int y = 0; y < Height; ++y)
            if (box.at(x, y) == colour)
                rows.insert(y);
        return rows;
    }
    std::set<int> columnsOf(const QColor &colour) const
    {
        std::set<int> columns;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (box.at(x, y) == colour)
                    columns.insert(x);
        return columns;
    }

    FormatSettings saved;
    ImageTarget box { QSize(Width, Height) };
    quint32 clock = 0;
    std::unique_ptr<TGraphBox> chart;
};

TEST_F(StripChart, EmptyChartShowsFrameAndGridOnly)
{
    ASSERT_EQ(box.image.size(), QSize(Width, Height));
    EXPECT_TRUE(box.opaque);
    EXPECT_EQ(box.at(0, 0), Frame);
    EXPECT_EQ(box.at(Width - 1, Height - 1), Frame);
    EXPECT_EQ(box.at(Width / 2, 0), Frame);
    const std::set<int> expected { 47, 97, 147, 197, 247, 297, 347, 397, 447 };
    EXPECT_EQ(rowsOf(Grid, FreeColumn), expected);
    EXPECT_EQ(rowsOf(Black, FreeColumn).size(), size_t(Height - 2 - 9));
    // Vertical lines every 60 pixels, from row 1 to the row above the frame.
    const std::set<int> lineRows = rowsOf(Grid, 60);
    EXPECT_EQ(*lineRows.begin(), 1);
    EXPECT_EQ(*lineRows.rbegin(), Height - 2);
    EXPECT_EQ(columnsOf(Red).size(), 0u);
    for (const TGraphBox::AxisLabel &label : chart->TimeLabels)
        EXPECT_EQ(label.Text, QStringLiteral("--:--"));
}

TEST_F(StripChart, ValueAxisOfTheCoScale)
{
    EXPECT_EQ(chart->YTickCount(), 9);
    const QStringList expected { "0,00", "0,50", "1,00", "1,50", "2,00", "2,50", "3,00", "3,50",
        "4,00", "4,50" };
    for (int k = 0; k < TGraphBox::MarkCount; ++k) {
        const TGraphBox::AxisLabel &label = chart->ValueLabels[k];
        if (k < expected.size()) {
            EXPECT_EQ(label.Text, expected[k]) << k;
            EXPECT_TRUE(label.Placed) << k;
        } else {
            EXPECT_TRUE(label.Text.isEmpty()) << k; // nothing at the top edge
            EXPECT_FALSE(label.Placed) << k;
        }
    }
    // Label k stands on the k-th grid line from the bottom, centred on it.
    EXPECT_EQ(chart->ValueLabels[0].At, QPoint(PlotAt.x() - 65, PlotAt.y() + Height - 1 - 6));
    EXPECT_EQ(chart->ValueLabels[1].At, QPoint(PlotAt.x() - 65, PlotAt.y() + 447 - 6));
    EXPECT_EQ(chart->ValueLabels[9].At, QPoint(PlotAt.x() - 65, PlotAt.y() + 47 - 6));
    EXPECT_EQ(chart->YTickMarks[0].At, QPoint(PlotAt.x() - 10, PlotAt.y() + 447));
    EXPECT_EQ(chart->YTickMarks[9].At, QPoint(PlotAt.x() - 10, PlotAt.y() + Height - 1));
    EXPECT_FALSE(chart->YTickMarks[10].Placed);
}

TEST_F(StripChart, AxesOfOtherScales)
{
    struct Case
    {
        float yMin, yMax, step;
        int decimals;
        std::set<int> rows;
        QStringList labels;
    };
    const Case cases[] = {
        { 0, 3000, 300, 0, { 47, 97, 147, 197, 247, 297, 347, 397, 447 },
            { "0", "300", "600", "900", "1200", "1500", "1800", "2100", "2400", "2700" } },
        { -5, 5, 2.5f, 2, { 122, 247, 372 }, { "-5,00", "-2,50", "0,00", "2,50" } },
        { 0, 16, 1.6f, 2, { 47, 97, 147, 197, 247, 297, 347, 397, 447 },
            { "0,00", "1,60", "3,20", "4,80", "6,40", "8,00", "9,60", "11,20", "12,80", "14,40" } },
    };
    for (const Case &c : cases) {
        chart->LabelDecimals = c.decimals;
        ASSERT_EQ(chart->SetAxes(c.yMin, c.yMax, 60, c.step), 0);
        chart->DrawGrid();
        chart->Present();
        EXPECT_EQ(rowsOf(Grid, FreeColumn), c.rows) << c.yMax;
        QStringList labels;
        for (int k = 0; k <= chart->YTickCount(); ++k)
            labels << chart->ValueLabels[k].Text;
        EXPECT_EQ(labels, c.labels) << c.yMax;
    }
}

TEST_F(StripChart, RefusedAxesChangeNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        float yMin, yMax, xStep, yStep;
    };
    const Case cases[] = {
        { 5, 5, 60, 0.5f }, // empty range
        { 6, 5, 60, 0.5f }, // inverted
        { 0, 5, 60, 0 }, // the value grid would not advance
        { 0, 5, 60, -0.5f },
        { 0, 5, 0, 0.5f }, // nor would the time grid
        { 0, 5, 0.5f, 0.5f },
        { nan, 5, 60, 0.5f },
        { 0, inf, 60, 0.5f },
        { 0, 5, 60, nan },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(chart->SetAxes(c.yMin, c.yMax, c.xStep, c.yStep), -1) << c.yMin << " " << c.yMax;
        EXPECT_EQ(chart->YMin(), 0.0f);
        EXPECT_EQ(chart->YMax(), 5.0f);
        EXPECT_EQ(chart->XGridStep(), 60.0f);
        EXPECT_EQ(chart->YGridStep(), 0.5f);
        EXPECT_EQ(chart->ValueLabels[9].Text, QStringLiteral("4,50"));
    }
}

TEST_F(StripChart, DenseScalePlacesNoMarkBeyondTheTwentieth)
{
    // A grid line on every row: only 20 marks and 18 labelled values exist.
    ASSERT_EQ(chart->SetAxes(0, 1000, 60, 1), 0);
    EXPECT_EQ(chart->YTickCount(), TGraphBox::MaxYTickCount);
    int marks = 0;
    for (const TGraphBox::AxisMark &mark : chart->YTickMarks)
        marks += mark.Placed;
    EXPECT_EQ(marks, TGraphBox::MarkCount);
    EXPECT_EQ(chart->YTickMarks[19].At.y(), PlotAt.y() + Height - 1); // the bottom line
    EXPECT_EQ(chart->ValueLabels[17].Text, QStringLiteral("17,00"));
    EXPECT_TRUE(chart->ValueLabels[18].Text.isEmpty());
    EXPECT_TRUE(chart->ValueLabels[19].Text.isEmpty());
    EXPECT_EQ(chart->DrawGrid(), 0);
}

TEST_F(StripChart, CurveIsThreePixelsThickWithItsHalo)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(chart->AddPoint(red(100)), 0);
    // The first point is drawn at column 1; the line to the last point stops
    // short of it.
    for (int x = 1; x <= 8; ++x) {
        EXPECT_EQ(box.at(x, Height - 100), Red) << x;
        EXPECT_EQ(box.at(x, Height - 101), DarkRed) << x;
        EXPECT_EQ(box.at(x, Height - 99), DarkRed) << x;
    }
    EXPECT_NE(box.at(9, Height - 100), Red);
    EXPECT_EQ(columnsOf(Red), (std::set<int> { 1, 2, 3, 4, 5, 6, 7, 8 }));
}

TEST_F(StripChart, SteepStepSplitsBetweenTwoColumns)
{
    chart->AddPoint(red(100));
    chart->AddPoint(red(100));
    chart->AddPoint(red(110));
    chart->AddPoint(red(110));
    // From (1, 397) to (2, 387): rows 397 ... 393 in column 1, 392 ... 388 in column 2.
    std::set<int> column1 = rowsOf(Red, 1), column2 = rowsOf(Red, 2);
    EXPECT_EQ(*column1.begin(), 393);
    EXPECT_EQ(*column1.rbegin(), 397);
    EXPECT_EQ(*column2.begin(), 387); // the flat line on to the last point
    EXPECT_TRUE(column2.count(388) && column2.count(392));
}

TEST_F(StripChart, ValuesOutsideTheRangeAreClipped)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // All above the plot, then all below it (a value that is no number lies below).
    const std::vector<float> runs[]
        = { { 1000, 1.0e30f, inf, 2000, 498 }, { -1, -1000, -1.0e30f, -inf, nan } };
    for (const std::vector<float> &run : runs) {
        chart->Reset();
        chart->DrawGrid();
        for (float value : run)
            ASSERT_EQ(chart->AppendPoint(red(value)), 0);
        chart->DrawCurves();
        chart->Present();
        EXPECT_TRUE(columnsOf(Red).empty()) << run.front();
    }

    // In range, then far above: the climb is cut off at the top edge.
    chart->Reset();
    chart->DrawGrid();
    for (float value : { 100.0f, 100.0f, 5000.0f, 5000.0f })
        chart->AddPoint(red(value));
    EXPECT_EQ(rowsOf(Red, 1).size(), size_t(Height - 100 + 1)); // rows 0 ... 397
    EXPECT_TRUE(rowsOf(Red, 2).empty());
    EXPECT_EQ(box.at(0, 0), Frame);
}

TEST_F(StripChart, EmptyChannelRangeDoesNotBreakDrawing)
{
    chart->ChannelMin[0] = 5;
    chart->ChannelMax[0] = 5;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(chart->AddPoint(red(i < 2 ? 4.0f : 6.0f)), 0);
    EXPECT_EQ(chart->PointCount(), 5);
    EXPECT_EQ(box.at(0, 0), Frame);
}

TEST_F(StripChart, EndMarkerEndsTheCurveAtTheStart)
{
    auto draw = [this](std::initializer_list<float> values) {
        chart->Reset();
        for (float value : values)
            chart->AppendPoint(red(value));
        chart->DrawGrid();
        chart->DrawCurves();
        chart->Present();
    };
    // The line runs down to the marker (one below the range) and ends there.
    draw({ 100, 100, -1, 100, 100, 100 });
    EXPECT_EQ(columnsOf(Red), (std::set<int> { 1, 2 }));
    EXPECT_EQ(*rowsOf(Red, 2).rbegin(), Height - 1);
    draw({ 100, 100, 100, 100, 100, 100 });
    EXPECT_EQ(columnsOf(Red), (std::set<int> { 1, 2, 3, 4 }));
}

TEST_F(StripChart, ScrollsOnePointPerPointOnceTheRightEdgeIsReached)
{
    for (int i = 0; i < Width; ++i)
        ASSERT_EQ(chart->AddPoint(red(100)), 0);
    EXPECT_EQ(chart->ScrollOffset, 0);
    EXPECT_EQ(rowsOf(Grid, 60).size(), size_t(Height - 2 - 3)); // crossed by the curve
    chart->AddPoint(red(100));
    EXPECT_EQ(chart->ScrollOffset, 1);
    chart->AddPoint(red(100));
    EXPECT_EQ(chart->ScrollOffset, 2);
    // The vertical grid moved left with the curves.
    EXPECT_EQ(box.at(58, 10), Grid);
    EXPECT_EQ(box.at(60, 10), Black);
    // The curve reaches the right end of the plot.
    EXPECT_EQ(box.at(Width - 2, Height - 100), Red);

    // Scrolling back shows the start again.
    ASSERT_EQ(chart->ScrollTo(0), 0);
    EXPECT_EQ(box.at(60, 10), Grid);
    EXPECT_EQ(chart->ScrollTo(-1), -1);
    EXPECT_EQ(chart->ScrollTo(TGraphBox::Capacity + 1), -1);
    EXPECT_EQ(chart->ScrollOffset, 0);
    // An offset beyond the points shows the grid only.
    ASSERT_EQ(chart->ScrollTo(TGraphBox::Capacity), 0);
    EXPECT_TRUE(columnsOf(Red).empty());
}

TEST_F(StripChart, StoreRefusesThe54001stPoint)
{
    for (int i = 0; i < TGraphBox::Capacity; ++i)
        ASSERT_EQ(chart->AppendPoint(red(float(i % 400))), 0);
    clock = 5000;
    const int copies = box.copies;
    EXPECT_EQ(chart->AddPoint(red(7)), -1);
    EXPECT_EQ(chart->AppendPoint(red(7)), -1);
    EXPECT_EQ(chart->PointCount(), TGraphBox::Capacity);
    EXPECT_EQ(chart->Point(0, TGraphBox::Capacity - 1), float((TGraphBox::Capacity - 1) % 400));
    EXPECT_EQ(chart->PointTick(TGraphBox::Capacity - 1), 0u);
    EXPECT_EQ(box.copies, copies);
}

TEST_F(StripChart, TimeLabelsNameThePointUnderTheirMark)
{
    chart->StartTick = 1000;
    for (int i = 0; i <= 240; ++i) {
        clock = 1000 + quint32(i) * 500;
        chart->AddPoint(red(100));
    }
    EXPECT_EQ(chart->TimeLabels[0].Text, QStringLiteral("00:00"));
    EXPECT_EQ(chart->TimeLabels[1].Text, QStringLiteral("01:00")); // point 120
    EXPECT_EQ(chart->TimeLabels[2].Text, QStringLiteral("02:00")); // point 240
    EXPECT_EQ(chart->TimeLabels[3].Text, QStringLiteral("--:--"));
    chart->ScrollTo(1);
    EXPECT_EQ(chart->TimeLabels[0].Text, QStringLiteral("00:00")); // point 1, 0.5 s
    EXPECT_EQ(chart->TimeLabels[1].Text, QStringLiteral("01:00"));
    EXPECT_EQ(chart->TimeLabels[2].Text, QStringLiteral("--:--"));
    chart->Reset();
    EXPECT_EQ(chart->TimeLabels[0].Text, QStringLiteral("--:--"));
    EXPECT_EQ(chart->ScrollOffset, 1);
}

TEST(StripChartTime, ElapsedTexts)
{
    struct Case
    {
        quint32 start, tick;
        const char *text;
    };
    const Case cases[] = {
        { 0, 0, "00:00" }, { 0, 59900, "00:59" }, { 0, 75000, "01:15" }, { 0, 3725000, "01:02:05" },
        { 0, 36000000, "10:00:00" },
        { 0, 256u * 3600 * 1000 + 61000, "01:01" }, // hours count up to 255
        { 4294967000u, 1000, "00:01" }, // the tick wrapped
    };
    for (const Case &c : cases)
        EXPECT_EQ(TGraphBox::elapsedText(c.tick - c.start), QString::fromLatin1(c.text)) << c.tick;
}

TEST(StripChartColours, HalosAreHalfTheMainColour)
{
    ImageTarget box(QSize(20, 20));
    TGraphBox chart(&box, QPoint(0, 0));
    EXPECT_EQ(chart.PenColors[0], (std::array<quint32, 3> { 0xBFBFFF, 0xBFBFFF, 0x0000FF }));
    EXPECT_EQ(chart.PenColors[1], (std::array<quint32, 3> { 0xE4ACAC, 0xE4ACAC, 0x800000 }));
    chart.PenColors[0][TGraphBox::MainPass] = 0x0000FF;
    chart.PenColors[1][TGraphBox::MainPass] = 0xFFFF00;
    chart.PenColors[2][TGraphBox::MainPass] = 0x12FFFFFF;
    chart.DeriveHaloColours();
    EXPECT_EQ(chart.PenColors[0][0], 0x00007Fu);
    EXPECT_EQ(chart.PenColors[1][1], 0x7F7F00u);
    EXPECT_EQ(chart.PenColors[2][0], 0x127F7F7Fu);
}

TEST(StripChartDefaults, ConstructionAxesAndPlacesOfTheTimeAxis)
{
    ImageTarget box(QSize(Width, Height));
    TGraphBox chart(&box, PlotAt);
    EXPECT_EQ(chart.YMin(), 1000.0f);
    EXPECT_EQ(chart.YMax(), 10000.0f);
    EXPECT_EQ(chart.ChannelCount, 1);
    EXPECT_EQ(chart.PointCount(), 0);
    EXPECT_TRUE(chart.RedrawOnAdd);
    // Marks every 120 pixels; the first one past the plot's width is the last.
    int placed = 0;
    for (const TGraphBox::AxisMark &mark : chart.XTickMarks)
        placed += mark.Placed;
    EXPECT_EQ(placed, 9); // 68 + 120 * 8 > 945
    EXPECT_EQ(chart.XTickMarks[1].At, QPoint(PlotAt.x() + 120, PlotAt.y() + Height));
    EXPECT_EQ(chart.TimeLabels[1].At, QPoint(PlotAt.x() + 120, PlotAt.y() + Height + 10));
    EXPECT_EQ(chart.DrawCurves(), 0);
    chart.ChannelCount = 6;
    EXPECT_EQ(chart.DrawCurves(), -1);
}

// The axes as widgets on the panel: labels where the chart placed them.
TEST_F(StripChart, AxesWidgetsShowThePlacesAndTexts)
{
    QWidget panel;
    panel.resize(1024, 600);
    auto *plot = new GraphPaintBox(&panel);
    plot->setGeometry(QRect(PlotAt, QSize(Width, Height)));
    TGraphBox onPanel(plot, plot->pos(), [this] { return clock; });
    onPanel.LabelDecimals = 2;
    onPanel.SetAxes(0, 5.0f, 60, 0.5f);
    onPanel.SetTitle(QStringLiteral("Показания газов."));
    {
        TGraphBoxAxes axes(onPanel, &panel);
        panel.show();
        EXPECT_EQ(axes.ValueLabels[1]->text(), QStringLiteral("0,50"));
        EXPECT_EQ(
            axes.ValueLabels[1]->geometry(), QRect(PlotAt.x() - 65, PlotAt.y() + 447 - 6, 50, 13));
        EXPECT_TRUE(axes.ValueLabels[9]->isVisible());
        EXPECT_FALSE(axes.ValueLabels[10]->isVisible());
        EXPECT_EQ(axes.TitleLabel->text(), QStringLiteral("Показания газов."));
        EXPECT_EQ(axes.TitleLabel->pos(), QPoint(PlotAt.x(), PlotAt.y() - 14));

        clock = 75000;
        onPanel.AddPoint({ 1, 1, 1, 1, 1 });
        QLabel *first = axes.TimeLabels[0];
        EXPECT_EQ(first->text(), QStringLiteral("01:15"));
        EXPECT_EQ(first->x() + first->width() / 2, PlotAt.x());
        EXPECT_EQ(first->y(), PlotAt.y() + Height + 10);
        EXPECT_TRUE(axes.TimeLabels[8]->isVisible());
        EXPECT_FALSE(axes.TimeLabels[9]->isVisible());
        EXPECT_EQ(plot->image().size(), QSize(Width, Height));
    }
    // The axes' widgets go with them.
    EXPECT_TRUE(panel.findChildren<QLabel *>().isEmpty());
}

} // namespace

// The research page on real widgets without an instrument: its controls, the
// Y-axis choice by click, start afresh, and recordings saved and reopened
// through the file dialogs (answered by the test) into the data grid.
#include "discovery_support.h"

#include "common/Win1251.h"
#include "files/MeasurementFile.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>

namespace {

class ResearchPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        r = std::make_unique<ResearchPage>(opros);
        r->tabs.show();
    }
    void TearDown() override
    {
        r.reset();
        FormatSettings::setCurrent(saved);
    }

    // Points with known values at 500 ms steps from the chart's start.
    void record(const std::vector<TGraphBox::Values> &points)
    {
        TGraphBox &c = r->chart();
        c.Reset();
        for (size_t n = 0; n < points.size(); ++n)
            c.AppendPoint(points[n], c.StartTick + quint32(n) * 500);
        c.ScrollTo(0);
    }

    std::vector<TGraphBox::Values> points() const
    {
        std::vector<TGraphBox::Values> all;
        const TGraphBox &c = r->chart();
        for (int n = 0; n < c.PointCount(); ++n)
            all.push_back(
                { c.Point(0, n), c.Point(1, n), c.Point(2, n), c.Point(3, n), c.Point(4, n) });
        return all;
    }

    QString gridText(int row, int column) const
    {
        const QTableWidgetItem *item = r->pages->grData->item(row, column);
        return item ? item->text() : QString();
    }

    FormatSettings saved;
    TOpros_ZMX opros;
    std::unique_ptr<ResearchPage> r;
};

const std::vector<TGraphBox::Values> Three {
    { 0.12f, 350, 13.5f, 0.8f, 120 },
    { 2.3f, 1500.5f, 14.25f, 1.5f, 35 },
    { 4.5f, 20, 0.1f, 20.9f, 4999 },
};

TEST_F(ResearchPageTest, PageHoldsItsControls)
{
    DiscoveryPage &p = *r->page;
    EXPECT_EQ(p.pboxDisco->size(), QSize(945, 497));
    EXPECT_EQ(p.pboxDisco->parentWidget(), p.PanelDiscover);
    EXPECT_EQ(p.labDStatus->parentWidget(), p.PanelDiscover);
    EXPECT_EQ(p.labCurrAxis->text(), QStringLiteral("CO, %"));
    const QStringList captions { "CO, %", "CH, ppm", "CO2, %", "O2, %", "NOx, ppm" };
    for (int gas = 0; gas < 5; ++gas) {
        EXPECT_EQ(p.legendLabels[gas]->text(), captions[gas]);
        EXPECT_EQ(p.legendValues[gas]->text(), QStringLiteral("-.--"));
        EXPECT_EQ(p.legendValues[gas]->objectName(), QStringLiteral("ed%1").arg(gas + 1));
    }
    EXPECT_EQ(p.btnDStart->text(), QStringLiteral("Старт"));
    EXPECT_EQ(p.btnDStop->text(), QStringLiteral("Стоп"));
    EXPECT_EQ(p.btnStartDiscover->parentWidget(), r->pages->TabSheet3);
    EXPECT_EQ(p.ScrollBar1->maximum(), 10000);
    EXPECT_TRUE(p.TimerUpdateDiscoverGraph->isActive());
    EXPECT_EQ(p.TimerUpdateDiscoverGraph->interval(), 500);
    // The configured chart: title, the CO channel's scale, black plot.
    EXPECT_EQ(r->chart().Title, QStringLiteral("Показания газов."));
    EXPECT_EQ(r->chart().ValueLabels[1].Text, QStringLiteral("0,70"));
    EXPECT_EQ(r->chart().ValueLabels[9].Text, QStringLiteral("6,30"));
    EXPECT_EQ(QColor(p.pboxDisco->image().pixel(10, 10)), QColor(0, 0, 0));
    // Nothing of the placeholder is left on the page.
    for (QLabel *label : r->pages->tabDiscovery->findChildren<QLabel *>())
        EXPECT_FALSE(label->styleSheet().contains(QStringLiteral("dashed")));
}

TEST_F(ResearchPageTest, LegendLabelsChooseTheYAxis)
{
    DiscoveryPage &p = *r->page;
    QTest::mouseClick(p.legendLabels[1], Qt::LeftButton);
    EXPECT_EQ(p.labCurrAxis->text(), QStringLiteral("CH, ppm"));
    EXPECT_EQ(r->chart().ValueLabels[1].Text, QStringLiteral("300"));
    QTest::mouseClick(p.legendLabels[3], Qt::LeftButton);
    EXPECT_EQ(p.labCurrAxis->text(), QStringLiteral("O2, %"));
    EXPECT_EQ(r->chart().ValueLabels[1].Text, QStringLiteral("2,20"));
}

TEST_F(ResearchPageTest, HoverLightsTheLabel)
{
    QLabel *label = r->page->legendLabels[2];
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(label, &enter);
    EXPECT_TRUE(label->styleSheet().contains(QStringLiteral("#fffbf0")));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    EXPECT_TRUE(label->styleSheet().contains(QStringLiteral("#00ff00")));
}

TEST_F(ResearchPageTest, StartBeginsAfreshFromTheLeftEdge)
{
    std::vector<TGraphBox::Values> many(2000, TGraphBox::Values { 1, 1, 1, 1, 1 });
    record(many);
    r->page->ScrollBar1->setValue(1000);
    EXPECT_EQ(r->chart().ScrollOffset, 1000);
    QTest::mouseClick(r->page->btnDStart, Qt::LeftButton);
    EXPECT_EQ(r->chart().PointCount(), 0);
    EXPECT_EQ(r->chart().ScrollOffset, 0);
    EXPECT_EQ(r->page->ScrollBar1->value(), 0);
    EXPECT_EQ(r->chart().TimeLabels[0].Text, QStringLiteral("--:--"));
    QTest::mouseClick(r->page->btnDStop, Qt::LeftButton);
    EXPECT_EQ(r->stops, 1);
}

TEST_F(ResearchPageTest, HiddenStartButtonTogglesTheFeed)
{
    DiscoveryPage &p = *r->page;
    p.btnStartDiscover->click();
    EXPECT_FALSE(p.TimerUpdateDiscoverGraph->isActive());
    EXPECT_EQ(p.btnStartDiscover->text(), QStringLiteral("Старт"));
    p.btnStartDiscover->click();
    EXPECT_TRUE(p.TimerUpdateDiscoverGraph->isActive());
    EXPECT_EQ(p.btnStartDiscover->text(), QStringLiteral("Стоп"));
    p.leaveResearchMode();
    EXPECT_EQ(p.btnStartDiscover->text(), QStringLiteral("Старт"));
    EXPECT_TRUE(p.TimerUpdateDiscoverGraph->isActive());
}

TEST_F(ResearchPageTest, SavedAndReopenedRecordingFillsTheDataGrid)
{
    record(Three);
    r->answer = r->path(QStringLiteral("run.zm"));
    r->page->NSaveAsClick();
    EXPECT_TRUE(r->messages.isEmpty()) << qPrintable(r->messages.join('\n'));
    EXPECT_EQ(r->stops, 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d__\\d\\d-\\d\\d-\\d\\d$"))
                    .match(r->proposedName)
                    .hasMatch())
        << qPrintable(r->proposedName);
    EXPECT_EQ(r->dialogFolder, ResearchRecording::fileFolder());
    EXPECT_EQ(r->page->Label28->text(), QStringLiteral("1000"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r->page->isGridComplete(); }, 5000));
    EXPECT_EQ(r->pages->grData->rowCount(), 4);
    EXPECT_EQ(gridText(0, 0), QStringLiteral("Время, мс"));
    EXPECT_EQ(gridText(1, 1), QStringLiteral("0,119999997317791"));
    EXPECT_EQ(gridText(2, 0), QStringLiteral("500"));

    // Something else on the chart and in the grid, then the file again.
    record({ { 9, 9, 9, 9, 9 } });
    r->pages->grData->setRowCount(1);
    r->page->ScrollBar1->setValue(3);
    r->page->NOpenClick();
    EXPECT_TRUE(r->messages.isEmpty()) << qPrintable(r->messages.join('\n'));
    EXPECT_EQ(r->stops, 2);
    EXPECT_EQ(points().size(), Three.size());
    EXPECT_EQ(r->page->ScrollBar1->value(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r->page->isGridComplete(); }, 5000));
    EXPECT_EQ(r->pages->grData->rowCount(), 4);
    EXPECT_EQ(gridText(3, 0), QStringLiteral("1000"));
}

TEST_F(ResearchPageTest, HeaderOfAnOpenedFileIsKeptOnSaving)
{
    MeasurementRecording recording;
    recording.HeaderRow
        = { QStringLiteral("Время, мс"), QStringLiteral("CO, % об."), QStringLiteral("CH, ppm"),
              QStringLiteral("CO2, %"), QStringLiteral("O2, %"), QStringLiteral("NOx, ppm") };
    recording.Points = { { 0, { 1, 2, 3, 4, 5 } } };
    r->write(QStringLiteral("in.zm"), MeasurementFile::encode(recording, QLatin1Char(',')));
    r->answer = r->path(QStringLiteral("in.zm"));
    r->page->NOpenClick();
    EXPECT_EQ(gridText(0, 1), QStringLiteral("CO, % об."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r->page->isGridComplete(); }, 5000));
    EXPECT_EQ(gridText(1, 5), QStringLiteral("5"));
    r->answer = r->path(QStringLiteral("out.zm"));
    r->page->NSaveAsClick();
    EXPECT_TRUE(r->read(QStringLiteral("out.zm"))
                    .startsWith(Win1251::encode(QStringLiteral("Время, мс\tCO, % об.\t"))));
}

TEST_F(ResearchPageTest, FileThatIsNotARecordingIsReportedAndLeavesTheGrid)
{
    record(Three);
    const int rows = r->pages->grData->rowCount();
    r->write(QStringLiteral("bad.zm"), QByteArray("\x89PNG\r\n\x1A\n\0\0", 10));
    r->answer = r->path(QStringLiteral("bad.zm"));
    r->page->NOpenClick();
    ASSERT_EQ(r->messages.size(), 1);
    EXPECT_TRUE(r->messages[0].contains(QStringLiteral("bad.zm"))) << qPrintable(r->messages[0]);
    EXPECT_EQ(points().size(), Three.size());
    EXPECT_EQ(r->pages->grData->rowCount(), rows);
}

TEST_F(ResearchPageTest, CancelledDialogsChangeNothing)
{
    record(Three);
    r->answer.clear();
    r->page->NSaveAsClick();
    r->page->NOpenClick();
    EXPECT_EQ(r->stops, 2); // the polling stops all the same
    EXPECT_TRUE(r->messages.isEmpty());
    EXPECT_EQ(points().size(), Three.size());
    EXPECT_TRUE(QDir(r->folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ResearchPageTest, LongerFileFillsTheGridInSlices)
{
    MeasurementRecording recording;
    recording.Points.resize(TGraphBox::Capacity + 2);
    for (size_t n = 0; n < recording.Points.size(); ++n)
        recording.Points[n] = { quint32(n * 500), { float(n % 7), 0, 0, 0, 0 } };
    r->write(QStringLiteral("long.zm"), MeasurementFile::encode(recording, QLatin1Char(',')));
    r->answer = r->path(QStringLiteral("long.zm"));
    r->page->NOpenClick();
    EXPECT_EQ(r->chart().PointCount(), TGraphBox::Capacity);
    // The grid fills from the event loop, a slice at a time.
    EXPECT_FALSE(r->page->isGridComplete());
    EXPECT_EQ(r->pages->grData->rowCount(), TGraphBox::Capacity + 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r->page->isGridComplete(); }, 60000));
    EXPECT_EQ(gridText(TGraphBox::Capacity, 0), QString::number((TGraphBox::Capacity - 1) * 500));
    EXPECT_EQ(r->messages.size(), 1);
}

// An engine run of 900 points (idle, raised speed, idle again) reopened from
// its file: all five curves are on the plot, each in its colour.
TEST_F(ResearchPageTest, OpenedRecordingIsDrawnInTheGasColours)
{
    MeasurementRecording recording;
    for (int n = 0; n < 900; ++n) {
        const bool raised = n > 300 && n < 600;
        const float settle = 1 - std::exp(-float(n % 300) / 40.0f);
        const float wobble = std::sin(float(n) * 0.37f) * 0.5f + std::sin(float(n) * 0.11f);
        const float co = raised ? 0.9f - 0.5f * settle : 1.6f + 0.3f * settle;
        const float ch = raised ? 160 - 60 * settle : 420 + 40 * settle;
        const float co2 = raised ? 12.8f + 1.4f * settle : 13.6f - 0.8f * settle;
        const float o2 = raised ? 1.4f - 0.6f * settle : 0.9f + 0.3f * settle;
        const float nox = raised ? 900 + 500 * settle : 300 - 80 * settle;
        recording.Points.push_back({ quint32(n) * 500,
            { co + 0.04f * wobble, ch + 6 * wobble, co2 + 0.08f * wobble, o2 + 0.05f * wobble,
                nox + 15 * wobble } });
    }
    r->write(QStringLiteral("run.zm"), MeasurementFile::encode(recording, QLatin1Char(',')));
    r->answer = r->path(QStringLiteral("run.zm"));
    r->page->NOpenClick();
    ASSERT_TRUE(r->messages.isEmpty()) << qPrintable(r->messages.join('\n'));

    const QImage plot = r->page->pboxDisco->image();
    const QColor colours[] = { Qt::red, Qt::green, Qt::yellow, Qt::cyan, Qt::magenta };
    for (const QColor &colour : colours) {
        int count = 0;
        for (int y = 0; y < plot.height(); ++y)
            for (int x = 0; x < plot.width(); ++x)
                count += QColor(plot.pixel(x, y)) == colour;
        EXPECT_GT(count, 800) << qPrintable(colour.name());
    }
    EXPECT_EQ(r->chart().TimeLabels[1].Text, QStringLiteral("01:00"));

    // The picture of the page, for the documentation.
    const QByteArray shot = qgetenv("ZELMOR_SCREENSHOT");
    if (!shot.isEmpty())
        r->tabs.grab().save(QString::fromLocal8Bit(shot));
}

// In the main window the page is a child of the window, whose pages (and the
// chart's axes on them) go before it.
TEST(ResearchPageLifetime, WindowsWidgetsMayGoFirst)
{
    TOpros_ZMX opros;
    auto *tabs = new QTabWidget;
    auto *pages = new SecondaryPages(tabs, new QWidget);
    auto *page = new DiscoveryPage(
        { pages->tabDiscovery, pages->labDStatus, pages->TabSheet3, pages->grData }, opros, tabs);
    page->CreateChart();
    page->ConfigureChart();
    page->chart()->AddPoint({ 1, 2, 3, 4, 5 });
    delete tabs;
    SUCCEED();
}

} // namespace

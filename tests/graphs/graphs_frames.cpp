#include "common/FormatSettings.h"
#include "graphs/GASE_GRAPH.h"
#include "graphs/ui/ConnectGaseGraph.h"
#include "graphs/ui/GraphPaintBox.h"
#include "graphs/ui/ReadoutFont.h"
#include "graphs/ui/TfrGraph.h"
#include "graphs/ui/TfrGraphG.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QColor SpringGreen(0x00, 0xFF, 0x87);
const QColor Red(0xFF, 0x00, 0x00);

// A stand-in for the measuring page: the five bars across the top, below them
// the three readouts with their scale labels and gauges.
struct MeasuringPage
{
    MeasuringPage()
    {
        page.setObjectName("PanelDiagnose");
        page.setStyleSheet("#PanelDiagnose { background: black; }");
        page.resize(5 * TfrGraph::FrameWidth + 10, 600);
        for (int i = 0; i < 5; ++i) {
            bars[i] = new TfrGraph(&page);
            bars[i]->setObjectName(QStringLiteral("frGraph%1").arg(i + 1));
            bars[i]->move(5 + i * TfrGraph::FrameWidth, 5);
        }
        const char *names[] = { "labTax", "labTm", "labLambda" };
        const char *captions[] = { "Tах", "Тм", "λ" };
        for (int t = 0; t < 3; ++t) {
            const int top = 440 + t * 52;
            auto *caption = new QLabel(QString::fromUtf8(captions[t]), &page);
            caption->setStyleSheet("color: yellow;");
            caption->setFont(QFont("DejaVu Sans", 16, QFont::Bold));
            caption->setGeometry(8, top + 4, 50, 36);
            GaugeDisplayLabels &l = labels[t];
            l.readout = new QLabel(&page);
            l.readout->setObjectName(names[t]);
            l.readout->setFont(readoutFont(34));
            l.readout->setStyleSheet("color: lime; background: black;");
            l.readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            l.readout->setGeometry(60, top, 170, 44);
            QLabel **small[] = { &l.below, &l.centre, &l.above };
            for (int j = 0; j < 3; ++j) {
                *small[j] = new QLabel(&page);
                (*small[j])->setObjectName(QStringLiteral("%1%2").arg(names[t]).arg(j + 1));
                (*small[j])->setStyleSheet("color: silver;");
                (*small[j])->setAlignment(Qt::AlignCenter);
                (*small[j])->setGeometry(250 + j * 225 - 40, top + 40, 80, 12);
            }
            gauges[t] = new TfrGraphG(&page);
            gauges[t]->setObjectName(QStringLiteral("frGraphG%1").arg(t + 1));
            gauges[t]->move(250, top);
        }
        ConnectGaseGraph(graph, bars, gauges, labels);
        graph.SetGaugeWindow(GASE_GRAPH::EngineSpeed, 2920, 3080);
        graph.SetGaugeWindow(GASE_GRAPH::Tm, 55, 65);
        graph.SetGaugeWindow(GASE_GRAPH::Lambda, 0.9f, 1.1f);
        graph.Initialise();
        graph.Flags = { true, true, false, false };
    }

    QImage shot(QWidget *widget) { return widget->grab().toImage(); }

    void save(QWidget *widget, const QString &name)
    {
        const QString dir = qEnvironmentVariable("ZELMOR_SHOTS_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir))
            widget->grab().save(dir + QLatin1Char('/') + name);
    }

    QWidget page;
    GASE_GRAPH graph;
    std::array<TfrGraph *, 5> bars {};
    std::array<TfrGraphG *, 3> gauges {};
    std::array<GaugeDisplayLabels, 3> labels {};
};

class GraphFramesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        screen = std::make_unique<MeasuringPage>();
    }
    void TearDown() override
    {
        screen.reset();
        FormatSettings::setCurrent(saved);
    }

    FormatSettings saved;
    std::unique_ptr<MeasuringPage> screen;
};

TEST_F(GraphFramesTest, FramesHaveTheirDesignSizesAndNamedControls)
{
    TfrGraph *frame = screen->bars[0];
    EXPECT_EQ(frame->size(), QSize(155, 423));
    EXPECT_EQ(frame->Bar->geometry(), QRect(48, 136, 100, 283));
    EXPECT_EQ(screen->gauges[0]->size(), QSize(450, 40));
    EXPECT_EQ(screen->gauges[0]->Bar->geometry(), QRect(0, 0, 450, 40));
    for (const char *name :
        { "Label1", "Label8", "labData", "labDataPre", "d1", "d2", "d3", "d4", "d5" })
        EXPECT_NE(frame->findChild<QLabel *>(name), nullptr) << name;
    EXPECT_NE(frame->findChild<QFrame *>("Shape1"), nullptr);
    EXPECT_NE(frame->findChild<GraphPaintBox *>("Bar"), nullptr);

    const char *units[] = { ",%", ",ppm", "2,%", "2,%", ",ppm" };
    const char *gases[] = { "CO", "CH", "CO", "O", "NO" };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(screen->bars[i]->Label1->text(), gases[i]);
        EXPECT_EQ(screen->bars[i]->Label8->text(), units[i]);
    }
}

TEST_F(GraphFramesTest, OperatorReadsValuesScalesAndWindowsOffTheLabels)
{
    screen->graph.Values = { 3.456, 1234, 14.5, 20.94, 850, 3000, 60, -1 };
    screen->graph.Draw();
    const char *readouts[] = { "3,46", "1234", "14,50", "20,9", "850" };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(screen->bars[i]->labData->text(), readouts[i]);
    EXPECT_EQ(screen->labels[0].readout->text(), "3000");
    EXPECT_EQ(screen->labels[1].readout->text(), "60");
    EXPECT_EQ(screen->labels[2].readout->text(), "---");
    EXPECT_EQ(screen->labels[0].below->text(), "-80");
    EXPECT_EQ(screen->labels[0].centre->text(), "3000");
    EXPECT_EQ(screen->labels[0].above->text(), "+80");
    EXPECT_EQ(screen->labels[2].centre->text(), "1,00");
    EXPECT_FALSE(screen->bars[0]->labDataPre->isVisibleTo(screen->bars[0]));

    TfrGraph *co = screen->bars[0];
    EXPECT_EQ(co->d[0]->text(), "0,00");
    EXPECT_EQ(co->d[4]->text(), "7,00");
    EXPECT_GT(co->d[0]->y(), co->d[4]->y()); // d1 at the bottom
    // Wider scale values grow to the left; all keep the right edge beside the bar.
    TfrGraph *o2 = screen->bars[3];
    EXPECT_EQ(o2->d[4]->text(), "22,00");
    EXPECT_EQ(o2->d[4]->geometry().right(), co->d[0]->geometry().right());
    EXPECT_LT(o2->d[4]->geometry().right(), o2->Bar->x());
    EXPECT_GE(o2->d[4]->width(), o2->d[4]->fontMetrics().horizontalAdvance("22,00"));

    screen->graph.Flags.ProcedureActive = true;
    screen->graph.Draw();
    EXPECT_EQ(co->labData->text(), "-.-");
    screen->save(&screen->page, "measuring-page-procedure.png");
}

TEST_F(GraphFramesTest, FramesShowTheDrawnBarsAndGauges)
{
    screen->graph.Values = { 3.5, 2400, 8, 11, 1000, 3100, 60, 1.0 };
    screen->graph.MinLimits[0] = 1.2f;
    screen->graph.MaxLimits[0] = 4.5f;
    screen->graph.Draw();
    screen->save(&screen->page, "measuring-page.png");

    // CO on 0..7 at 3.5: the fill starts at row 141 of the bar box (136 in the frame).
    const QImage co = screen->shot(screen->bars[0]);
    EXPECT_EQ(QColor(co.pixel(48 + 50, 136 + 200)), SpringGreen);
    EXPECT_NE(QColor(co.pixel(48 + 50, 136 + 120)), SpringGreen);
    EXPECT_EQ(QColor(co.pixel(48 + 50, 136 + 100)), Red); // raised-speed limit 4.5 %

    const QImage speed = screen->shot(screen->gauges[0]);
    EXPECT_EQ(QColor(speed.pixel(300, 20)), Red); // 3100 lies outside 2920..3080
    const QImage tm = screen->shot(screen->gauges[1]);
    EXPECT_EQ(QColor(tm.pixel(100, 20)), QColor(0x1B, 0x1B, 0x1B)); // 60 at the centre

    screen->graph.Values[5] = 3050;
    screen->graph.Draw();
    EXPECT_EQ(QColor(screen->shot(screen->gauges[0]).pixel(260, 20)), SpringGreen);

    for (int i = 0; i < 5; ++i)
        screen->save(screen->bars[i], QStringLiteral("frGraph%1.png").arg(i + 1));
    screen->save(screen->gauges[0], "frGraphG1.png");
}

TEST_F(GraphFramesTest, BeforeWarmUpOnlyTheReadoutsShowValues)
{
    screen->graph.Flags = {};
    screen->graph.Values = { 3.5, 2400, 8, 11, 1000, 3100, 60, 1.0 };
    screen->graph.Draw();
    screen->save(&screen->page, "measuring-page-warming-up.png");
    EXPECT_EQ(screen->bars[0]->labData->text(), "3,50");
    const QImage co = screen->shot(screen->bars[0]);
    EXPECT_NE(QColor(co.pixel(48 + 50, 136 + 200)), SpringGreen);
    const QImage speed = screen->shot(screen->gauges[0]);
    EXPECT_NE(QColor(speed.pixel(300, 20)), Red);
}

TEST_F(GraphFramesTest, MissingLabelsAreLeftOut)
{
    GASE_GRAPH graph;
    TfrGraph bar;
    TfrGraphG gauge;
    ConnectGaseGraph(
        graph, { &bar, nullptr, nullptr, nullptr, nullptr }, { &gauge, nullptr, nullptr }, {});
    graph.Initialise();
    graph.Values[0] = 1;
    graph.Draw();
    EXPECT_EQ(bar.labData->text(), "1,00");
}

} // namespace

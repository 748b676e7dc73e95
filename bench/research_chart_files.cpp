// The research page's costs: a new point with a full redraw of the strip
// chart (945 pixels, five channels, onto its paint box), scrolling through a
// full store, and saving and loading a recording of 54000 points, as files
// alone and as the page's commands (grid and chart included).
#include "app/DiscoveryPage.h"
#include "app/SecondaryPages.h"
#include "common/FormatSettings.h"
#include "device/TOpros_ZMX.h"
#include "files/MeasurementFile.h"
#include "graphs/TGraphBox.h"
#include "graphs/ui/GraphPaintBox.h"

#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int Width = 945;
constexpr int Height = 497;

// Five wavy gases spanning most of their ranges.
TGraphBox::Values reading(int n)
{
    const float t = float(n) * 0.02f;
    return { 3.5f + 3 * std::sin(t), 1500 + 1200 * std::sin(t * 1.3f), 8 + 7 * std::cos(t),
        11 + 10 * std::sin(t * 0.7f), 2500 + 2000 * std::cos(t * 1.7f) };
}

void configure(TGraphBox &chart)
{
    chart.ChannelCount = 5;
    chart.LabelDecimals = 2;
    chart.BackColor = 0;
    chart.GridColor = 0x393939;
    const quint32 colours[5] = { 0x0000FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFF00FF };
    const float high[5] = { 7, 3000, 16, 22, 5000 };
    for (int c = 0; c < 5; ++c) {
        chart.PenColors[c][TGraphBox::MainPass] = colours[c];
        chart.ChannelMin[c] = 0;
        chart.ChannelMax[c] = high[c];
    }
    chart.DeriveHaloColours();
    chart.SetAxes(0, 5.0f, 60, 0.5f);
}

MeasurementRecording fullRecording()
{
    MeasurementRecording recording;
    recording.Points.resize(TGraphBox::Capacity);
    for (int n = 0; n < TGraphBox::Capacity; ++n)
        recording.Points[size_t(n)] = { quint32(n) * 500, reading(n) };
    return recording;
}

// Once the plot is full every point scrolls: grid, five curves of 945
// points in three passes, and the copy onto the paint box.
void AddPointFullRedraw(benchmark::State &state)
{
    GraphPaintBox box;
    box.resize(Width, Height);
    TGraphBox chart(&box, QPoint(68, 28));
    configure(chart);
    int n = 0;
    for (; n < 2 * Width; ++n)
        chart.AddPoint(reading(n));
    for (auto _ : state) {
        if (chart.PointCount() == TGraphBox::Capacity) {
            state.PauseTiming();
            chart.Reset();
            chart.ScrollOffset = 0;
            for (int i = 0; i < 2 * Width; ++i)
                chart.AddPoint(reading(i));
            state.ResumeTiming();
        }
        chart.AddPoint(reading(n++));
    }
}
BENCHMARK(AddPointFullRedraw)->Unit(benchmark::kMicrosecond);

void ScrollTo(benchmark::State &state)
{
    GraphPaintBox box;
    box.resize(Width, Height);
    TGraphBox chart(&box, QPoint(68, 28));
    configure(chart);
    for (int n = 0; n < TGraphBox::Capacity; ++n)
        chart.AppendPoint(reading(n));
    int offset = 0;
    for (auto _ : state) {
        chart.ScrollTo(offset);
        offset = (offset + 997) % (TGraphBox::Capacity - Width);
    }
}
BENCHMARK(ScrollTo)->Unit(benchmark::kMicrosecond);

void SaveFile54000(benchmark::State &state)
{
    const MeasurementRecording recording = fullRecording();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("run.zm"));
    for (auto _ : state) {
        QString error;
        if (!MeasurementFile::save(path, recording, QLatin1Char(','), &error))
            state.SkipWithError(qPrintable(error));
    }
}
BENCHMARK(SaveFile54000)->Unit(benchmark::kMillisecond);

void LoadFile54000(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("run.zm"));
    QString error;
    MeasurementFile::save(path, fullRecording(), QLatin1Char(','), &error);
    for (auto _ : state) {
        const MeasurementReadResult result = MeasurementFile::load(path, QLatin1Char(','));
        if (!result.Ok)
            state.SkipWithError(qPrintable(result.Error));
        benchmark::DoNotOptimize(result.Recording.Points.data());
    }
}
BENCHMARK(LoadFile54000)->Unit(benchmark::kMillisecond);

// The page's commands: chart to grid to file, file to grid to chart.
struct Page
{
    Page()
    {
        pages = new SecondaryPages(&tabs, &diagnose);
        pages->writeDataHeader();
        page = std::make_unique<DiscoveryPage>(
            DiscoveryPage::Widgets {
                pages->tabDiscovery, pages->labDStatus, pages->TabSheet3, pages->grData },
            opros);
        page->CreateChart();
        page->ConfigureChart();
        page->setStopPolling([] {});
        page->setMessageDisplay([](const QString &) {});
        path = folder.filePath(QStringLiteral("run.zm"));
        DiscoveryPage::FileDialogs dialogs;
        dialogs.saveFileName = [this](QWidget *, const QString &, const QString &) { return path; };
        dialogs.openFileName = [this](QWidget *, const QString &) { return path; };
        page->setFileDialogs(dialogs);
        QString error;
        MeasurementFile::save(path, fullRecording(), QLatin1Char(','), &error);
    }
    TOpros_ZMX opros;
    QTabWidget tabs;
    QWidget diagnose;
    SecondaryPages *pages = nullptr;
    std::unique_ptr<DiscoveryPage> page;
    QTemporaryDir folder;
    QString path;
};

void PageOpen54000(benchmark::State &state)
{
    Page p;
    for (auto _ : state)
        p.page->NOpenClick();
}
BENCHMARK(PageOpen54000)->Unit(benchmark::kMillisecond);

// Includes the 100 ms the command waits after stopping the polling.
void PageSave54000(benchmark::State &state)
{
    Page p;
    p.page->NOpenClick();
    for (auto _ : state)
        p.page->NSaveAsClick();
}
BENCHMARK(PageSave54000)->Unit(benchmark::kMillisecond);

} // namespace

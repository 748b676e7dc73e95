// Time of one Draw of the gas graph: five bars, three gauges and their texts,
// as the operation timer calls it twice a second.
#include "common/FormatSettings.h"
#include "graphs/GASE_GRAPH.h"
#include "graphs/ui/ConnectGaseGraph.h"
#include "graphs/ui/ReadoutFont.h"
#include "graphs/ui/TfrGraph.h"
#include "graphs/ui/TfrGraphG.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <array>

namespace {

void prepare(GASE_GRAPH &graph)
{
    graph.SetGaugeWindow(GASE_GRAPH::EngineSpeed, 2920, 3080);
    graph.SetGaugeWindow(GASE_GRAPH::Tm, 55, 65);
    graph.SetGaugeWindow(GASE_GRAPH::Lambda, 0.9f, 1.1f);
    graph.Initialise();
    graph.MinLimits[0] = 1.2f;
    graph.MaxLimits[0] = 4.5f;
    graph.Flags = { true, true, false, false };
}

// New readings on every call, so the readout texts change as they do live.
void nextValues(GASE_GRAPH &graph, int tick)
{
    const double wobble = (tick % 17) * 0.01;
    graph.Values = { 3.2 + wobble, 1400.0 + tick % 50, 12.5 + wobble, 1.1 + wobble,
        800.0 + tick % 30, 2980.0 + tick % 40, 60, 1.0 + wobble };
}

// The graph on the measuring page's frames and labels (not shown).
void DrawOnFrames(benchmark::State &state)
{
    QWidget page;
    std::array<TfrGraph *, 5> bars {};
    std::array<TfrGraphG *, 3> gauges {};
    std::array<GaugeDisplayLabels, 3> labels {};
    for (int i = 0; i < 5; ++i)
        bars[i] = new TfrGraph(&page);
    for (int t = 0; t < 3; ++t) {
        gauges[t] = new TfrGraphG(&page);
        labels[t] = { new QLabel(&page), new QLabel(&page), new QLabel(&page), new QLabel(&page) };
        labels[t].readout->setFont(readoutFont(34));
    }
    GASE_GRAPH graph;
    ConnectGaseGraph(graph, bars, gauges, labels);
    prepare(graph);
    int tick = 0;
    for (auto _ : state) {
        nextValues(graph, ++tick);
        graph.Draw();
    }
}
BENCHMARK(DrawOnFrames)->Unit(benchmark::kMicrosecond);

// Drawing alone, without boxes or labels to hand the results to.
void DrawUnconnected(benchmark::State &state)
{
    GASE_GRAPH graph;
    prepare(graph);
    int tick = 0;
    for (auto _ : state) {
        nextValues(graph, ++tick);
        graph.Draw();
        benchmark::DoNotOptimize(graph.barBuffer().constBits());
    }
}
BENCHMARK(DrawUnconnected)->Unit(benchmark::kMicrosecond);

} // namespace

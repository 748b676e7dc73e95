#include "graphs/ui/ConnectGaseGraph.h"

#include "graphs/GASE_GRAPH.h"
#include "graphs/ui/GraphPaintBox.h"
#include "graphs/ui/LabelTextTarget.h"
#include "graphs/ui/TfrGraph.h"
#include "graphs/ui/TfrGraphG.h"

void ConnectGaseGraph(GASE_GRAPH &graph, const std::array<TfrGraph *, 5> &bars,
    const std::array<TfrGraphG *, 3> &gauges, const std::array<GaugeDisplayLabels, 3> &gaugeLabels)
{
    for (int gas = 0; gas < GASE_GRAPH::GasCount; ++gas) {
        TfrGraph *frame = bars[gas];
        if (!frame)
            continue;
        frame->setGas(gas);
        graph.BarBoxes[gas] = frame->Bar;
        graph.ReadoutLabels[gas] = frame->readoutTarget();
        graph.PreLabels[gas] = frame->preTarget();
        for (int j = 0; j < GASE_GRAPH::ScaleLabelCount; ++j)
            graph.ScaleLabels[gas][j] = frame->scaleTarget(j);
    }
    for (int t = 0; t < GASE_GRAPH::GaugeCount; ++t) {
        const int channel = GASE_GRAPH::EngineSpeed + t;
        if (gauges[t])
            graph.GaugeBoxes[t] = gauges[t]->Bar;
        const GaugeDisplayLabels &labels = gaugeLabels[t];
        graph.ReadoutLabels[channel] = LabelTextTarget::of(labels.readout);
        graph.ScaleLabels[channel][0] = LabelTextTarget::of(labels.below);
        graph.ScaleLabels[channel][1] = LabelTextTarget::of(labels.centre);
        graph.ScaleLabels[channel][2] = LabelTextTarget::of(labels.above);
    }
}

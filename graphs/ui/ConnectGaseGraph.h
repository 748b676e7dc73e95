#pragma once

#include <array>

class GASE_GRAPH;
class QLabel;
class TfrGraph;
class TfrGraphG;

// The main window's displays of one gauge: the large readout and its three
// small scale labels (below, centre, above the window).
struct GaugeDisplayLabels
{
    QLabel *readout = nullptr; // labTax, labTm, labLambda
    QLabel *below = nullptr; // labTax1, labTm1, labLambda1: "-" half window
    QLabel *centre = nullptr; // labTax2, labTm2, labLambda2: window centre
    QLabel *above = nullptr; // labTax3, labTm3, labLambda3: "+" half window
};

// Connects the gas graph to the five bar frames (CO, CH, CO2, O2, NOx), the
// three gauge frames (engine speed, Tm, lambda) and the gauges' labels. Also
// names each bar frame's gas. The frames and labels must outlive the graph's use
// of them; missing (null) labels are simply not written.
void ConnectGaseGraph(GASE_GRAPH &graph, const std::array<TfrGraph *, 5> &bars,
    const std::array<TfrGraphG *, 3> &gauges, const std::array<GaugeDisplayLabels, 3> &gaugeLabels);

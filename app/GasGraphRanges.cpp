#include "app/GasGraphRanges.h"

#include "graphs/GASE_GRAPH.h"

DisplayLimits displayLimitsOf(const GASE_GRAPH &graph)
{
    DisplayLimits limits;
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        limits.Low[gas] = graph.RangeLow[size_t(gas)];
        limits.High[gas] = graph.RangeHigh[size_t(gas)];
    }
    return limits;
}

void setDisplayLimits(GASE_GRAPH &graph, const DisplayLimits &limits)
{
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        graph.RangeLow[size_t(gas)] = limits.Low[gas];
        graph.RangeHigh[size_t(gas)] = limits.High[gas];
    }
}

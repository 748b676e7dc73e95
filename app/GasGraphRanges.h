#pragma once

#include "config/DisplayLimits.h"

class GASE_GRAPH;

// The display limits of the five gases are the first five entries of the
// gas graph's ranges; the settings, the ranges dialog and the options
// dialog's save move them in and out of the graph here.
DisplayLimits displayLimitsOf(const GASE_GRAPH &graph);
void setDisplayLimits(GASE_GRAPH &graph, const DisplayLimits &limits);

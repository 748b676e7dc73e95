#pragma once

class TGraphBox;

// Where the strip chart's axes are shown: tick marks and labels on the panel
// around the plot. The chart keeps their places and texts (TGraphBox's
// YTickMarks, ValueLabels, XTickMarks, TimeLabels, Title) and tells the view
// which group changed; the view reads them from the chart.
class GraphAxisTarget
{
public:
    virtual ~GraphAxisTarget() = default;
    // The value axis was placed anew: marks, label places and label texts.
    virtual void valueAxisChanged(const TGraphBox &chart) = 0;
    // The time labels got new texts (their places do not change).
    virtual void timeLabelsChanged(const TGraphBox &chart) = 0;
    virtual void titleChanged(const TGraphBox &chart) = 0;
};

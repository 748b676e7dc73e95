#pragma once

#include "graphs/GASE_GRAPH.h"
#include "graphs/GraphImageTarget.h"
#include "graphs/GraphTextTarget.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <array>

// Stand-ins for the labels and paint boxes: they keep what the graph gave them.
struct TextTarget : GraphTextTarget
{
    void setText(const QString &value) override { text = value; }
    QString text;
};

struct ImageTarget : GraphImageTarget
{
    explicit ImageTarget(QSize size = {})
        : size(size)
    { }
    QSize boxSize() const override { return size; }
    void markOpaque() override { opaque = true; }
    void showImage(const QImage &buffer, const QRect &source) override
    {
        image = buffer.copy(source);
        ++copies;
    }
    QColor at(int x, int y) const { return QColor(image.pixel(x, y)); }

    QSize size;
    QImage image;
    bool opaque = false;
    int copies = 0;
};

// A gas graph wired to stand-ins of the design sizes, as the main window wires it.
struct WiredGraph
{
    WiredGraph()
    {
        for (int i = 0; i < GASE_GRAPH::ChannelCount; ++i) {
            graph.ReadoutLabels[i] = &readouts[i];
            for (int j = 0; j < GASE_GRAPH::ScaleLabelCount; ++j)
                graph.ScaleLabels[i][j] = &scales[i][j];
        }
        for (int i = 0; i < GASE_GRAPH::GasCount; ++i) {
            bars[i].size = QSize(100, 283);
            graph.BarBoxes[i] = &bars[i];
            graph.PreLabels[i] = &pres[i];
        }
        for (int i = 0; i < GASE_GRAPH::GaugeCount; ++i)
            graph.GaugeBoxes[i] = &gauges[i];
        graph.SetGaugeWindow(GASE_GRAPH::EngineSpeed, 2920, 3080);
        graph.SetGaugeWindow(GASE_GRAPH::Tm, 55, 65);
        graph.SetGaugeWindow(GASE_GRAPH::Lambda, 0.9f, 1.1f);
        graph.Initialise();
        graph.Flags = { true, true, false, false };
    }

    ImageTarget &gauge(int channel) { return gauges[channel - GASE_GRAPH::EngineSpeed]; }

    GASE_GRAPH graph;
    std::array<TextTarget, GASE_GRAPH::ChannelCount> readouts;
    std::array<std::array<TextTarget, GASE_GRAPH::ScaleLabelCount>, GASE_GRAPH::ChannelCount>
        scales;
    std::array<TextTarget, GASE_GRAPH::GasCount> pres;
    std::array<ImageTarget, GASE_GRAPH::GasCount> bars;
    std::array<ImageTarget, GASE_GRAPH::GaugeCount> gauges { ImageTarget({ 450, 40 }),
        ImageTarget({ 450, 40 }), ImageTarget({ 450, 40 }) };
};

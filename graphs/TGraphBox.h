#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <memory>

class GraphAxisTarget;
class GraphImageTarget;

// The strip chart of the research page: up to five channels of readings
// (CO, CH, CO2, O2, NOx) drawn as curves against time, one pixel per point,
// with a grid, a value axis on the left, a time axis below and a title above.
// Each channel is scaled to the full plot height by its own range, so the
// curves overlay one another whatever their units; the value axis shows the
// range of one chosen channel.
//
// It draws into its own back buffer and copies the finished picture onto the
// plot box in one step (Present). It needs no widgets: the plot box is a
// GraphImageTarget, and the axes (tick marks and labels, which live on the
// panel around the plot) are kept here as places and texts that a
// GraphAxisTarget shows (graphs/ui/TGraphBoxAxes.h).
//
// Use from the research page:
//
//   Chart = std::make_unique<TGraphBox>(pboxDisco, pboxDisco->pos());
//   Axes = new TGraphBoxAxes(*Chart, panel);      // tick marks and labels
//   Chart->ChannelCount = 5; Chart->LabelDecimals = 2; Chart->BackColor = 0;
//   Chart->PenColors[c][MainPass] = ...; Chart->DeriveHaloColours();
//   Chart->SetTitle("Показания газов."); Chart->SetAxes(0, 5.0, 60, 0.5);
//   Chart->DrawGrid(); Chart->DrawCurves(); Chart->Present();
//   ... every new reading: Chart->AddPoint({ co, ch, co2, o2, nox });
//
// The store holds 54000 points per channel with the moment each was added; it
// is allocated once with the chart, so adding a point allocates nothing. User
// interface thread only.
class TGraphBox
{
public:
    static constexpr int Capacity = 54000;
    static constexpr int MaxChannels = 5;
    static constexpr int PassCount = 3;
    static constexpr int MainPass = 2; // the pass with the curve's own colour
    static constexpr int MarkCount = 20;
    static constexpr int MaxYTickCount = 17;
    static constexpr float EndMarker = -1.0f;

    // Where the axes' parts stand on the panel, relative to the plot.
    static constexpr int TickLength = 10;
    static constexpr int TimeMarkSpacing = 120; // pixels (= points) between time marks
    static constexpr int ValueLabelLeft = 65; // left edge of a value label, left of the plot
    static constexpr int ValueLabelWidth = 50;
    static constexpr int ValueLabelHeight = 13;
    static constexpr int ValueLabelRise = 6; // a value label is centred on its grid line
    static constexpr int TitleRise = 14;

    using Values = std::array<float, MaxChannels>;
    using Clock = std::function<quint32()>;

    // A tick mark: its top left corner on the panel.
    struct AxisMark
    {
        QPoint At;
        bool Placed = false;
    };
    // A label: value labels by their top left corner, time labels by the
    // middle of their top edge (the view centres them under their mark).
    struct AxisLabel
    {
        QPoint At;
        bool Placed = false;
        QString Text;
    };

    // A chart on `plotBox`, which stands at `plotTopLeft` on its panel; the
    // plot's size is taken from the box now. `clock` gives the millisecond
    // tick (the system's monotonic one when empty; tests pass their own).
    TGraphBox(GraphImageTarget *plotBox, QPoint plotTopLeft, Clock clock = {});
    ~TGraphBox();
    TGraphBox(const TGraphBox &) = delete;
    TGraphBox &operator=(const TGraphBox &) = delete;

    void SetTitle(const QString &text);
    // 0, or -1 with nothing changed when yMin is not below yMax, a value is
    // not finite, yGridStep is not positive or xGridStep is below one pixel
    // (the grid loops could not advance).
    int SetAxes(float yMin, float yMax, float xGridStep, float yGridStep);
    // Background, frame and grid into the back buffer; -1 when YMax is below YMin.
    int DrawGrid();
    // The curves into the back buffer; -1 when ChannelCount exceeds 5.
    int DrawCurves();
    // Copies the back buffer onto the plot box.
    void Present();
    // 0, or -1 when offset is below 0 or above 54000.
    int ScrollTo(int offset);
    // Records a point stamped with the clock's tick and redraws (when
    // RedrawOnAdd is set); -1 when the store is full.
    int AddPoint(const Values &values);
    // Records a point without drawing; -1 when the store is full. Without a
    // tick the point is stamped with the clock's tick.
    int AppendPoint(const Values &values);
    int AppendPoint(const Values &values, quint32 tick);
    // Forgets all points; ScrollOffset and StartTick stay.
    void Reset();
    // Both halo colours of every channel := its main colour at half brightness.
    void DeriveHaloColours();

    // Shows the axes from now on (null: nowhere); the target gets the
    // current state at once.
    void setAxisTarget(GraphAxisTarget *target);

    // The clock's tick now.
    quint32 now() const;

    // "mm:ss", or "hh:mm:ss" from one hour on, of a span in milliseconds.
    static QString elapsedText(quint32 elapsedMs);

    int PointCount() const { return m_pointCount; }
    float Point(int channel, int index) const;
    quint32 PointTick(int index) const;
    int YTickCount() const { return m_yTickCount; }
    float YMin() const { return m_yMin; }
    float YMax() const { return m_yMax; }
    float XGridStep() const { return m_xGridStep; }
    float YGridStep() const { return m_yGridStep; }
    float PlotWidth() const { return m_plotWidth; }
    float PlotHeight() const { return m_plotHeight; }
    QPoint plotTopLeft() const { return m_plotTopLeft; }

    // The axes as they are placed now.
    QString Title;
    std::array<AxisMark, MarkCount> YTickMarks;
    std::array<AxisLabel, MarkCount> ValueLabels;
    std::array<AxisMark, MarkCount> XTickMarks;
    std::array<AxisLabel, MarkCount> TimeLabels;

    // Set by the owner.
    int ChannelCount = 1;
    int LabelPrecision = 5;
    int LabelDecimals = 0;
    quint32 BackColor = 0xFFFFFF; // 0x00BBGGRR
    quint32 GridColor = 0xCFCFCF;
    // Per channel: two halo colours, then the main colour.
    std::array<std::array<quint32, PassCount>, MaxChannels> PenColors {};
    // ChannelMin maps to the plot's bottom edge, ChannelMax to its top edge.
    std::array<float, MaxChannels> ChannelMin {};
    std::array<float, MaxChannels> ChannelMax {};
    quint32 StartTick = 0;
    int ScrollOffset = 0; // index of the point drawn at the left edge
    bool RedrawOnAdd = true;
    // Vertical offsets of the three passes: halo above, halo below, main line.
    std::array<qint8, PassCount> PassOffsets { -1, 1, 0 };

private:
    void placeTimeAxis();
    void placeValueAxis();
    void updateTimeLabels();
    // Rows of the horizontal grid lines, from the bottom up.
    template <typename F> void forEachGridRow(double firstRow, F &&row) const;
    double pixelStep() const;
    void lineTo(int x0, int y0, int x1, int y1, quint32 rgb);
    void fillRows(int x, int fromRow, int toRow, quint32 rgb);
    void horizontalLine(int fromX, int toX, int y, quint32 rgb);
    void verticalLine(int x, int fromY, int toY, quint32 rgb);

    GraphImageTarget *m_plotBox;
    GraphAxisTarget *m_axisTarget = nullptr;
    Clock m_clock;
    QPoint m_plotTopLeft;
    float m_plotWidth = 0;
    float m_plotHeight = 0;
    QImage m_backBuffer;

    float m_yMin = 0;
    float m_yMax = 1;
    float m_xGridStep = 1;
    float m_yGridStep = 1;
    int m_yTickCount = 0;

    std::unique_ptr<float[]> m_points; // Capacity values per channel
    std::unique_ptr<quint32[]> m_ticks;
    int m_pointCount = 0;
};

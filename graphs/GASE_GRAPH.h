#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>

class GraphImageTarget;
class GraphTextTarget;
class QPainter;

// The gas graph of the measuring page: five vertical bars (CO, CH, CO2, O2,
// NOx) and three horizontal gauges (engine speed, Tm, lambda), each with its
// numeric readout. It holds the current values, the display ranges and the
// vehicle's limits and draws all eight into two back buffers, then copies each
// finished box onto its paint box in one step. It needs no widgets: labels and
// paint boxes are reached through GraphTextTarget and GraphImageTarget.
//
// Use from the main window (widgets in graphs/ui/ConnectGaseGraph.h):
//
//   GasGraph = std::make_unique<GASE_GRAPH>();
//   ConnectGaseGraph(*GasGraph, { frGraph1, ..., frGraph5 }, { frGraphG1, frGraphG2, frGraphG3 },
//                    { { { labTax, labTax1, labTax2, labTax3 },
//                        { labTm, labTm1, labTm2, labTm3 },
//                        { labLambda, labLambda1, labLambda2, labLambda3 } } });
//   GasGraph->FlagsSource = [this] { return GaseGraphFlags { WarmedUp, VehicleSelected,
//                                                              MinSpeedDone, procedureActive }; };
//   GasGraph->MinLimits.fill(0);  GasGraph->MaxLimits.fill(0);
//   GasGraph->SetGaugeWindow(GASE_GRAPH::EngineSpeed, 2920, 3080);   // and Tm 55..65,
//   ...                                                               // lambda 0.9..1.1
//   GasGraph->Initialise();        // "prepare": once the boxes are connected and sized
//   ... settings load RangeLow/RangeHigh[0..4] (the display limits) ...
//   GasGraph->PlaceScaleLabels();  // "finish set-up": after the settings are read,
//   GasGraph->Draw();              // then the first picture
//
// Every operation tick: write Values (and PreValues), then Draw(). After a change
// of the gas ranges: PlaceScaleLabels(), then Draw(). The vehicle selection
// calls LoadLimitSet(limits.limitSet()) and SetGaugeWindow() for the three
// gauges; the menu toggles ShowLimits (and redraws). Everything runs on the
// user interface thread.
//
// Ranges whose two ends are equal or inverted are drawn without a level (the
// bar stays at its bottom or fills up, the gauge goes to its end) instead of
// dividing by zero.

// The main window's state that decides what a draw shows.
struct GaseGraphFlags
{
    bool WarmedUp = false; // readings arrive: bars and gauges are filled
    bool VehicleSelected = false; // gauges are filled only for a chosen vehicle
    bool MinSpeedDone = false; // the raised-speed windows apply to the gauges
    bool ProcedureActive = false; // the instrument runs a procedure: gas readouts show "-.-"
};

class GASE_GRAPH
{
public:
    enum Channel { CO, CH, CO2, O2, NOx, EngineSpeed, Tm, Lambda };
    static constexpr int ChannelCount = 8;
    static constexpr int GasCount = 5;
    static constexpr int GaugeCount = 3;
    static constexpr int ScaleLabelCount = 5;
    static constexpr int LimitSetSize = 16;

    GASE_GRAPH();
    ~GASE_GRAPH();
    GASE_GRAPH(const GASE_GRAPH &) = delete;
    GASE_GRAPH &operator=(const GASE_GRAPH &) = delete;

    // Completes the set-up once the boxes and labels are connected: limit
    // lines on, scales from the first boxes, spring-green fills, scale labels.
    void Initialise();
    // Writes the scale values of the five bars; call after every change of the gas ranges.
    void PlaceScaleLabels();
    // Writes the readouts and redraws all eight graphs from Values, ranges and limits.
    void Draw();

    // The vehicle's sixteen limits: MinCO, MinCH, MinCO2, MinO2, MinNOx, MinTax,
    // MinLambda, MinTaxD, then the same eight for the raised speed.
    void LoadLimitSet(const std::array<float, LimitSetSize> &limits);
    // Acceptance window of a gauge channel (EngineSpeed, Tm or Lambda).
    void SetGaugeWindow(int channel, float low, float high);

    // Back buffers, for tests and for printing the current picture.
    const QImage &barBuffer() const { return BarBuffer; }

    // Connected by the main window (not owned).
    std::array<std::array<GraphTextTarget *, ScaleLabelCount>, ChannelCount> ScaleLabels {};
    std::array<GraphTextTarget *, ChannelCount> ReadoutLabels {};
    std::array<GraphTextTarget *, GasCount> PreLabels {};
    std::array<GraphImageTarget *, GasCount> BarBoxes {};
    std::array<GraphImageTarget *, GaugeCount> GaugeBoxes {};

    // Display range of each channel; for the gauges the acceptance window.
    // Entries 0..4 are the display limits kept in the settings file.
    std::array<float, ChannelCount> RangeLow {};
    std::array<float, ChannelCount> RangeHigh {};
    // Vehicle limits at minimum / raised engine speed (see LoadLimitSet).
    std::array<float, ChannelCount> MinLimits {};
    std::array<float, ChannelCount> MaxLimits {};
    float MinTaxD = 0;
    float MaxTaxD = 0;

    // Current values: CO, CH, CO2, O2, NOx, engine speed, Tm, lambda.
    std::array<double, ChannelCount> Values {};
    std::array<double, GasCount> PreValues {};
    bool ShowLimits = false;

    // State of the main window read by Draw: FlagsSource, when set, is asked
    // on every Draw; otherwise Flags is used as the caller left it.
    GaseGraphFlags Flags;
    std::function<GaseGraphFlags()> FlagsSource;

    // Fill of each bar and gauge, 0x00BBGGRR.
    std::array<quint32, ChannelCount> FillColors {};
    std::array<int, GasCount> Decimals { 2, 0, 2, 2, 0 };
    QString NoValueText;
    int BarUnitsHigh = 0;
    int BarUnitsWide = 0;
    int GaugeUnitsHigh = 0;
    int GaugeUnitsWide = 0;
    float BarScale = 1; // pixels per bar unit
    float GaugeScale = 1; // pixels per gauge unit

private:
    void writeReadouts(const GaseGraphFlags &flags, QChar separator);
    void drawBar(int gas, const GaseGraphFlags &flags, QChar separator);
    void drawLimitLine(QPainter &painter, float limit, int gas, const QString &text);
    void drawGauge(int channel, const GaseGraphFlags &flags, QChar separator);
    void applyRaisedSpeedWindows();
    QSize barBoxSize() const;
    QSize gaugeBoxSize() const;

    QImage BarBuffer;
    QImage GaugeBuffer;
    QFont m_limitFont;
};

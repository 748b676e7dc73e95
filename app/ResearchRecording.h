#pragma once

#include "config/DisplayLimits.h"
#include "device/Records.h"
#include "files/MeasurementFile.h"
#include "graphs/TGraphBox.h"

#include <QPoint>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class GraphImageTarget;
class TOpros_ZMX;

// The research recording without its widgets: the strip chart fed with the
// instrument's readings, the gas whose scale the value axis shows, a new
// recording on "Старт", and the recording saved as a measurement file and
// opened from one. Each operation returns what the operator is to see; the
// research page (DiscoveryPage) shows it. User interface thread only.
class ResearchRecording
{
public:
    static constexpr int GasCount = 5;
    // Curve colours of CO, CH, CO2, O2, NOx (0x00BBGGRR): red, lime,
    // yellow, aqua, fuchsia; the legend's swatches show the same.
    static constexpr std::array<quint32, GasCount> GasColours { 0x0000FF, 0x00FF00, 0x00FFFF,
        0xFFFF00, 0xFF00FF };
    // Decimals of the value axis for each gas: the ppm gases have none.
    static constexpr std::array<int, GasCount> AxisDecimals { 2, 0, 2, 2, 0 };

    // What the recording asks of the polling thread. The main window routes
    // the requests through the service panel; tests pass their own.
    struct Link
    {
        // The newest readings record not fed yet, or nothing.
        std::function<std::optional<ResultRecord>()> takeNewResult;
        // Starts the thread's record series again from its first record.
        std::function<void()> restartSeries;
        // Continuous reception of readings.
        std::function<void()> requestReadings;
        std::function<void()> stopPolling;

        // The thread's own calls.
        static Link to(TOpros_ZMX &thread);
    };

    // The legend's value fields, CO ... NOx.
    using Legend = std::array<QString, GasCount>;

    // What "Сохранить как..." wrote: the recording (for the data grid), its
    // length for "Label28" (ms of the last point, 0 without points), and why
    // the file was not saved (empty when it was).
    struct Saved
    {
        MeasurementRecording recording;
        quint32 lengthMs = 0;
        QString error;
    };

    // What "Открыть..." did: the recording now on the chart (for the data
    // grid) when it loaded, and what the operator is to read (why the file
    // was not loaded, or what of it was left out).
    struct Opened
    {
        bool loaded = false;
        MeasurementRecording recording;
        QString message;
    };

    explicit ResearchRecording(Link link);
    ~ResearchRecording();

    // The main window's way of stopping the polling and of requesting
    // reception (the service panel's); an empty call puts the link's own back.
    void setStopPolling(std::function<void()> stop);
    void setRequestReadings(std::function<void()> request);
    ResearchRecording(const ResearchRecording &) = delete;
    ResearchRecording &operator=(const ResearchRecording &) = delete;

    // The chart on `plotBox`, which stands at `plotTopLeft` on its panel,
    // with the channel ranges set so far; `clock` as TGraphBox takes it.
    TGraphBox &createChart(
        GraphImageTarget *plotBox, QPoint plotTopLeft, TGraphBox::Clock clock = {});
    // Five channels in the gas colours on black, the title, the value axis
    // on the CO scale; then drawn.
    void configureChart();
    void destroyChart();
    TGraphBox *chart() const { return m_chart.get(); }

    // The display limits of the five gases become the channels' ranges; the
    // chart shows them at its next drawing.
    void setChannelRanges(const DisplayLimits &limits);
    // "CO, %", "CH, ppm", "CO2, %", "O2, %", "NOx, ppm".
    static QString caption(int gas);
    // Puts the value axis on the gas's scale with these decimals. An empty
    // or inverted range leaves the axis as it is.
    void chooseAxis(int gas, int decimals);

    // Drops the points and shows the empty chart from its left edge.
    void startAfresh();
    // "Старт": a new recording timed from now, and continuous reception.
    void start();
    // "Стоп", and before the files are touched: the polling stops.
    void stop();
    void scrollTo(int position);
    // The chart feed: a readings record not fed yet becomes the newest point;
    // then the legend's texts of its values.
    std::optional<Legend> feed();

    // The folder both file dialogs start in: "reports" in the current
    // folder, or the current folder without it.
    static QString fileFolder();
    // Before the save dialog: the dates and times written from now on use
    // "-" as their separators, the polling stops, and the name to propose
    // for the file is returned.
    QString prepareSave();
    // Writes the chart's points under `header` (the data grid's header row).
    Saved save(const QString &path, const MeasurementRecording::Header &header) const;
    // Reads the file and, when it is a recording, puts it on the chart in
    // place of the points there; a file that is not leaves the chart as it was.
    Opened open(const QString &path);

private:
    MeasurementRecording recordingFromChart(const MeasurementRecording::Header &header) const;
    void loadIntoChart(const MeasurementRecording &recording);

    const Link m_ownLink;
    Link m_link;
    std::unique_ptr<TGraphBox> m_chart;
    DisplayLimits m_ranges;
};

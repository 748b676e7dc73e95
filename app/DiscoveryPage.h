#pragma once

#include "config/DisplayLimits.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class GraphPaintBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QTimer;
class TGraphBox;
class TGraphBoxAxes;
class TOpros_ZMX;
struct MeasurementRecording;

// The research page "tabDiscovery": the five gases as curves over time on the
// strip chart, the legend with the latest values, the choice of the channel
// whose scale the Y axis shows, start and stop of a recording, and saving
// and reopening a recording as a measurement file (through the data grid
// "grData" of the page "TabSheet3").
//
// The main window wires it:
//
//   TFormMain::buildPages, after the pages:
//     m_discovery = new DiscoveryPage({ m_pages->tabDiscovery, m_pages->labDStatus,
//                                       m_pages->TabSheet3, m_pages->grData }, *m_opros, this);
//   StartupSequence::createStripChart, beside the gas graph:  discovery.CreateChart();
//   StartupSequence::loadSettings, the display limits read:    discovery.setChannelRanges(limits);
//   StartupSequence::configureStripChart, after the connect:   discovery.ConfigureChart();
//   TFormMain::FormClose, beside m_gasGraph.reset(): m_discovery->DestroyChart();
//   MenuCommands::NDiscoverClick: enable NOpen/NSaveAs, show page 5, then
//                                 discovery.enterResearchMode();
//   MenuCommands::NDiagnoseClick: disable NOpen/NSaveAs, show page 4, then
//                                 discovery.leaveResearchMode();
//   MenuCommands::NSaveAsClick / NOpenClick (new, connected in connectMenu):
//                                 discovery.NSaveAsClick() / NOpenClick();
//   the service panel's stop:  discovery.setStopPolling([panel] { panel->StopCommand(); });
//   TFormMain::setDialogs:     FormDiap->setChartSink([this](const DisplayLimits &l) {
//                                  m_discovery->setChannelRanges(l); });
//
// The chart feed timer TimerUpdateDiscoverGraph belongs to the page and runs
// from its construction; it feeds the chart only once the chart exists. The
// window's TimerOperation keeps writing labDStatus, which the page shows.
class DiscoveryPage : public QObject
{
    Q_OBJECT

public:
    static constexpr int FeedIntervalMs = 500;
    static constexpr int PlotWidth = 945;
    static constexpr int PlotHeight = 497;
    static constexpr int ScrollMaximum = 10000;
    static constexpr int GasCount = 5;

    // The existing widgets the page builds into.
    struct Widgets
    {
        QWidget *tabDiscovery = nullptr; // the page; its placeholder content is replaced
        QLabel *labDStatus = nullptr; // the thread's status text, written by the main window
        QWidget *TabSheet3 = nullptr; // page 6: gets the hidden start button and Label28
        QTableWidget *grData = nullptr; // page 6's data grid; row 0 holds the header
    };

    // The file dialogs, replaceable for tests. Each returns the chosen path,
    // or an empty text when the operator cancels.
    struct FileDialogs
    {
        std::function<QString(QWidget *parent, const QString &folder, const QString &proposedName)>
            saveFileName;
        std::function<QString(QWidget *parent, const QString &folder)> openFileName;
    };

    DiscoveryPage(const Widgets &widgets, TOpros_ZMX &opros, QObject *parent = nullptr);
    ~DiscoveryPage() override;

    // Start-up: create the chart on pboxDisco; configure it (five channels,
    // colours, title, the CO scale) and draw it; destroy it at close.
    void CreateChart();
    void ConfigureChart();
    void DestroyChart();
    TGraphBox *chart() const { return m_chart.get(); }

    // The display limits of the five gases become the channels' ranges; the
    // chart shows them at its next drawing.
    void setChannelRanges(const DisplayLimits &limits);

    // The research mode is entered (the chart starts afresh) or left (the
    // hidden start button reads "Старт" again). Enabling the file commands
    // and switching the page stay with the menu.
    void enterResearchMode();
    void leaveResearchMode();

    // "Сохранить как..." and "Открыть...": both stop the polling first and
    // do not restart it.
    void NSaveAsClick();
    void NOpenClick();

    // How the polling is stopped (the service panel's StopCommand); the
    // thread's StopCycle when not set.
    void setStopPolling(std::function<void()> stop);
    // How continuous reception is requested on "Старт" (the service panel's
    // RequestOperation); the thread's own call when not set.
    void setRequestReadings(std::function<void()> request);
    void setFileDialogs(FileDialogs dialogs);
    // How a refusal is shown; a warning box titled "Сообщение" when not set.
    void setMessageDisplay(std::function<void(const QString &)> display);

    // The folder both file dialogs start in: "reports" in the current folder.
    static QString fileFolder();

    // The data grid gets the last saved or opened recording in slices from
    // the event loop, so a long recording does not hold up the command.
    bool isGridComplete() const { return !m_gridContent; }

    // Handlers.
    void SetDiscoverChannel(int channel, int decimals);
    void btnDStartClick();
    void btnDStopClick();
    void ScrollBar1Change(int position);
    void TimerUpdateDiscoverGraphTimer();
    void btnStartDiscoverClick();

    // Controls; each carries its name as its objectName, so tests and
    // screen readers find it by that name.
    QFrame *PanelDiscover = nullptr;
    QLabel *Image3 = nullptr;
    GraphPaintBox *pboxDisco = nullptr;
    QLabel *labCurrA = nullptr;
    QLabel *labCurrAxis = nullptr;
    QScrollBar *ScrollBar1 = nullptr;
    QFrame *GroupBox6 = nullptr;
    std::array<QLabel *, GasCount> legendLabels {}; // labDCO ... labDNOx
    std::array<QLineEdit *, GasCount> legendValues {}; // ed1 ... ed5
    std::array<QFrame *, GasCount> legendSwatches {}; // Shape7, Shape11 ... Shape14
    QFrame *Shape15 = nullptr;
    QFrame *Shape16 = nullptr;
    QPushButton *btnDStart = nullptr;
    QPushButton *btnDStop = nullptr;
    QLabel *Label24 = nullptr;
    QLabel *labDStatus = nullptr;
    QPushButton *btnStartDiscover = nullptr; // page 6, hidden from the operator
    QLabel *Label28 = nullptr; // page 6: length of the last saved recording, ms
    QTimer *TimerUpdateDiscoverGraph = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPage(QWidget *page);
    void buildLegend();
    void buildDataPageControls(QWidget *dataPage);
    // Drops the recording and shows the empty chart from its start.
    void startAfresh();
    MeasurementRecording recordingFromChart() const;
    void fillGrid(MeasurementRecording recording);
    void fillGridSlice();
    void loadIntoChart(const MeasurementRecording &recording);
    void stopPolling();
    void showMessage(const QString &text);
    QWidget *dialogParent() const;

    TOpros_ZMX &m_opros;
    QWidget *m_page = nullptr;
    QPointer<QTableWidget> m_grid;
    std::unique_ptr<TGraphBox> m_chart;
    // A child of the panel: gone already when the window's widgets go first.
    QPointer<TGraphBoxAxes> m_axes;
    DisplayLimits m_ranges;
    std::shared_ptr<const MeasurementRecording> m_gridContent; // still being written into the grid
    int m_gridRowsDone = 0;
    QTimer *m_gridTimer = nullptr;
    std::function<void()> m_stopPolling;
    std::function<void()> m_requestReadings;
    FileDialogs m_dialogs;
    std::function<void(const QString &)> m_messageDisplay;
};

#pragma once

#include "app/ResearchRecording.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>

class GraphPaintBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QTimer;
class RecordingGrid;
class TGraphBoxAxes;
class TOpros_ZMX;

// The research page "tabDiscovery": the controls of the research recording
// (ResearchRecording, which holds the strip chart and does the work) — the
// chart's paint box and axes, the legend with the latest values, the choice
// of the gas whose scale the Y axis shows, "Старт" and "Стоп" — and the file
// commands' dialogs and the data grid "grData" of the page "TabSheet3".
//
// The main window wires it:
//
//   TFormMain::buildPages, after the pages:
//     m_discovery = new DiscoveryPage({ m_pages->tabDiscovery, m_pages->labDStatus,
//                                       m_pages->TabSheet3, m_pages->grData }, *m_opros, this);
//   StartupSequence::createStripChart, beside the gas graph:  discovery.CreateChart();
//   StartupSequence::loadSettings, the display limits read:    discovery.setChannelRanges(limits);
//   StartupSequence::configureStripChart, after the connect:   discovery.ConfigureChart();
//   TFormMain::FormClose, beside the gas graph:                 discovery.DestroyChart();
//   MenuCommands::NDiscoverClick / NDiagnoseClick, after the page switch:
//                                 discovery.enterResearchMode() / leaveResearchMode();
//   MenuCommands::NSaveAsClick / NOpenClick:  discovery.NSaveAsClick() / NOpenClick();
//   the service panel's stop and request:     setStopPolling(...), setRequestReadings(...);
//   the ranges dialog's chart sink:           discovery.setChannelRanges(limits);
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
    static constexpr int GasCount = ResearchRecording::GasCount;

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

    // Start-up: create the chart on pboxDisco with its axes on the panel;
    // configure and draw it; destroy both at close.
    void CreateChart();
    void ConfigureChart();
    void DestroyChart();
    TGraphBox *chart() const { return m_recording.chart(); }
    ResearchRecording &recording() { return m_recording; }

    void setChannelRanges(const DisplayLimits &limits) { m_recording.setChannelRanges(limits); }

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

    // The data grid gets the last saved or opened recording in slices from
    // the event loop, so a long recording does not hold up the command.
    bool isGridComplete() const;

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
    void scrollBarToStart();
    void showMessage(const QString &text);
    QWidget *dialogParent() const;

    ResearchRecording m_recording;
    QWidget *m_page = nullptr;
    RecordingGrid *m_grid = nullptr;
    // A child of the panel: gone already when the window's widgets go first.
    QPointer<TGraphBoxAxes> m_axes;
    FileDialogs m_dialogs;
    std::function<void(const QString &)> m_messageDisplay;
};

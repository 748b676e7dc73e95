#pragma once

#include "app/OperationTicker.h"
#include "app/ProgramDialogs.h"
#include "app/StatusBlink.h"
#include "app/TestState.h"
#include "database/ZelmorDatabase.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class DatabaseAccess;
class DiagnosePage;
class DiscoveryPage;
class EmissionProcedureThreadLink;
class EmissionProcedureView;
class GASE_GRAPH;
class MainMenu;
class MenuCommands;
class ObdLink;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTimer;
class ReportPage;
class SecondaryPages;
class StartupSequence;
class TFormDiap;
class TFrConnect;
class TFrame_SendCommand;
class TFrObd;
class TOpros_ZMX;
class VehicleObd;
struct ObdOptions;

// The main window: composes the pages, the menu and its commands, the
// emission test and the start-up sequence, and runs the two timers that bring
// the instrument's data to the screen.
class TFormMain : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int WindowWidth = 1024;
    static constexpr int WindowHeight = 768;
    // The engine speed from the vehicle is shown five times a second, faster
    // than the operation timer brings the instrument's readings.
    static constexpr int EngineSpeedIntervalMs = 200;

    using Dialogs = ProgramDialogs;

    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    void setDialogs(const Dialogs &dialogs);
    const Dialogs &dialogs() const { return m_dialogs; }

    // The connect sequence: connect, identify the instrument, start polling.
    int ConnectDevice();

    // Uses the OBD-II adapter as the options say, at once.
    void applyObdOptions(const ObdOptions &options);
    VehicleObd &obd() { return *m_obd; }
    TFrObd *obdModule() const { return m_obdModule; }

    // Closes the window without asking (a stop request from the system).
    void closeWithoutQuestion();

    bool isStartupFinished() const;
    // Errors of start-up steps, in the order they happened.
    QStringList startupErrors() const;

    // The parts the program's windows and the tests reach through the window.
    TestState &state() { return m_state; }
    ZelmorDatabase &database() { return m_database; }
    TOpros_ZMX &opros() { return *m_opros; }
    EmissionProcedureView &emissionTest() { return *m_test; }
    QTabWidget *tabs() const { return m_tabs; }
    DiagnosePage *diagnosePage() const { return m_diagnosePage; }
    SecondaryPages *pages() const { return m_pages; }
    MainMenu *menu() const { return m_menu; }
    TFrConnect *connectModule() const { return m_connectModule; }
    ReportPage *report() const { return m_report; }
    DiscoveryPage *discovery() const { return m_discovery; }
    TFrame_SendCommand *SendCommand() const { return m_sendCommand; }
    MenuCommands *commands() const { return m_commands; }
    // The gas graph; null before start-up and after the window closed.
    GASE_GRAPH *gasGraph() const { return m_gasGraph.get(); }

    QLineEdit *edModel() const;
    QLineEdit *edGosNum() const;
    QLabel *labZMStatus() const;
    QLabel *labDStatus() const;

signals:
    // FormShow has run all its steps (the connect included).
    void startupFinished();

public slots:
    void TimerStatusTimer();
    void TimerOperationTimer();
    void TimerEngineSpeedTimer();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPages();
    void buildEmissionTest();
    void startTimers();
    void wireRangesDialog(TFormDiap *dialog);
    void FormClose();
    void applyTick(const OperationTick &tick);
    void updateGasGraph(const ZmxSnapshot &snapshot);
    // Engine speed and Tm from the vehicle or the instrument into the gas
    // graph's values, with the "OBD" marks; true when a value changed.
    bool applySpeedSources();

    TestState m_state;
    ZelmorDatabase m_database;
    std::unique_ptr<TOpros_ZMX> m_opros;
    std::unique_ptr<ObdLink> m_obdLink;
    std::unique_ptr<VehicleObd> m_obd;
    std::unique_ptr<GASE_GRAPH> m_gasGraph;
    std::unique_ptr<EmissionProcedureThreadLink> m_testLink;
    EmissionProcedureView *m_test = nullptr;
    ReportPage *m_report = nullptr;
    DiscoveryPage *m_discovery = nullptr;
    TFrame_SendCommand *m_sendCommand = nullptr;

    QTabWidget *m_tabs = nullptr;
    DiagnosePage *m_diagnosePage = nullptr;
    SecondaryPages *m_pages = nullptr;
    MainMenu *m_menu = nullptr;
    TFrConnect *m_connectModule = nullptr;
    TFrObd *m_obdModule = nullptr;
    QTimer *m_timerStatus = nullptr;
    QTimer *m_timerOperation = nullptr;
    QTimer *m_timerEngineSpeed = nullptr;
    MenuCommands *m_commands = nullptr;
    StartupSequence *m_startup = nullptr;

    Dialogs m_dialogs;
    std::unique_ptr<DatabaseAccess> m_databaseAccess;
    // Why "conf/zme.ini" was not read, shown after start-up.
    QString m_linkFileRefusal;
    OperationTicker m_ticker;
    StatusBlink m_blink;
    bool m_shownOnce = false;
    bool m_closed = false;
    bool m_procedureActive = false;
    // What the operation timer last gave the gas graph: the instrument's
    // engine speed and Tm, and whether live values are shown at all.
    double m_instrumentRpm = 0;
    double m_instrumentTm = 0;
    bool m_graphLive = false;
};

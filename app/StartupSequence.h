#pragma once

#include "app/LinkWatch.h"
#include "app/ProgramDialogs.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class DatabaseAccess;
class DiagnosePage;
class DiscoveryPage;
class EmissionProcedureView;
class GASE_GRAPH;
class MainMenu;
class QMainWindow;
class ReportPage;
class SecondaryPages;
class Settings;
struct ObdOptions;
class TFrConnect;
class TOpros_ZMX;
struct TestState;

// The start-up of the whole program when the main window is first shown:
// the log, the tables, the gas graph, the settings, the connect sequence and
// the research page's header row, in that order. A step that fails is
// recorded and the remaining steps still run, so the program connects and
// shows readings; the errors are shown once start-up has ended.
//
// The research page's strip chart is created beside the gas graph
// (createStripChart) and configured after the connect (configureStripChart);
// the report template is loaded into the preview before the settings are read
// (loadReportTemplate).
class StartupSequence : public QObject
{
    Q_OBJECT

public:
    // What the start-up works on; the window owns every part, and the
    // references stay valid for the window's life.
    struct Parts
    {
        QMainWindow &window;
        TestState &state;
        DatabaseAccess &database;
        TOpros_ZMX &opros;
        // The start-up creates the gas graph here; the window destroys it
        // when it closes.
        std::unique_ptr<GASE_GRAPH> &gasGraph;
        EmissionProcedureView &test;
        DiagnosePage &diagnosePage;
        SecondaryPages &pages;
        const MainMenu &menu;
        TFrConnect &connectModule;
        const ProgramDialogs &dialogs;
        ReportPage &report;
        DiscoveryPage &discovery;
        // Starts (or leaves off) the OBD-II adapter as the settings say.
        std::function<void(const ObdOptions &)> applyObd;
    };

    // procedureActive: whether the instrument runs a procedure, as the
    // operation timer last saw it (the gas graph's flags read it).
    StartupSequence(const Parts &parts, const bool &procedureActive, QObject *parent = nullptr);
    ~StartupSequence() override;

    // Runs the steps once (the window's FormShow), then emits finished().
    void FormShow();
    // The window is closing: steps not yet run are skipped.
    void windowClosed() { m_closed = true; }

    bool isFinished() const { return m_finished; }
    // Errors of start-up steps, in the order they happened, and what the
    // database has to say although it opened (a lost file created anew).
    QStringList errors() const { return m_errors; }
    // An error found while the window was built, shown with the others.
    void noteError(const QString &message);

    // The connect sequence with the port and speed of the options dialog (or
    // of the settings file when there is no dialog). Returns 0.
    int connectDevice();
    // Brings what the thread found about the port since the connect to the
    // link panel and the instrument box (operation timer).
    void followLink(const ZmxSnapshot &snapshot);

signals:
    void finished();

private:
    void runStartupStep(const std::function<void()> &step);
    void createGasGraph();
    void createStripChart();
    // Looks for "conf/report.frf" below the working directory.
    void loadReportTemplate();
    void loadSettings();
    // The strip chart's channels, colours and axes.
    void configureStripChart();
    void showStartupErrors();
    Settings &ownSettings();

    Parts m_parts;
    const bool &m_procedureActive;
    std::unique_ptr<Settings> m_ownSettings;
    QStringList m_errors;
    LinkWatch m_linkWatch;
    bool m_finished = false;
    bool m_closed = false;
};

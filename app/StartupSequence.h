#pragma once

#include "app/LinkWatch.h"
#include "app/MainWindowParts.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class Settings;

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
    // procedureActive: whether the instrument runs a procedure, as the
    // operation timer last saw it (the gas graph's flags read it).
    StartupSequence(
        const MainWindowParts &parts, const bool &procedureActive, QObject *parent = nullptr);
    ~StartupSequence() override;

    // Runs the steps once (the window's FormShow), then emits finished().
    void FormShow();
    // The window is closing: steps not yet run are skipped.
    void windowClosed() { m_closed = true; }

    bool isFinished() const { return m_finished; }
    // Errors of start-up steps, in the order they happened.
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
    void openDatabase();
    void createGasGraph();
    void createStripChart();
    // Looks for "conf/report.frf" below the working directory.
    void loadReportTemplate();
    void loadSettings();
    // The strip chart's channels, colours and axes.
    void configureStripChart();
    void showStartupErrors();
    Settings &ownSettings();

    MainWindowParts m_parts;
    const bool &m_procedureActive;
    std::unique_ptr<Settings> m_ownSettings;
    QStringList m_errors;
    LinkWatch m_linkWatch;
    bool m_finished = false;
    bool m_closed = false;
};

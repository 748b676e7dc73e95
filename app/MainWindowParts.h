#pragma once

#include "app/ProgramDialogs.h"

#include <QString>
#include <memory>

class DiagnosePage;
class DiscoveryPage;
class EmissionProcedureView;
class GASE_GRAPH;
class MainMenu;
class QMainWindow;
class QTabWidget;
class ReportPage;
class SecondaryPages;
class TFrConnect;
class TFrame_SendCommand;
class TOpros_ZMX;
class ZelmorDatabase;
struct TestState;

// What the main window is made of, as the classes that work on it (the menu
// commands, the start-up sequence) see it. The window owns every part; the
// references stay valid for the window's life.
struct MainWindowParts
{
    QMainWindow &window;
    TestState &state;
    ZelmorDatabase &database;
    TOpros_ZMX &opros;
    // Created by the start-up sequence, destroyed when the window closes.
    std::unique_ptr<GASE_GRAPH> &gasGraph;
    EmissionProcedureView &test;
    QTabWidget &tabs;
    DiagnosePage &diagnosePage;
    SecondaryPages &pages;
    MainMenu &menu;
    TFrConnect &connectModule;
    const ProgramDialogs &dialogs;
    // Why the database could not be opened at start-up; empty while it is open.
    QString &databaseError;
    // The printed report with its preview on the page "report".
    ReportPage &report;
    // The research page with its strip chart.
    DiscoveryPage &discovery;
    // The service command panel: every request to the instrument passes it.
    TFrame_SendCommand &sendCommand;
};

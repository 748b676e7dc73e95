#pragma once

#include "app/ProgramDialogs.h"

#include <QString>
#include <memory>

class DiagnosePage;
class EmissionProcedureView;
class GASE_GRAPH;
class MainMenu;
class QMainWindow;
class QTabWidget;
class SecondaryPages;
class TFrConnect;
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
};

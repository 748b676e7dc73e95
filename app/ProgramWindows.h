#pragma once

#include <memory>

class TFormMain;
class ShutdownSignals;

// The program's windows, each created once and kept for the whole run: the
// main window first (its constructor creates the database object and the
// polling thread), then the dialogs, which are its children and work on
// those two, so the window must exist before them.
class ProgramWindows
{
public:
    ProgramWindows();
    ~ProgramWindows();

    TFormMain *FormMain() const { return m_main.get(); }

    // SIGTERM and SIGINT close the main window as if the operator had
    // closed it, and end the event loop.
    void endOnStopSignals();

private:
    std::unique_ptr<TFormMain> m_main;
    std::unique_ptr<ShutdownSignals> m_signals;
};

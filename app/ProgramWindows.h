#pragma once

#include <memory>

class TFormMain;
class ShutdownSignals;

// The program's windows, each created once and kept for the whole run, in
// the order the program has always made them: the main window first (its
// constructor runs now), then the dialogs, which belong to it.
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

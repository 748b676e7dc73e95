#pragma once

// The program's own main window against the instrument simulator, in a
// program folder of its own: what the whole-test fixtures share.

#include "app/ProgramWindows.h"
#include "app/TFormMain.h"
#include "tests/app/window_support.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace emission {

class MainWindowOnSimulator : public ::testing::Test
{
protected:
    static constexpr int StartupTimeoutMs = 20000;
    static constexpr int StepTimeoutMs = 20000;

    // The simulator warmed up, its readings held where the test steers them
    // and its procedures short.
    void startSimulator(int serialNumber, const QStringList &moreArguments = {})
    {
        sim = std::make_unique<SimProcess>(
            QStringList { "--warmup", "0", "--serial", QString::number(serialNumber) }
            + moreArguments);
        ASSERT_TRUE(sim->isReady()) << qPrintable(sim->errorString());
        ASSERT_TRUE(sim->send("proctime 1500"));
        ASSERT_TRUE(sim->send("hold on"));
    }

    // The program folder naming the simulator's line as its port, with the
    // report template below the working directory, as installed.
    void makeProgramFolder()
    {
        programFolder = std::make_unique<TestProgramFolder>(sim->linkPath());
        ASSERT_TRUE(programFolder->hasReportTemplate());
    }

    // Creates the windows and shows the main window until its start-up ends.
    void startProgram()
    {
        windows = std::make_unique<ProgramWindows>();
        main = windows->FormMain();
        main->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return main->isStartupFinished(); }, StartupTimeoutMs));
    }

    void TearDown() override
    {
        if (main)
            main->close();
        windows.reset();
        programFolder.reset();
    }

    void steer(const QStringList &lines)
    {
        for (const QString &line : lines)
            ASSERT_TRUE(sim->send(line)) << qPrintable(line + ": " + sim->lastReply());
    }

    bool waitFor(const std::function<bool()> &condition, int timeoutMs = StepTimeoutMs)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    // A function key pressed in the main window (active again after a dialog).
    void pressKey(Qt::Key key)
    {
        QApplication::setActiveWindow(main);
        EXPECT_TRUE(QTest::qWaitForWindowActive(main));
        QTest::keyClick(main, key);
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TestProgramFolder> programFolder;
    std::unique_ptr<ProgramWindows> windows;
    TFormMain *main = nullptr;
};

} // namespace emission

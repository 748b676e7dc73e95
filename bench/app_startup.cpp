#include "app/ProgramWindows.h"
#include "app/TFormMain.h"
#include "common/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <clocale>

namespace {

// A program folder whose port does not exist, so the connect fails at once
// and the figure is the program's own start-up.
void prepareFolder(const QTemporaryDir &dir)
{
    QDir(dir.path()).mkpath(QStringLiteral("conf"));
    QFile ini(dir.path() + QStringLiteral("/conf/zelmor.ini"));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[Connect]\r\nComName=/nonexistent/ttyZelmor\r\n");
    setProgramFolder(dir.path() + QLatin1Char('/'));
}

double startOnce()
{
    const auto begin = std::chrono::steady_clock::now();
    ProgramWindows windows;
    TFormMain *main = windows.FormMain();
    main->show();
    while (!main->isStartupFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const auto end = std::chrono::steady_clock::now();
    main->close();
    return std::chrono::duration<double>(end - begin).count();
}

void BM_StartupEmptyFolder(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        prepareFolder(dir);
        state.SetIterationTime(startOnce());
    }
}
BENCHMARK(BM_StartupEmptyFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartupExistingDatabase(benchmark::State &state)
{
    QTemporaryDir dir;
    prepareFolder(dir);
    startOnce(); // creates the database
    for (auto _ : state)
        state.SetIterationTime(startOnce());
}
BENCHMARK(BM_StartupExistingDatabase)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

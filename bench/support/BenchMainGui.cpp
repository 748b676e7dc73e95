// The main of the benchmarks that draw or build windows: the offscreen
// platform unless another is asked for, the C library kept off the locale as
// the program keeps it, and number texts with the operator's decimal comma.
#include "common/FormatSettings.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <clocale>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    FormatSettings::setDecimalSeparator(QLatin1Char(','));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

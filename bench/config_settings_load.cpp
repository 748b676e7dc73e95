// Reading the settings file at start-up: the program's own keys behind a
// section of keys it does not know, as a file grown by hand or by another
// program looks, at the largest size read (1 MiB) and far beyond it.
#include "config/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QByteArray settingsOfSize(qint64 bytes)
{
    QByteArray text = "[Vendor]\r\n";
    const QByteArray known = "[Connect]\r\nComName=/dev/ttyUSB0\r\nSpeed=38400\r\n"
                             "[System]\r\nCntMeasure=10\r\n"
                             "[Diapazone]\r\nCO_MIN=0\r\nCO_MAX=7\r\n";
    for (int n = 0; text.size() + known.size() < bytes; ++n)
        text += "Key" + QByteArray::number(n) + "=some value of the vendor's tool\r\n";
    return text + known;
}

void loadSettings(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelmor.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(settingsOfSize(state.range(0))) < 0)
        state.SkipWithError("cannot write the settings file");
    file.close();
    for (auto _ : state) {
        Settings settings(path);
        settings.LoadSettings();
        benchmark::DoNotOptimize(settings.ReadingsPerStep);
    }
}
BENCHMARK(loadSettings)->Arg(1 << 20)->Arg(20 << 20)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

// Goals: prepare and render one report page to an image in < 100 ms, and to
// a PDF in < 300 ms (a press of "Печать" must feel immediate).
#include "report/ReportDocument.h"

#include <QDate>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

ReportData storedReport()
{
    ReportData d;
    d.qrResult = { { "Index", 42 }, { "Date", QDate(2009, 2, 23) }, { "Time", "14:03:27" },
        { "ZMNum", 1234.0 }, { "Model", 3.0 }, { "GovNumber", QStringLiteral("А123ВС77") },
        { "MinTax", 812.0 }, { "MinCO", 0.62 }, { "MinCH", 150.0 }, { "MinCO2", 14.2 },
        { "MinO2", 0.8 }, { "MinNOx", 124.0 }, { "MinLambda", 1.0 }, { "MaxTax", 2810.0 },
        { "MaxCO", 0.3 }, { "MaxCH", 60.0 }, { "MaxCO2", 14.6 }, { "MaxO2", 0.5 },
        { "MaxNOx", 0.0 }, { "MaxLambda", 0.99 } };
    d.qrModel = { { "Index", 3 }, { "Name", QStringLiteral("Нейтрализатор") },
        { "SaveSystem", QStringLiteral("нейтрализатор, лямбда-зонд") }, { "Category", "M1" },
        { "MinTax", 800.0 }, { "MinTaxD", 50.0 }, { "MinCO", 0.5 }, { "MinCH", 200.0 },
        { "MinLambda", 1.0 }, { "MaxTax", 2800.0 }, { "MaxTaxD", 100.0 }, { "MaxCO", 0.3 },
        { "MaxCH", 100.0 }, { "MaxLambda", 1.0 } };
    d.edReportPlace = QStringLiteral("НПФ \"Лумарис\"");
    return d;
}

void PrepareAndRenderImage(benchmark::State &state)
{
    ReportDocument report;
    report.LoadFromFile(QStringLiteral(ZELMOR_REPORT_TEMPLATE));
    report.setData(storedReport());
    for (auto _ : state) {
        report.PrepareReport();
        QImage image = report.renderImage(0, 96);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(PrepareAndRenderImage)->Unit(benchmark::kMillisecond);

void PrepareAndRenderPdf(benchmark::State &state)
{
    QTemporaryDir dir;
    ReportDocument report;
    report.LoadFromFile(QStringLiteral(ZELMOR_REPORT_TEMPLATE));
    report.setData(storedReport());
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        report.PrepareReport();
        report.exportPdf(path, QStringLiteral("1"));
    }
}
BENCHMARK(PrepareAndRenderPdf)->Unit(benchmark::kMillisecond);

} // namespace

#include "report/ReportPrintJob.h"

#include "common/ZelmorError.h"
#include "report/ReportDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

bool ReportPrintJob::canPrint(const QPrinter &printer, const QStringList &installedPrinters)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return true;
    return !printer.printerName().isEmpty() && installedPrinters.contains(printer.printerName());
}

QString ReportPrintJob::fallbackPath(
    const QString &programFolder, const QDateTime &now, const QString &govNumber)
{
    QString number;
    for (const QChar c : govNumber)
        if (c.isLetterOrNumber() || c == QLatin1Char('-'))
            number += c;
    QString base = QDir(programFolder).absoluteFilePath(QLatin1String(FallbackFolder))
        + QLatin1Char('/') + now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (!number.isEmpty())
        base += QLatin1Char('_') + number;
    QString path = base + QStringLiteral(".pdf");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral("_%1.pdf").arg(n);
    return path;
}

PrintOutcome ReportPrintJob::print(const ReportDocument &report, QPrinter &printer,
    const QString &pageRange, int copies, const QStringList &installedPrinters,
    const QString &programFolder, const QDateTime &now)
{
    PrintOutcome outcome;
    try {
        if (canPrint(printer, installedPrinters)) {
            report.PrintPreparedReport(printer, pageRange, copies);
            outcome.kind = PrintOutcome::Kind::Printed;
        } else {
            const QString number
                = report.data().qrResult.value(QStringLiteral("GovNumber")).toString();
            outcome.path = fallbackPath(programFolder, now, number);
            report.exportPdf(outcome.path, pageRange);
            outcome.kind = PrintOutcome::Kind::SavedAsPdf;
        }
    } catch (const ZelmorError &e) {
        outcome.kind = PrintOutcome::Kind::Failed;
        outcome.error = e.message();
    }
    return outcome;
}

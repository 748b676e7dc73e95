#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QPrinter;
class ReportDocument;

// One press of "Печать": the prepared report's page range goes to the
// process's printer, or, when no printer is installed or the chosen one is
// gone, into a PDF file in the folder "reports" below the program folder, so
// the operator never loses a report to a missing printer.
struct PrintOutcome
{
    enum class Kind {
        Printed,
        SavedAsPdf,
        Failed,
    };
    Kind kind = Kind::Failed;
    QString path; // the PDF written (SavedAsPdf)
    QString error; // why it failed (Failed)
};

class ReportPrintJob
{
public:
    static constexpr const char *FallbackFolder = "reports";

    // installedPrinters: the system's printer names (QPrinterInfo's by default).
    static PrintOutcome print(const ReportDocument &report, QPrinter &printer,
        const QString &pageRange, int copies, const QStringList &installedPrinters,
        const QString &programFolder, const QDateTime &now = QDateTime::currentDateTime());

    // True when the printer can take the report: it writes into a file, or
    // it is one of the installed printers.
    static bool canPrint(const QPrinter &printer, const QStringList &installedPrinters);

    // "<programFolder>reports/yyyy-MM-dd_hh-mm-ss_<number>.pdf"; the number
    // keeps only letters, digits and '-', and a name already taken gets
    // "_2", "_3", … so no earlier report is overwritten.
    static QString fallbackPath(
        const QString &programFolder, const QDateTime &now, const QString &govNumber);
};

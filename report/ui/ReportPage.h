#pragma once

#include "report/ReportData.h"
#include "report/ReportDocument.h"
#include "report/ui/ReportProgressWindow.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QPrintPreviewWidget;
class QPrinter;
class QWidget;

// The report of the main window: the report object `Report`, its preview
// `ReportPreview` on the page "report", the process's printer and the
// progress window. The report browser prints through it.
//
// Use from the main window (it owns the page for the whole run):
//   m_report = new ReportPage(this);                         // TFormMain constructor
//   connect(m_pages->Button2, &QPushButton::clicked, m_report, &ReportPage::Button2Click);
//   FormReports->setReport(m_report);                        // TFormMain::setDialogs
//   FormReports->setReportPrinted([this] { m_state.OperationState = TestOperation::Blank; });
//   FormOptions->setReportPrinter(m_report->printer());      // TFormMain::setDialogs
//   m_report->setPlaceSource([options] { return options->AppliedOptions().Place; });
//   report.setUp(pages.ReportPreviewArea);                   // StartupSequence::loadReportTemplate
// The template is looked for below the working directory, so a program (or a
// test of the main window) started elsewhere reports it missing at start-up.
class ReportPage : public QObject
{
    Q_OBJECT

public:
    static constexpr double PreviewZoomPercent = 87;
    static constexpr const char *PrintedPages = "1";
    static constexpr int PrintedCopies = 1;

    explicit ReportPage(QObject *parent = nullptr);
    ~ReportPage() override;

    // Start-up: places ReportPreview into `area` (replacing what its layout
    // holds), loads the template (".\conf\report.frf" below the working
    // directory unless a path is given) with the progress display off,
    // prepares the report, shows it when that succeeds and zooms the
    // preview to 87 %. A template that cannot be loaded throws ZelmorError
    // after the preview is placed, so the start-up can report it and go on.
    void setUp(QWidget *area, const QString &templatePath = QString());
    // Button2 of the page "report": the same again; an error is shown.
    void Button2Click();

    // Where the data of the report comes from: the report shown in the
    // browser with its model, and the place of inspection.
    void setDataSource(std::function<ReportData()> source);
    void setPlaceSource(std::function<QString()> source);
    ReportData currentData() const;

    // "Печать" of the browser: progress on, prepare, print page 1 once on the
    // process's printer (or into a PDF in "reports" when no printer is
    // there, telling the operator where), progress off. True when the report
    // was printed or saved; every failure is told to the operator.
    bool Print(QWidget *parent);
    // Saves the prepared report for the current data as a PDF; true on success.
    bool savePdf(const QString &path, QWidget *parent);

    ReportDocument &Report() { return m_report; }
    QPrintPreviewWidget *ReportPreview = nullptr;
    // The printer reports are printed on; the options dialog sets it up.
    QPrinter *printer() const { return m_printer.get(); }
    ReportProgressWindow &progressWindow() { return m_progress; }

    // The system's printers (QPrinterInfo by default; tests replace it).
    void setInstalledPrinters(std::function<QStringList()> list);

private:
    void loadAndShow(const QString &templatePath);
    void showPrepared();
    void paintPreview(QPrinter *printer);

    ReportDocument m_report;
    ReportProgressWindow m_progress;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPrinter> m_previewPrinter;
    std::function<ReportData()> m_dataSource;
    std::function<QString()> m_placeSource;
    std::function<QStringList()> m_installedPrinters;
    QString m_templatePath;
};

#include "report/ui/ReportPage.h"

#include "common/ProgramFolder.h"
#include "common/ZelmorError.h"
#include "report/ReportPrintJob.h"
#include "widgets/MessageBoxes.h"

#include <QLayout>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QVBoxLayout>

ReportPage::ReportPage(QObject *parent)
    : QObject(parent)
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
    , m_previewPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution))
    , m_installedPrinters([] { return QPrinterInfo::availablePrinterNames(); })
{
    setObjectName(QStringLiteral("Report"));
    m_report.setProgress(&m_progress);
    m_previewPrinter->setFullPage(true);
    m_previewPrinter->setPageSize(QPageSize(QPageSize::A4));
}

ReportPage::~ReportPage() = default;

void ReportPage::setUp(QWidget *area, const QString &templatePath)
{
    if (!ReportPreview) {
        QLayout *layout = area->layout();
        if (!layout) {
            layout = new QVBoxLayout(area);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        while (QLayoutItem *item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        ReportPreview = new QPrintPreviewWidget(m_previewPrinter.get(), area);
        ReportPreview->setObjectName(QStringLiteral("ReportPreview"));
        layout->addWidget(ReportPreview);
        connect(
            ReportPreview, &QPrintPreviewWidget::paintRequested, this, &ReportPage::paintPreview);
    }
    loadAndShow(templatePath);
}

void ReportPage::Button2Click()
{
    try {
        loadAndShow(m_templatePath);
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(ReportPreview ? ReportPreview->window() : nullptr, e.message());
    }
}

void ReportPage::loadAndShow(const QString &templatePath)
{
    m_templatePath = templatePath;
    if (ReportPreview) {
        ReportPreview->setZoomMode(QPrintPreviewWidget::CustomZoom);
        ReportPreview->setZoomFactor(PreviewZoomPercent / 100.0);
    }
    m_report.LoadFromFile(templatePath);
    m_report.setShowProgress(false);
    m_report.setData(currentData());
    if (m_report.PrepareReport())
        showPrepared();
    if (ReportPreview)
        ReportPreview->setZoomFactor(PreviewZoomPercent / 100.0);
}

void ReportPage::showPrepared()
{
    if (ReportPreview)
        ReportPreview->updatePreview();
}

void ReportPage::paintPreview(QPrinter *printer)
{
    if (!m_report.isPrepared())
        return;
    // Nothing may escape into the preview's signal.
    try {
        m_report.renderPages(*printer, ReportDocument::pagesOf(QString(), m_report.pageCount()));
    } catch (const ZelmorError &) { }
}

void ReportPage::setDataSource(std::function<ReportData()> source)
{
    m_dataSource = std::move(source);
}

void ReportPage::setPlaceSource(std::function<QString()> source)
{
    m_placeSource = std::move(source);
}

void ReportPage::setInstalledPrinters(std::function<QStringList()> list)
{
    m_installedPrinters = std::move(list);
}

ReportData ReportPage::currentData() const
{
    ReportData data = m_dataSource ? m_dataSource() : ReportData();
    if (m_placeSource)
        data.edReportPlace = m_placeSource();
    return data;
}

bool ReportPage::Print(QWidget *parent)
{
    if (!m_report.hasTemplate()) {
        MessageBoxes::warning(parent,
            QStringLiteral("Шаблон отчёта не загружен, печать невозможна.\n%1")
                .arg(m_report.templatePath()));
        return false;
    }
    m_progress.setParentWidget(parent);
    m_report.setShowProgress(true);
    m_report.setData(currentData());
    m_report.PrepareReport();
    const PrintOutcome outcome = ReportPrintJob::print(m_report, *m_printer,
        QLatin1String(PrintedPages), PrintedCopies, m_installedPrinters(), programFolder());
    m_report.setShowProgress(false);
    showPrepared();

    switch (outcome.kind) {
    case PrintOutcome::Kind::Printed:
        return true;
    case PrintOutcome::Kind::SavedAsPdf:
        MessageBoxes::information(parent,
            QStringLiteral("Принтер не найден. Отчёт сохранён в файл:\n%1").arg(outcome.path));
        return true;
    case PrintOutcome::Kind::Failed:
        break;
    }
    MessageBoxes::warning(parent, QStringLiteral("Отчёт не напечатан: %1").arg(outcome.error));
    return false;
}

bool ReportPage::savePdf(const QString &path, QWidget *parent)
{
    if (!m_report.hasTemplate()) {
        MessageBoxes::warning(
            parent, QStringLiteral("Шаблон отчёта не загружен.\n%1").arg(m_report.templatePath()));
        return false;
    }
    try {
        m_report.setData(currentData());
        m_report.PrepareReport();
        m_report.exportPdf(path, QLatin1String(PrintedPages));
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(parent, QStringLiteral("Отчёт не сохранён: %1").arg(e.message()));
        return false;
    }
    showPrepared();
    return true;
}

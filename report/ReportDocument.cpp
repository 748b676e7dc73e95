#include "report/ReportDocument.h"

#include "common/ZelmorError.h"
#include "report/ReportProgress.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextDocument>

namespace {

constexpr double MmPerInch = 25.4;
constexpr int BaseFontPoints = 10;

double layoutPixels(double mm)
{
    return mm * ReportDocument::LayoutDpi / MmPerInch;
}

QPageLayout a4Layout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
        QPageLayout::Millimeter);
}

} // namespace

ReportDocument::ReportDocument()
    : m_layoutDevice(1, 1, QImage::Format_ARGB32_Premultiplied)
{
    const int dotsPerMeter = qRound(LayoutDpi / MmPerInch * 1000);
    m_layoutDevice.setDotsPerMeterX(dotsPerMeter);
    m_layoutDevice.setDotsPerMeterY(dotsPerMeter);
}

ReportDocument::~ReportDocument() = default;

void ReportDocument::LoadFromFile(const QString &path)
{
    const QString file = path.isEmpty() ? QString::fromLatin1(DefaultTemplatePath) : path;
    m_templatePath = QDir::current().absoluteFilePath(file);
    m_template = ReportTemplate::load(m_templatePath);
    m_prepared = false;
}

void ReportDocument::setTemplate(const ReportTemplate &reportTemplate)
{
    m_template = reportTemplate;
    m_templatePath = reportTemplate.path();
    m_prepared = false;
}

QSizeF ReportDocument::contentSize()
{
    return QSizeF(layoutPixels(PageWidthMm - MarginLeftMm - MarginRightMm),
        layoutPixels(PageHeightMm - MarginTopMm - MarginBottomMm));
}

bool ReportDocument::PrepareReport()
{
    if (!m_template)
        return false;
    beginProgress(QStringLiteral("Подготовка отчёта"), 1);
    m_html = m_template->fill(m_data);
    auto document = std::make_unique<QTextDocument>();
    document->documentLayout()->setPaintDevice(&m_layoutDevice);
    document->setDocumentMargin(0);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(BaseFontPoints);
    document->setDefaultFont(font);
    document->setPageSize(contentSize());
    document->setHtml(m_html);
    document->pageCount(); // lays the pages out now, not at the first paint
    m_document = std::move(document);
    m_prepared = true;
    advanceProgress(1);
    endProgress();
    return true;
}

int ReportDocument::pageCount() const
{
    return m_prepared ? m_document->pageCount() : 0;
}

void ReportDocument::paintPage(QPainter &painter, int page, qreal dpiX, qreal dpiY) const
{
    if (!m_prepared || page < 0 || page >= pageCount())
        return;
    const QSizeF content = contentSize();
    painter.save();
    painter.scale(dpiX / LayoutDpi, dpiY / LayoutDpi);
    painter.translate(layoutPixels(MarginLeftMm), layoutPixels(MarginTopMm));
    painter.setClipRect(QRectF(QPointF(0, 0), content));
    painter.translate(0, -page * content.height());
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(QPointF(0, page * content.height()), content);
    context.palette.setColor(QPalette::Text, Qt::black);
    m_document->documentLayout()->draw(&painter, context);
    painter.restore();
}

void ReportDocument::renderPages(
    QPagedPaintDevice &device, const QList<int> &pages, int copies) const
{
    if (!m_prepared)
        throw ZelmorError(QStringLiteral("Отчёт не подготовлен."));
    // Full page first: a printer's own minimum margins must not refuse the
    // sheet layout; the report keeps its own margins.
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        printer->setFullPage(true);
    device.setPageLayout(a4Layout());
    QPainter painter;
    if (!painter.begin(&device))
        throw ZelmorError(QStringLiteral("Не удалось начать печать отчёта."));
    const int total = int(pages.size()) * qMax(1, copies);
    beginProgress(QStringLiteral("Печать отчёта"), total);
    int done = 0;
    for (int copy = 0; copy < qMax(1, copies); ++copy) {
        for (int page : pages) {
            if (done > 0)
                device.newPage();
            paintPage(painter, page, device.logicalDpiX(), device.logicalDpiY());
            advanceProgress(++done);
        }
    }
    painter.end();
    endProgress();
}

QImage ReportDocument::renderImage(int page, int dpi) const
{
    const QSize size(qRound(PageWidthMm / MmPerInch * dpi), qRound(PageHeightMm / MmPerInch * dpi));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMeter = qRound(dpi / MmPerInch * 1000);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintPage(painter, page, dpi, dpi);
    return image;
}

void ReportDocument::PrintPreparedReport(
    QPrinter &printer, const QString &pageRange, int copies) const
{
    const QList<int> pages = pagesOf(pageRange, pageCount());
    if (pages.isEmpty())
        throw ZelmorError(QStringLiteral("В отчёте нет страниц для печати."));
    // A printer that makes copies itself gets one set and the count; others
    // (a PDF file) get every copy drawn.
    if (printer.supportsMultipleCopies()) {
        printer.setCopyCount(qMax(1, copies));
        renderPages(printer, pages, 1);
    } else {
        renderPages(printer, pages, copies);
    }
}

void ReportDocument::exportPdf(const QString &path, const QString &pageRange) const
{
    const QList<int> pages = pagesOf(pageRange, pageCount());
    if (pages.isEmpty())
        throw ZelmorError(QStringLiteral("В отчёте нет страниц."));
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw IoError(QStringLiteral("Unable to write to %1").arg(path));
    {
        QPdfWriter writer(path);
        writer.setResolution(LayoutDpi);
        writer.setTitle(QStringLiteral("Протокол проверки"));
        writer.setCreator(QStringLiteral("Zelmor"));
        renderPages(writer, pages, 1);
    }
    if (QFileInfo(path).size() <= 0)
        throw IoError(QStringLiteral("Unable to write to %1").arg(path));
}

QList<int> ReportDocument::pagesOf(const QString &pageRange, int pageCount)
{
    QList<int> pages;
    auto add = [&](int number) {
        if (number >= 1 && number <= pageCount && !pages.contains(number - 1))
            pages << number - 1;
    };
    if (pageRange.trimmed().isEmpty()) {
        for (int n = 1; n <= pageCount; ++n)
            add(n);
        return pages;
    }
    for (const QString &part : pageRange.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool okFirst = false, okLast = false;
        const int first = ends.value(0).trimmed().toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.value(1).trimmed().toInt(&okLast) : first;
        if (!okFirst || (ends.size() == 2 && !okLast) || ends.size() > 2)
            continue;
        for (int n = first; n <= qMin(last, pageCount); ++n)
            add(n);
    }
    return pages;
}

void ReportDocument::beginProgress(const QString &caption, int steps) const
{
    if (m_showProgress && m_progress)
        m_progress->begin(caption, steps);
}

void ReportDocument::advanceProgress(int done) const
{
    if (m_showProgress && m_progress)
        m_progress->advance(done);
}

void ReportDocument::endProgress() const
{
    if (m_showProgress && m_progress)
        m_progress->end();
}

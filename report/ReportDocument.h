#pragma once

#include "report/ReportData.h"
#include "report/ReportTemplate.h"

#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QTextDocument;
class ReportProgress;

// The report object: holds the loaded template and, once prepared, the pages
// of the report for the data of that moment. Pages are A4 portrait, laid out
// in millimetres; one painting path draws a page on a printer, into a PDF and
// into an image. Owned by the report page of the main window for the run.
class ReportDocument
{
public:
    // Relative to the working directory: the launcher starts the program in
    // its own folder, and a service engineer may try a template of their own
    // by starting it elsewhere.
    static constexpr const char *DefaultTemplatePath = "conf/report.frf";
    static constexpr double PageWidthMm = 210;
    static constexpr double PageHeightMm = 297;
    static constexpr double MarginLeftMm = 18;
    static constexpr double MarginRightMm = 12;
    static constexpr double MarginTopMm = 12;
    static constexpr double MarginBottomMm = 12;
    // Pages are laid out at this resolution whatever they are drawn on, so a
    // page breaks its lines the same on screen, on paper and in a PDF.
    static constexpr int LayoutDpi = 300;

    ReportDocument();
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    // Replaces the template with the file's (DefaultTemplatePath below the
    // working directory when empty). Throws IoError or ZelmorError; the
    // template loaded before stays when the new one is refused.
    void LoadFromFile(const QString &path = QString());
    void setTemplate(const ReportTemplate &reportTemplate);
    bool hasTemplate() const { return m_template.has_value(); }
    // The file the last load tried (absolute).
    QString templatePath() const { return m_templatePath; }

    void setData(const ReportData &data) { m_data = data; }
    const ReportData &data() const { return m_data; }

    // The progress display: shown while preparing and printing when on.
    void setShowProgress(bool on) { m_showProgress = on; }
    bool showProgress() const { return m_showProgress; }
    void setProgress(ReportProgress *progress) { m_progress = progress; }

    // Builds the pages from the template and the data; false without a template.
    bool PrepareReport();
    bool isPrepared() const { return m_prepared; }
    int pageCount() const;

    // Draws one page (0-based) of the prepared report with the painter's
    // origin at the paper's top left corner, on a device of this resolution.
    void paintPage(QPainter &painter, int page, qreal dpiX, qreal dpiY) const;
    // Pages (0-based) on a printer or PDF writer, each copy in turn. Throws
    // ZelmorError when the device cannot be painted on.
    void renderPages(QPagedPaintDevice &device, const QList<int> &pages, int copies = 1) const;
    // One page as an image of the whole sheet, white background.
    QImage renderImage(int page, int dpi = 96) const;

    // Prints the prepared pages of pageRange ("1", "1-2", "1,3"; empty: all)
    // on the printer, without a dialog. Throws ZelmorError on failure.
    void PrintPreparedReport(QPrinter &printer, const QString &pageRange, int copies) const;
    // Writes the prepared pages of pageRange into a PDF file. Throws on failure.
    void exportPdf(const QString &path, const QString &pageRange = QString()) const;

    // 0-based pages of a range text, within pageCount; invalid parts are skipped.
    static QList<int> pagesOf(const QString &pageRange, int pageCount);
    // Size of the text area of a page, in layout pixels.
    static QSizeF contentSize();

private:
    void beginProgress(const QString &caption, int steps) const;
    void advanceProgress(int done) const;
    void endProgress() const;

    std::optional<ReportTemplate> m_template;
    QString m_templatePath;
    ReportData m_data;
    std::unique_ptr<QTextDocument> m_document;
    QImage m_layoutDevice;
    QString m_html;
    bool m_prepared = false;
    bool m_showProgress = false;
    ReportProgress *m_progress = nullptr;
};

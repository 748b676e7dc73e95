#include "database/ui/TFormReports.h"

#include "common/AppLog.h"
#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChain.h"
#include "database/ReportCsv.h"
#include "database/ZelmorDatabase.h"
#include "report/ui/ReportPage.h"
#include "widgets/MessageBoxes.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <thread>

// The browser's commands that take something out of it: the shown report
// printed or saved as PDF, the listed reports exported, every stored result
// checked.

void TFormReports::setReport(ReportPage *report)
{
    m_report = report;
    if (m_report)
        m_report->setDataSource([this] { return reportData(); });
}

void TFormReports::setReportPrinted(std::function<void()> printed)
{
    m_reportPrinted = std::move(printed);
}

void TFormReports::setSaveFileDialog(std::function<QString(QWidget *, const QString &)> dialog)
{
    m_saveFileDialog = std::move(dialog);
}

bool TFormReports::requireShownReport()
{
    if (!m_report) {
        MessageBoxes::warning(this, QStringLiteral("Печать отчёта недоступна."));
        return false;
    }
    if (m_shown.isEmpty()) {
        MessageBoxes::warning(this, QStringLiteral("Не выбран отчёт для печати."));
        return false;
    }
    return true;
}

void TFormReports::Button1Click()
{
    // The report printed is the one shown at the moment of the press.
    if (!requireShownReport())
        return;
    if (!m_report->Print(this))
        return;
    if (m_reportPrinted)
        m_reportPrinted();
    WriteLog(QStringLiteral("print report"));
}

void TFormReports::btnPdfClick()
{
    if (!requireShownReport())
        return;
    QString number;
    for (const QChar c : m_shown.result.value(QStringLiteral("GovNumber")).toString())
        if (c.isLetterOrNumber())
            number += c;
    const QString suggested = QDir::home().absoluteFilePath(
        QStringLiteral("Протокол_%1_%2.pdf").arg(m_shown.index()).arg(number));
    const QString path = m_saveFileDialog
        ? m_saveFileDialog(this, suggested)
        : QFileDialog::getSaveFileName(
            this, QStringLiteral("Сохранить отчёт"), suggested, QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    m_report->savePdf(path, this);
}

void TFormReports::setExportFileDialog(std::function<QString(QWidget *, const QString &)> dialog)
{
    m_exportFileDialog = std::move(dialog);
}

void TFormReports::setCodeAsker(std::function<QString(QWidget *, int)> asker)
{
    m_codeAsker = std::move(asker);
}

void TFormReports::btnCheckCodeClick()
{
    const int index = selectedReportIndex();
    if (index <= 0) {
        MessageBoxes::information(
            this, QStringLiteral("Выберите отчёт, код которого нужно сверить."));
        return;
    }
    const QString code = m_codeAsker
        ? m_codeAsker(this, index)
        : QInputDialog::getText(this, QStringLiteral("Контрольный код"),
            QStringLiteral("Контрольный код с протокола № %1:").arg(index));
    if (code.trimmed().isEmpty())
        return;
    try {
        const QSqlDatabase db = m_db->connection();
        DatabaseEngine::requireConnected(db);
        const ReportChain::CodeCheck c
            = ReportChain::checkCode(db, index, code, m_db->chainContext());
        WriteLog(QStringLiteral("control code of report %1 checked: %2")
                     .arg(index)
                     .arg(c.outcome == ReportChain::CodeCheck::Match ? QStringLiteral("match")
                                                                     : QStringLiteral("no match")));
        if (c.outcome == ReportChain::CodeCheck::Match)
            MessageBoxes::information(this, c.text);
        else
            MessageBoxes::warning(this, c.text);
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(this, QStringLiteral("Проверка невозможна: ") + e.message());
    }
}

QString TFormReports::exportFileName(const QDate &day)
{
    return QStringLiteral("отчеты_%1.csv").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

void TFormReports::btnExportClick()
{
    const QString suggested = QDir::home().absoluteFilePath(exportFileName(QDate::currentDate()));
    const QString path = m_exportFileDialog
        ? m_exportFileDialog(this, suggested)
        : QFileDialog::getSaveFileName(
            this, QStringLiteral("Экспорт отчётов"), suggested, QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    try {
        const QSqlDatabase db = m_db->connection();
        DatabaseEngine::requireConnected(db);
        // The rows the list shows now: the filter as its controls stand.
        ReportFilter filter = currentFilter();
        filter.resolveModel(db);
        const int rows = ReportCsv::exportFilter(db, filter, path);
        WriteLog(QStringLiteral("reports exported: %1 rows to %2").arg(rows).arg(path));
        MessageBoxes::information(this,
            QStringLiteral("Записано отчётов: %1.\nФайл: %2")
                .arg(rows)
                .arg(QDir::toNativeSeparators(path)));
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(this, QStringLiteral("Отчёты не записаны: ") + e.message());
    }
}

namespace {

// Runs the check on a thread of its own, on its own connection, while a
// progress window that can cancel it keeps the browser answering.
ReportChain::VerifyResult verifyWithProgress(
    QWidget *parent, const ReportChain::Source &source, const ReportChain::Context &ctx)
{
    ReportChain::Progress progress;
    ReportChain::VerifyResult result;
    std::atomic<bool> finished { false };
    std::thread worker([&] {
        result = ReportChain::verify(source, ctx, &progress);
        finished = true;
    });
    QProgressDialog dialog(QStringLiteral("Проверка сохранённых результатов..."),
        QStringLiteral("Отмена"), 0, 1000, parent);
    dialog.setObjectName(QStringLiteral("VerifyProgress"));
    dialog.setWindowTitle(QStringLiteral("Проверка"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(400);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished) {
            loop.quit();
            return;
        }
        const qint64 total = progress.total;
        dialog.setValue(total > 0 ? int(std::min<qint64>(999, progress.done * 1000 / total)) : 0);
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
        progress.cancel = true;
        dialog.setLabelText(QStringLiteral("Проверка прерывается..."));
    });
    poll.start();
    loop.exec();
    worker.join();
    return result;
}

} // namespace

void TFormReports::btnVerifyClick()
{
    try {
        const QSqlDatabase db = m_db->connection();
        DatabaseEngine::requireConnected(db);
        const ReportChain::VerifyResult result
            = verifyWithProgress(this, ReportChain::Source::of(db), m_db->chainContext());
        if (result.cancelled) {
            WriteLog(QStringLiteral("report chains check cancelled"));
            MessageBoxes::information(this, QStringLiteral("Проверка прервана."));
        } else if (result.faults.isEmpty() && !result.cannotCheck.isEmpty()) {
            // A chain found damaged, or one signed with a key this station lacks.
            WriteLog(QStringLiteral("report chains not checked: %1").arg(result.cannotCheck));
            MessageBoxes::warning(
                this, QStringLiteral("Проверка невозможна: ") + result.cannotCheck);
        } else if (result.intact()) {
            WriteLog(QStringLiteral("report chains intact: %1 rows, %2 chains")
                         .arg(result.rows)
                         .arg(result.chains));
            QString text = QStringLiteral("Записи не изменялись: %1 записей, %2 приборов.")
                               .arg(result.rows)
                               .arg(result.chains);
            for (const QString &note : result.notes)
                text += QLatin1Char('\n') + note;
            MessageBoxes::information(this, text);
        } else {
            QString text = result.faults.first().text() + QLatin1Char('.');
            if (result.faults.size() > 1)
                text += QStringLiteral("\nНарушений: %1.").arg(result.faults.size());
            WriteLog(QStringLiteral("report chains broken: %1").arg(result.faults.first().text()));
            MessageBoxes::warning(this, text);
        }
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(this, QStringLiteral("Проверка невозможна: ") + e.message());
    }
}

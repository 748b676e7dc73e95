#pragma once

#include "database/ReportFilter.h"
#include "database/ShownReport.h"
#include "report/ReportData.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class ReportListModel;
class ReportPage;
class ZelmorDatabase;

// Browser of the stored reports: filter, result list, the selected report
// beside its model's limits, delete, print, export of the listed reports and
// the check that no stored result was changed behind the program's back.
class TFormReports : public QDialog
{
    Q_OBJECT

public:
    explicit TFormReports(ZelmorDatabase *database, QWidget *parent = nullptr);

    // Runs the filter and shows the window modally, standing on the report
    // with this Index when the list holds it (the one just stored), else on
    // the newest listed report. Returns when the window closes.
    int showReports(int reportIndex = 0);
    // The same without the modal loop (tests, screenshots).
    void prepareShow(int reportIndex = 0);

    // For the printed report: the shown report (all fields of "reports.db")
    // and its model (all fields of "models.DB"); empty when nothing is shown.
    QVariantMap qrResult() const { return m_shown.result; }
    QVariantMap qrModel() const { return m_shown.model; }

    // The shown report and its model as the printed report reads them.
    ReportData reportData() const;

    // The report that "Печать" and "PDF..." print; the browser becomes its
    // data source. Without it both buttons say that printing is unavailable.
    void setReport(ReportPage *report);
    // Run after each print (the main window's test state goes Blank).
    void setReportPrinted(std::function<void()> printed);
    // Asks where to save the PDF (a file dialog by default; tests replace it).
    // Returns the chosen path, empty when the operator cancels.
    void setSaveFileDialog(std::function<QString(QWidget *, const QString &)> dialog);

    // Asks where to write the exported list (a file dialog by default; tests
    // replace it). Returns the chosen path, empty when the operator cancels.
    void setExportFileDialog(std::function<QString(QWidget *, const QString &)> dialog);
    // Asks for the control code printed on the paper protocol with this
    // number (an input box by default; tests replace it). Empty: cancelled.
    void setCodeAsker(std::function<QString(QWidget *, int)> asker);

    void Button1Click();
    void btnPdfClick();
    // Writes the reports the list shows to a CSV file.
    void btnExportClick();
    // Walks every instrument's chain of results and says whether any was changed.
    void btnVerifyClick();
    // Says whether the shown report still matches the control code typed
    // from its paper protocol.
    void btnCheckCodeClick();
    // Why the list is empty when the search failed (the database cannot be
    // reached); empty otherwise.
    QString emptyReason() const;
    // Proposed export file name for this day: "отчеты_<yyyy-MM-dd>.csv".
    static QString exportFileName(const QDate &day);

    void RunFilter();
    void ShowSelectedReport();
    int selectedReportIndex() const; // Index of the shown report, 0 when none
    ReportListModel *listModel() const { return m_list; }

    QCheckBox *cboxFilterDate = nullptr;
    QCheckBox *cboxFilterModel = nullptr;
    QCheckBox *cboxFilterGosNum = nullptr;
    QDateEdit *FilterDate = nullptr;
    QComboBox *FilterModel = nullptr;
    QLineEdit *FilterGosNum = nullptr;
    QTableView *FilterResult = nullptr;
    QLabel *labModel = nullptr;
    QLabel *labGosNum = nullptr;
    QLabel *labDate = nullptr;
    QLineEdit *limitEdits[2][8] = {}; // "Допуск:" of the minimum and raised speed blocks
    QLineEdit *measuredEdits[2][8] = {}; // "Измерено:"; column 1 stays empty
    QLabel *labStepStatus[2] = {}; // "частота вращения вне допуска" under a step
    QLabel *labConclusion = nullptr; // the conclusion, as the protocol gives it
    QLabel *labLimitsSource = nullptr; // shown when the limits are the table's current ones
    QLabel *labVerificationExpired = nullptr; // "Срок поверки прибора истёк"
    QLabel *labControlCode = nullptr; // "Контрольный код: …" of the shown report
    QLabel *labObdDiagnosis = nullptr; // "Бортовая диагностика: …" and the speeds' source
    QPushButton *btnDelete = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *btnPdf = nullptr;
    QPushButton *btnClose = nullptr;
    QPushButton *btnExport = nullptr;
    QPushButton *btnVerify = nullptr;
    QPushButton *btnCheckCode = nullptr;
    QLabel *labEmptyReason = nullptr;

signals:
    void reportDeleted(int index);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void filterBoxClick(QCheckBox *box, QWidget *control);
    void FilterModelCloseUp(int row);
    void FilterResultCellClick();
    void btnDeleteClick();
    void clearShownReport();
    void standOnRow(int row);
    // The window and its controls (TFormReportsLayout.cpp).
    void buildLayout();
    void buildBlock(QWidget *group, int top, const QString &caption, int block);
    void bindModels();
    void colourMeasured();
    void showJudgement();
    void buildJudgementLabels(QWidget *group);
    bool requireShownReport();
    ReportFilter currentFilter() const;

    ZelmorDatabase *m_db;
    ReportListModel *m_list;
    ShownReport m_shown;
    QString m_chosenModelName;
    ReportPage *m_report = nullptr;
    std::function<void()> m_reportPrinted;
    std::function<QString(QWidget *, const QString &)> m_saveFileDialog;
    std::function<QString(QWidget *, const QString &)> m_exportFileDialog;
    std::function<QString(QWidget *, int)> m_codeAsker;
};

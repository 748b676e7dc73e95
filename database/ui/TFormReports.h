#pragma once

#include <QDialog>
#include <QSqlRecord>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class ReportListModel;
class ZelmorDatabase;

// Browser of the stored reports: filter, result list, the selected report
// beside its model's limits, delete and print.
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
    QSqlRecord qrResult() const { return m_result; }
    QSqlRecord qrModel() const { return m_model; }

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
    QPushButton *btnDelete = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *btnClose = nullptr;

signals:
    void printRequested(); // "Печать": print the shown report
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
    void buildLayout();
    void buildBlock(QWidget *group, int top, const QString &caption, int block);
    void bindModels();

    ZelmorDatabase *m_db;
    ReportListModel *m_list;
    QSqlRecord m_result;
    QSqlRecord m_model;
    int m_shownIndex = 0;
    QString m_chosenModelName;
};

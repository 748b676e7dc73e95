#pragma once

#include "database/ReportFilter.h"

#include <QDialog>
#include <QSqlRecord>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class ZelmorDatabase;

// Browser of the stored reports: filter, list, the selected report beside its
// model's limits, delete and print.
class TFormReports : public QDialog
{
    Q_OBJECT

public:
    explicit TFormReports(ZelmorDatabase *database, QWidget *parent = nullptr);

    // Runs the filter and opens modally; stands on the report with this Index
    // when the list holds it (the one just stored), else on the newest row.
    int showReports(int reportIndex = 0);

    // For the printed report: the shown report and its model (empty records
    // when nothing is shown).
    QSqlRecord qrResult() const { return m_result; }
    QSqlRecord qrModel() const { return m_model; }

    void RunFilter();
    void ShowSelectedReport();
    int selectedReportIndex() const; // Index of the list's current row, 0 when empty

    QCheckBox *cboxFilterDate = nullptr, *cboxFilterModel = nullptr, *cboxFilterGosNum = nullptr;
    QDateEdit *FilterDate = nullptr;
    QComboBox *FilterModel = nullptr;
    QLineEdit *FilterGosNum = nullptr;
    QTableView *FilterResult = nullptr;
    QLabel *labModel = nullptr, *labGosNum = nullptr, *labDate = nullptr;
    QLineEdit *limitEdits[2][8] = {};    // "Допуск:" per block (min, raised)
    QLineEdit *measuredEdits[2][8] = {}; // "Измерено:" per block
    QPushButton *btnDelete = nullptr, *Button1 = nullptr, *btnClose = nullptr;

signals:
    void printRequested(); // Button1 "Печать"
    void reportDeleted(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow(int reportIndex);
    void cboxFilterClick();
    void FilterModelCloseUp();
    void FilterResultCellClick();
    void btnDeleteClick();
    void showEmpty();
    void buildLayout();
    QWidget *buildBlock(QWidget *parent, int top, const QString &caption, int block);

    ZelmorDatabase *m_db;
    QStandardItemModel *m_list;
    QSqlRecord m_result;
    QSqlRecord m_model;
    QString m_chosenModelName;
};

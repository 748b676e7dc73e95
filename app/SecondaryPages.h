#pragma once

#include <QObject>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QWidget;
class TableCursor;
class ZelmorDatabase;

// The pages of the main window besides the measuring page: the tables
// ("test1"), an empty page ("test2"), the service page ("sys"), the report
// preview ("report"), the research page ("Disco") and the measurement-file
// table ("TabSheet3"). They are reached with Ctrl+Tab only; the research page
// and the service panel grow their controls in their own classes.
class SecondaryPages : public QObject
{
    Q_OBJECT

public:
    static constexpr int DiagnoseIndex = 4;
    static constexpr int DiscoveryIndex = 5;

    // Adds all seven pages to `tabs` in their order; `diagnose` becomes page 4.
    SecondaryPages(QTabWidget *tabs, QWidget *diagnose);

    // Binds the table grids once the database is open.
    void bindTables(ZelmorDatabase &database);
    // Header row of the measurement-file table.
    void writeDataHeader();

    QWidget *tabSelectCar = nullptr;
    QTableView *DBGrid4 = nullptr;
    QTableView *DBGrid1 = nullptr;
    QWidget *DBNavigator2 = nullptr;
    QWidget *DBNavigator1 = nullptr;
    QTableWidget *DBGrid2 = nullptr;

    QWidget *TabSheet2 = nullptr;

    QWidget *sys = nullptr;
    QWidget *SendCommandArea = nullptr; // the service command panel goes here
    QWidget *ConnectModuleArea = nullptr; // holds the connection frame

    QWidget *TabSheet1 = nullptr;
    QWidget *ReportPreviewArea = nullptr;
    QLineEdit *edForFocus = nullptr;
    QPushButton *Button2 = nullptr;

    QWidget *tabDiscovery = nullptr;
    QLabel *labDStatus = nullptr;

    QWidget *TabSheet3 = nullptr;
    QTableWidget *grData = nullptr;

private:
    void buildTablesPage();
    void buildServicePage();
    void buildReportPage();
    void buildDiscoveryPage();
    void buildDataPage();
    QWidget *makeNavigator(QWidget *parent, const char *name, TableCursor **cursor);

    QTabWidget *m_tabs;
    TableCursor *m_models = nullptr;
    TableCursor *m_reports = nullptr;
};

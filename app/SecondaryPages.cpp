#include "app/SecondaryPages.h"

#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"
#include "device/ui/TFrConnect.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSqlTableModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int DataColumns = 6;
constexpr int DataRows = 2;
constexpr int GridRows = 5;
constexpr int GasCount = 5;

QWidget *makePage(const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    return page;
}

QLabel *placeholder(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: gray; border: 1px dashed gray;"));
    return label;
}

} // namespace

SecondaryPages::SecondaryPages(QTabWidget *tabs, QWidget *diagnose)
    : QObject(tabs)
    , m_tabs(tabs)
{
    buildTablesPage();
    TabSheet2 = makePage("TabSheet2");
    buildServicePage();
    buildReportPage();
    buildDiscoveryPage();
    buildDataPage();

    tabs->addTab(tabSelectCar, QStringLiteral("test1"));
    tabs->addTab(TabSheet2, QStringLiteral("test2"));
    tabs->addTab(sys, QStringLiteral("sys"));
    tabs->addTab(TabSheet1, QStringLiteral("report"));
    tabs->addTab(diagnose, QStringLiteral("Diag"));
    tabs->addTab(tabDiscovery, QStringLiteral("Disco"));
    tabs->addTab(TabSheet3, QStringLiteral("TabSheet3"));

    // Ctrl+Tab and Ctrl+Shift+Tab switch pages from any control of the
    // window; without window-wide keys a grid that moves its cursor with Tab
    // would keep the operator on its page.
    const auto step = [tabs](int by) {
        const int count = tabs->count();
        if (count > 0)
            tabs->setCurrentIndex((tabs->currentIndex() + by + count) % count);
    };
    auto *next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), tabs);
    next->setContext(Qt::WindowShortcut);
    connect(next, &QShortcut::activated, tabs, [step] { step(1); });
    auto *previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), tabs);
    previous->setContext(Qt::WindowShortcut);
    connect(previous, &QShortcut::activated, tabs, [step] { step(-1); });
}

void SecondaryPages::buildTablesPage()
{
    tabSelectCar = makePage("tabSelectCar");
    auto *layout = new QVBoxLayout(tabSelectCar);
    DBGrid4 = new QTableView(tabSelectCar);
    DBGrid4->setObjectName(QStringLiteral("DBGrid4"));
    DBNavigator2 = makeNavigator(tabSelectCar, "DBNavigator2", &m_models);
    DBGrid1 = new QTableView(tabSelectCar);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBNavigator1 = makeNavigator(tabSelectCar, "DBNavigator1", &m_reports);
    DBGrid2 = new QTableWidget(GridRows, GridRows, tabSelectCar);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    layout->addWidget(DBGrid4, 2);
    layout->addWidget(DBNavigator2);
    layout->addWidget(DBGrid1, 2);
    layout->addWidget(DBNavigator1);
    layout->addWidget(DBGrid2, 1);
}

QWidget *SecondaryPages::makeNavigator(QWidget *parent, const char *name, TableCursor **cursor)
{
    auto *bar = new QWidget(parent);
    bar->setObjectName(QString::fromLatin1(name));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    struct Move
    {
        const char *text;
        int step; // 0 first, -1 prior, +1 next, 2 last
    };
    for (Move move : { Move { "|<", 0 }, Move { "<", -1 }, Move { ">", 1 }, Move { ">|", 2 } }) {
        auto *button = new QPushButton(QString::fromLatin1(move.text), bar);
        button->setFixedWidth(36);
        row->addWidget(button);
        connect(button, &QPushButton::clicked, this, [cursor, move] {
            TableCursor *table = *cursor;
            if (!table || !table->isOpen())
                return;
            if (move.step == 0)
                table->first();
            else if (move.step == 2)
                table->last();
            else
                table->setCurrentRow(
                    std::clamp(table->currentRow() + move.step, 0, table->rowCount() - 1));
        });
    }
    row->addStretch();
    return bar;
}

void SecondaryPages::bindTables(ZelmorDatabase &database)
{
    m_models = database.tbModels();
    m_reports = database.tbReports();
    struct Binding
    {
        QTableView *grid;
        TableCursor *cursor;
    };
    for (Binding b : { Binding { DBGrid4, m_models }, Binding { DBGrid1, m_reports } }) {
        if (!b.cursor || !b.cursor->isOpen())
            continue;
        b.grid->setModel(b.cursor->model());
        b.grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        // The grid and every other user of the table stand on one record.
        connect(b.grid->selectionModel(), &QItemSelectionModel::currentRowChanged, b.cursor,
            [cursor = b.cursor](const QModelIndex &current) {
                if (current.isValid() && current.row() != cursor->currentRow())
                    cursor->setCurrentRow(current.row());
            });
        connect(b.cursor, &TableCursor::currentRowChanged, b.grid, [grid = b.grid](int row) {
            if (row >= 0 && grid->currentIndex().row() != row)
                grid->selectRow(row);
        });
    }
}

void SecondaryPages::buildServicePage()
{
    sys = makePage("sys");
    auto *layout = new QHBoxLayout(sys);
    SendCommandArea = new QWidget(sys);
    SendCommandArea->setObjectName(QStringLiteral("SendCommandArea"));
    auto *serviceLayout = new QVBoxLayout(SendCommandArea);
    serviceLayout->addWidget(placeholder(SendCommandArea, QStringLiteral("Панель команд")));
    ConnectModuleArea = new QWidget(sys);
    ConnectModuleArea->setObjectName(QStringLiteral("ConnectModuleArea"));
    // The link frame keeps its own size; no margins around it, so it stays
    // inside the page's right edge.
    ConnectModuleArea->setFixedWidth(TFrConnect::FrameWidth);
    auto *connectLayout = new QVBoxLayout(ConnectModuleArea);
    connectLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SendCommandArea, 1);
    layout->addWidget(ConnectModuleArea, 0, Qt::AlignTop);
}

void SecondaryPages::buildReportPage()
{
    TabSheet1 = makePage("TabSheet1");
    auto *layout = new QVBoxLayout(TabSheet1);
    auto *row = new QHBoxLayout;
    edForFocus = new QLineEdit(TabSheet1);
    edForFocus->setObjectName(QStringLiteral("edForFocus"));
    Button2 = new QPushButton(QStringLiteral("Button2"), TabSheet1);
    Button2->setObjectName(QStringLiteral("Button2"));
    row->addWidget(edForFocus);
    row->addWidget(Button2);
    row->addStretch();
    ReportPreviewArea = new QWidget(TabSheet1);
    ReportPreviewArea->setObjectName(QStringLiteral("ReportPreviewArea"));
    auto *previewLayout = new QVBoxLayout(ReportPreviewArea);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(placeholder(ReportPreviewArea, QStringLiteral("Просмотр отчёта")));
    layout->addLayout(row);
    layout->addWidget(ReportPreviewArea, 1);
}

void SecondaryPages::buildDiscoveryPage()
{
    tabDiscovery = makePage("tabDiscovery");
    tabDiscovery->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(tabDiscovery);
    layout->addWidget(placeholder(tabDiscovery, QStringLiteral("Показания газов.")), 1);
    auto *status = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("Статус:"), tabDiscovery);
    labDStatus = new QLabel(tabDiscovery);
    labDStatus->setObjectName(QStringLiteral("labDStatus"));
    labDStatus->setTextFormat(Qt::PlainText); // names the port: typed data, never markup
    caption->setBuddy(labDStatus);
    status->addWidget(caption);
    status->addWidget(labDStatus, 1);
    layout->addLayout(status);
}

void SecondaryPages::buildDataPage()
{
    TabSheet3 = makePage("TabSheet3");
    auto *layout = new QVBoxLayout(TabSheet3);
    grData = new QTableWidget(DataRows, DataColumns, TabSheet3);
    grData->setObjectName(QStringLiteral("grData"));
    grData->horizontalHeader()->hide();
    grData->verticalHeader()->hide();
    layout->addWidget(grData);

    // Room for the measurement file's time span, the cursor readings and the
    // display settings of its curves: hidden until the research page shows
    // them, but present under their names for whoever fills them.
    auto hiddenGroup = [this](const QString &caption) {
        auto *group = new QGroupBox(caption, TabSheet3);
        group->hide();
        return group;
    };
    hiddenGroup(QStringLiteral("Время измерения"));
    hiddenGroup(QStringLiteral("Показания курсора"));
    QGroupBox *display = hiddenGroup(QStringLiteral("Настройки отображения"));
    for (int gas = 1; gas <= GasCount; ++gas) {
        const QString n = QString::number(gas);
        (new QCheckBox(display))->setObjectName(QStringLiteral("cb") + n);
        (new QLineEdit(display))->setObjectName(QStringLiteral("emin") + n);
        (new QLineEdit(display))->setObjectName(QStringLiteral("emax") + n);
        (new QFrame(display))->setObjectName(QStringLiteral("p") + n);
    }
}

void SecondaryPages::writeDataHeader()
{
    const QString header[DataColumns] = {
        QStringLiteral("Время, мс"),
        QStringLiteral("CO, %"),
        QStringLiteral("CH, ppm"),
        QStringLiteral("CO2, %"),
        QStringLiteral("O2, %"),
        QStringLiteral("NOx, ppm"),
    };
    for (int column = 0; column < DataColumns; ++column)
        grData->setItem(0, column, new QTableWidgetItem(header[column]));
}

#include "app/TFormMain.h"

#include "app/AppVersion.h"
#include "app/ConnectSequence.h"
#include "app/DiagnosePage.h"
#include "app/EmissionTest.h"
#include "app/MainMenu.h"
#include "app/MessageBoxes.h"
#include "app/SecondaryPages.h"
#include "app/StepButtonLook.h"
#include "app/TFormAboutProg.h"
#include "app/TFormAboutZM.h"
#include "app/ZelmorApplication.h"
#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"
#include "config/Settings.h"
#include "config/ui/TFormDiap.h"
#include "config/ui/TFormOptions.h"
#include "database/ui/TFormModels.h"
#include "database/ui/TFormReports.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"
#include "graphs/GASE_GRAPH.h"
#include "graphs/ui/ConnectGaseGraph.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int CommandGetResult = 4; // ZMX_get_result
constexpr int CommandPressKey = 17; // ZMX_Press_Key
constexpr int KeyCompressor = 1;
constexpr int KeyPropane = 4;
constexpr int ProcedureRunning = 1;

// Gauge windows until a vehicle is chosen: 3000 ± 80 1/min, 55 … 65 °C, 0.9 … 1.1.
constexpr float SpeedWindowLow = 2920, SpeedWindowHigh = 3080;
constexpr float TmWindowLow = 55, TmWindowHigh = 65;
constexpr float LambdaWindowLow = 0.9f, LambdaWindowHigh = 1.1f;

const char *const ManualFile = "zm_manual.doc";
constexpr int ManualMissingCode = 2;
constexpr int ManualNoViewerCode = 31;

} // namespace

TFormMain::TFormMain(QWidget *parent)
    : QMainWindow(parent)
{
    // The test state starts as TestState declares it; times print with ":"
    // until the polling thread sets its own separators.
    FormatSettings::setTimeSeparator(QLatin1Char(':'));
    Opros = std::make_unique<TOpros_ZMX>();
    Opros->setAutoReadAfterZero(true);

    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Zelmor"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(WindowWidth, WindowHeight);

    Menu = new MainMenu(this);

    // The tab strip is kept out of sight: the menu's mode commands and
    // Ctrl+Tab switch pages.
    Tabs = new QTabWidget(this);
    Tabs->setObjectName(QStringLiteral("Tabs"));
    Tabs->setTabPosition(QTabWidget::South);
    Tabs->setDocumentMode(true);
    Tabs->tabBar()->hide();
    tabDiagnose = new DiagnosePage;
    Pages = new SecondaryPages(Tabs, tabDiagnose);
    Tabs->setCurrentIndex(SecondaryPages::DiagnoseIndex);
    setCentralWidget(Tabs);

    ConnectModule = new TFrConnect(Pages->ConnectModuleArea);
    ConnectModule->setObjectName(QStringLiteral("ConnectModule"));
    ConnectModule->setOpros(Opros.get());
    Pages->ConnectModuleArea->layout()->addWidget(ConnectModule);

    EmissionTestControls c;
    c.btnZero = tabDiagnose->btnZero;
    c.btnMinRatio = tabDiagnose->btnMinRatio;
    c.btnMaxRatio = tabDiagnose->btnMaxRatio;
    c.btnReport = tabDiagnose->btnReport;
    c.ShapeZero = tabDiagnose->ShapeZero;
    c.ShapeMinRatio = tabDiagnose->ShapeMinRatio;
    c.ShapeMaxRatio = tabDiagnose->ShapeMaxRatio;
    c.Shape8 = tabDiagnose->Shape8;
    c.OKZero = tabDiagnose->OKZero;
    c.OKMinRatio = tabDiagnose->OKMinRatio;
    c.OKMaxRatio = tabDiagnose->OKMaxRatio;
    c.OKReport = tabDiagnose->OKReport;
    c.MainProgress = tabDiagnose->MainProgress;
    c.edModel = tabDiagnose->edModel;
    c.edGosNum = tabDiagnose->edGosNum;
    c.labZMStatus = tabDiagnose->labZMStatus;
    c.labDStatus = Pages->labDStatus;
    Test = new EmissionTest(c, State, *Opros, this);
    Test->setDatabase(&Database);
    StepButtonLook::setIdle(c.btnZero, c.ShapeZero);
    StepButtonLook::setIdle(c.btnMinRatio, c.ShapeMinRatio);
    StepButtonLook::setIdle(c.btnMaxRatio, c.ShapeMaxRatio);
    StepButtonLook::setIdle(c.btnReport, c.Shape8);

    connectSteps();
    connectMenu();

    TimerStatus = new QTimer(this);
    TimerStatus->setObjectName(QStringLiteral("TimerStatus"));
    TimerStatus->setInterval(StatusBlink::IntervalMs);
    connect(TimerStatus, &QTimer::timeout, this, &TFormMain::TimerStatusTimer);
    TimerOperation = new QTimer(this);
    TimerOperation->setObjectName(QStringLiteral("TimerOperation"));
    TimerOperation->setInterval(OperationTicker::IntervalMs);
    connect(TimerOperation, &QTimer::timeout, this, &TFormMain::TimerOperationTimer);
    TimerStatus->start();
    TimerOperation->start();

    tabDiagnose->edModel->setFocus();
}

TFormMain::~TFormMain()
{
    // The dialogs and the test work on the database and the thread, which
    // are members: let them go first.
    TimerStatus->stop();
    TimerOperation->stop();
    delete Test;
    Test = nullptr;
    qDeleteAll(findChildren<QDialog *>(Qt::FindDirectChildrenOnly));
    m_dialogs = Dialogs();
}

QLineEdit *TFormMain::edModel() const
{
    return tabDiagnose->edModel;
}
QLineEdit *TFormMain::edGosNum() const
{
    return tabDiagnose->edGosNum;
}
QLabel *TFormMain::labZMStatus() const
{
    return tabDiagnose->labZMStatus;
}
QLabel *TFormMain::labDStatus() const
{
    return Pages->labDStatus;
}

void TFormMain::setDialogs(const Dialogs &dialogs)
{
    m_dialogs = dialogs;
    Test->setDialogs(dialogs.FormSelectCar, dialogs.FormReports);
    if (TFormOptions *options = dialogs.FormOptions) {
        options->setDisplayLimitsSource([this, options] {
            if (!GasGraph)
                return options->displayLimits();
            DisplayLimits limits;
            for (size_t gas = 0; gas < DisplayLimits::GasCount; ++gas) {
                limits.Low[gas] = GasGraph->RangeLow[gas];
                limits.High[gas] = GasGraph->RangeHigh[gas];
            }
            return limits;
        });
        options->setConnectDevice([this] { ConnectDevice(); });
        options->setErrorDisplay(&ZelmorApplication::showError);
    }
}

void TFormMain::connectSteps()
{
    DiagnosePage *p = tabDiagnose;
    connect(p->btnZero, &QPushButton::clicked, Test, &EmissionTest::btnZeroClick);
    connect(p->btnMinRatio, &QPushButton::clicked, Test, &EmissionTest::btnMinRatioClick);
    connect(p->btnMaxRatio, &QPushButton::clicked, Test, &EmissionTest::btnMaxRatioClick);
    connect(p->btnReport, &QPushButton::clicked, Test, &EmissionTest::btnReportClick);
    connect(Menu->KorZero1, &QAction::triggered, p->btnZero, &QPushButton::click);
    connect(Menu->MinRotate1, &QAction::triggered, p->btnMinRatio, &QPushButton::click);
    connect(Menu->MaxRotate1, &QAction::triggered, p->btnMaxRatio, &QPushButton::click);
    connect(Menu->Report1, &QAction::triggered, p->btnReport, &QPushButton::click);
    connect(Menu->NStartDiagnose, &QAction::triggered, this, [this] {
        if (requireDatabase())
            Test->NStartDiagnoseClick();
    });
}

void TFormMain::connectMenu()
{
    connect(Menu->NExit, &QAction::triggered, this, &TFormMain::NExitClick);
    connect(Menu->NDannyePriem, &QAction::triggered, this,
        [this] { Opros->RequestOperation(CommandGetResult, 1, 0); });
    connect(Menu->NDannyeStop, &QAction::triggered, this, [this] { Opros->StopCycle(); });
    connect(Menu->NPropan, &QAction::triggered, this, [this](bool checked) {
        Opros->RequestOperation(CommandPressKey, 0, KeyPropane);
        tabDiagnose->panPropan->setVisible(checked);
        Opros->RequestOperation(CommandGetResult, 1, 0);
    });
    connect(Menu->N13, &QAction::triggered, this, [this] {
        Opros->RequestOperation(CommandPressKey, 0, KeyCompressor);
        Opros->RequestOperation(CommandGetResult, 1, 0);
    });
    connect(Menu->NGostLimits, &QAction::triggered, this, [this](bool checked) {
        if (GasGraph) {
            GasGraph->ShowLimits = checked;
            GasGraph->Draw();
        }
    });
    connect(Menu->NDiagnose, &QAction::triggered, this, [this] {
        Menu->NOpen->setEnabled(false);
        Menu->NSaveAs->setEnabled(false);
        Tabs->setCurrentIndex(SecondaryPages::DiagnoseIndex);
    });
    connect(Menu->NDiscover, &QAction::triggered, this,
        [this] { Tabs->setCurrentIndex(SecondaryPages::DiscoveryIndex); });
    connect(Menu->N5, &QAction::triggered, this, [this] {
        if (requireDatabase())
            showModal(m_dialogs.FormModels, QStringLiteral("Редактор моделей недоступен."));
    });
    connect(Menu->NResults, &QAction::triggered, this, [this] {
        if (requireDatabase() && m_dialogs.FormReports)
            m_dialogs.FormReports->showReports();
    });
    connect(Menu->NDiapazon, &QAction::triggered, this,
        [this] { showModal(m_dialogs.FormDiap, QStringLiteral("Диалог диапазонов недоступен.")); });
    connect(Menu->NOptions, &QAction::triggered, this, [this] {
        showModal(m_dialogs.FormOptions, QStringLiteral("Диалог настроек недоступен."));
    });
    connect(Menu->NZelmorInfo, &QAction::triggered, this,
        [this] { showModal(m_dialogs.FormAboutZM, QString()); });
    connect(Menu->NAbout, &QAction::triggered, this,
        [this] { showModal(m_dialogs.FormAboutProg, QString()); });
    connect(Menu->NHelp, &QAction::triggered, this, [this] {
        const QString manual = programFolder() + QLatin1String(ManualFile);
        int code = 0;
        if (!QFileInfo::exists(manual))
            code = ManualMissingCode;
        else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
            code = ManualNoViewerCode;
        if (code != 0) {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка"),
                QStringLiteral("Невозможно открыть файл помощи. Код ошибки %1").arg(code),
                QMessageBox::Ok, this);
            box.exec();
        }
    });
}

void TFormMain::showModal(QWidget *dialog, const QString &missing)
{
    auto *box = qobject_cast<QDialog *>(dialog);
    if (!box) {
        if (!missing.isEmpty())
            MessageBoxes::warning(missing, this);
        return;
    }
    box->exec();
}

bool TFormMain::requireDatabase()
{
    if (Database.isOpen())
        return true;
    QString text = QStringLiteral("База данных недоступна.");
    if (!m_databaseError.isEmpty())
        text += QLatin1Char('\n') + m_databaseError;
    MessageBoxes::warning(text, this);
    return false;
}

void TFormMain::NExitClick()
{
    if (MessageBoxes::confirm(QStringLiteral("Вы действительно хотите выйти из программы?"), this))
        close();
}

void TFormMain::closeWithoutQuestion()
{
    // Modal boxes run their own loops; close them so the window can go.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == this)
            break;
        modal->close();
    }
    close();
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The set-up runs once the window is on the screen, so that the operator
    // sees it while the instrument is being connected.
    QTimer::singleShot(0, this, &TFormMain::FormShow);
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        FormClose();
    }
    event->accept();
}

void TFormMain::runStartupStep(const std::function<void()> &step)
{
    if (m_closed)
        return;
    try {
        step();
    } catch (...) {
        // The remaining steps still run, so the program connects and shows
        // readings; the operator reads the error once start-up has ended.
        m_startupErrors.append(ZelmorApplication::messageOf(std::current_exception()));
    }
}

void TFormMain::FormShow()
{
    runStartupStep([] { WriteLog(QStringLiteral("start zelmor")); });
    runStartupStep([this] {
        if (m_dialogs.FormAboutProg)
            m_dialogs.FormAboutProg->labProgVersion->setText(programVersionText());
    });
    runStartupStep([this] { tabDiagnose->edGosNum->clear(); });
    runStartupStep([this] {
        try {
            Database.open(programFolder());
        } catch (...) {
            m_databaseError = ZelmorApplication::messageOf(std::current_exception());
            // Opened for reading only: the tables can still be looked at.
            if (Database.isOpen())
                Pages->bindTables(Database);
            throw;
        }
        Pages->bindTables(Database);
    });
    runStartupStep([this] {
        setFixedSize(WindowWidth, WindowHeight);
        tabDiagnose->setBlackBackground();
    });
    runStartupStep([this] { createGasGraph(); });
    runStartupStep([this] {
        if (GasGraph)
            GasGraph->Initialise();
    });
    // Wiring point: the report template is loaded into the preview here once
    // the report engine is part of the program.
    runStartupStep([this] { loadSettings(); });
    runStartupStep([this] { ConnectDevice(); });
    runStartupStep([this] {
        if (GasGraph) {
            GasGraph->PlaceScaleLabels();
            GasGraph->Draw();
        }
    });
    // Wiring point: the strip chart of the research page is configured here.
    runStartupStep([this] { Pages->writeDataHeader(); });

    m_startupFinished = true;
    emit startupFinished();
    if (!m_startupErrors.isEmpty() && !m_closed)
        QTimer::singleShot(0, this, &TFormMain::showStartupErrors);
}

void TFormMain::showStartupErrors()
{
    for (const QString &message : std::as_const(m_startupErrors))
        ZelmorApplication::showError(message);
}

void TFormMain::createGasGraph()
{
    DiagnosePage *p = tabDiagnose;
    GasGraph = std::make_unique<GASE_GRAPH>();
    ConnectGaseGraph(*GasGraph, p->frGraph, p->frGraphG,
        { GaugeDisplayLabels { p->labTax, p->labTax1, p->labTax2, p->labTax3 },
            GaugeDisplayLabels { p->labTm, p->labTm1, p->labTm2, p->labTm3 },
            GaugeDisplayLabels { p->labLambda, p->labLambda1, p->labLambda2, p->labLambda3 } });
    GasGraph->FlagsSource = [this] {
        return GaseGraphFlags { State.WarmedUp, State.VehicleSelected, State.MinSpeedDone,
            m_procedureActive };
    };
    GasGraph->MinLimits.fill(0);
    GasGraph->MaxLimits.fill(0);
    GasGraph->SetGaugeWindow(GASE_GRAPH::EngineSpeed, SpeedWindowLow, SpeedWindowHigh);
    GasGraph->SetGaugeWindow(GASE_GRAPH::Tm, TmWindowLow, TmWindowHigh);
    GasGraph->SetGaugeWindow(GASE_GRAPH::Lambda, LambdaWindowLow, LambdaWindowHigh);
    GasGraph->ShowLimits = Menu->NGostLimits->isChecked();
    Test->setGasGraph(GasGraph.get());
}

Settings &TFormMain::ownSettings()
{
    // Without the options dialog (tests of the window alone) the window
    // reads the settings file itself.
    if (!m_ownSettings)
        m_ownSettings = std::make_unique<Settings>();
    return *m_ownSettings;
}

void TFormMain::loadSettings()
{
    DisplayLimits limits;
    if (TFormOptions *options = m_dialogs.FormOptions) {
        options->LoadSettings();
        State.ReadingsPerStep = options->settings().ReadingsPerStep;
        limits = options->displayLimits();
    } else {
        Settings &file = ownSettings();
        file.LoadSettings();
        State.ReadingsPerStep = file.ReadingsPerStep;
        limits = file.Limits;
    }
    if (GasGraph) {
        for (size_t gas = 0; gas < DisplayLimits::GasCount; ++gas) {
            GasGraph->RangeLow[gas] = limits.Low[gas];
            GasGraph->RangeHigh[gas] = limits.High[gas];
        }
    }
}

int TFormMain::ConnectDevice()
{
    constexpr int FastSpeedItem = 5; // "38400"
    QString port, speed;
    if (TFormOptions *options = m_dialogs.FormOptions) {
        port = options->cboxPortName->currentText();
        speed = options->cboxSpeed->currentText();
    } else {
        port = ownSettings().Controls.PortName;
        speed = ownSettings().Controls.Speed;
    }
    ConnectSequence sequence(*Opros, State);
    sequence.setAboutBox(m_dialogs.FormAboutZM);
    sequence.setConnector([this, speed](const QString &portName) {
        ConnectModule->cbPort->setEditText(portName);
        ConnectModule->cbSpeed->setEditText(speed);
        ConnectModule->btnInitPortClick();
        ConnectModule->cbSpeed->setCurrentIndex(FastSpeedItem);
        return ConnectModule->ConnectResult;
    });
    return sequence.run(port);
}

void TFormMain::FormClose()
{
    TimerStatus->stop();
    TimerOperation->stop();
    Test->setGasGraph(nullptr);
    GasGraph.reset();
    WriteLog(QStringLiteral("exit zelmor"));
}

void TFormMain::TimerStatusTimer()
{
    const bool visible = m_blink.tick();
    tabDiagnose->labZMStatus->setVisible(visible);
    Pages->labDStatus->setVisible(visible);
}

void TFormMain::TimerOperationTimer()
{
    const ZmxSnapshot snapshot = Opros->snapshot();
    m_procedureActive = snapshot.ProcedureActive == ProcedureRunning;
    const OperationTick tick = m_ticker.tick(snapshot);
    applyTick(tick);
    switch (tick.branch) {
    case OperationTick::Branch::Readings:
        Test->onReadingsTick(snapshot, tick.newRecord);
        break;
    case OperationTick::Branch::LinkLost:
        Test->onLinkLost();
        break;
    case OperationTick::Branch::Procedure:
        Test->onProcedureTick(snapshot);
        break;
    default:
        Test->onOtherTick();
        break;
    }
    updateGasGraph(snapshot);
}

void TFormMain::applyTick(const OperationTick &tick)
{
    DiagnosePage *p = tabDiagnose;
    p->labZMStatus->setText(tick.statusText);
    Pages->labDStatus->setText(tick.statusText);
    if (tick.timeName)
        p->labTimeName->setText(*tick.timeName);
    if (tick.workTime)
        p->labWorkTime->setText(*tick.workTime);
    if (tick.pressure)
        p->labPressure->setText(*tick.pressure);
    if (tick.termF)
        p->labTermF->setText(*tick.termF);
    if (tick.termQ)
        p->labTermQ->setText(*tick.termQ);
    if (tick.warmedUp)
        State.WarmedUp = *tick.warmedUp;
    if (tick.showPanelMeasure)
        p->PanelMeasure->setVisible(true);
}

void TFormMain::UpdateGasGraph()
{
    updateGasGraph(Opros->snapshot());
}

void TFormMain::updateGasGraph(const ZmxSnapshot &snapshot)
{
    if (!GasGraph)
        return;
    const GasGraphInput input = OperationTicker::gasGraphInput(snapshot, State.OperationState);
    std::copy(input.values.begin(), input.values.end(), GasGraph->Values.begin());
    if (input.zeroed) {
        const QString zero = QStringLiteral("0");
        tabDiagnose->labTermF->setText(zero);
        tabDiagnose->labTermQ->setText(zero);
        tabDiagnose->labPressure->setText(zero);
        GasGraph->PreValues.fill(0);
    }
    GasGraph->Draw();
}

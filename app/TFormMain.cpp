#include "app/TFormMain.h"

#include "app/DatabaseAccess.h"
#include "app/DiagnosePage.h"
#include "app/DiscoveryPage.h"
#include "app/EmissionProcedureThreadLink.h"
#include "app/EmissionProcedureView.h"
#include "app/GasGraphRanges.h"
#include "app/MainMenu.h"
#include "app/MenuCommands.h"
#include "app/SecondaryPages.h"
#include "app/StartupSequence.h"
#include "app/StepButtonLook.h"
#include "app/VehicleObd.h"
#include "app/ZelmorApplication.h"
#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "config/LinkPanelIni.h"
#include "config/ui/TFormDiap.h"
#include "config/ui/TFormOptions.h"
#include "database/ui/TFormModels.h"
#include "database/ui/TFormReports.h"
#include "device/MsClock.h"
#include "device/Records.h"
#include "device/SerialPortList.h"
#include "device/SerialTransport.h"
#include "device/TOpros_ZMX.h"
#include "device/obd/ObdLink.h"
#include "device/ui/TFrConnect.h"
#include "device/ui/TFrObd.h"
#include "device/ui/TFrame_SendCommand.h"
#include "graphs/GASE_GRAPH.h"
#include "report/ui/ReportPage.h"
#include "tables/ModelLimits.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

TFormMain::TFormMain(QWidget *parent)
    : QMainWindow(parent)
{
    // The test state starts as TestState declares it; times print with ":"
    // until the polling thread sets its own separators.
    FormatSettings::setTimeSeparator(QLatin1Char(':'));
    m_opros = std::make_unique<TOpros_ZMX>();
    m_opros->setAutoReadAfterZero(true);
    // The OBD link idles on its own thread until the settings name a port.
    m_obdLink = std::make_unique<ObdLink>();
    m_obd = std::make_unique<VehicleObd>(m_obdLink.get());

    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Zelmor"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(WindowWidth, WindowHeight);

    m_menu = new MainMenu(this);
    buildPages();
    // After the pages: its preview, placed on the page "report", goes with
    // the pages before the report and its printers.
    m_report = new ReportPage(this);
    connect(m_pages->Button2, &QPushButton::clicked, m_report, &ReportPage::Button2Click);
    buildEmissionTest();

    m_databaseAccess = std::make_unique<DatabaseAccess>(m_database, *m_pages);
    m_commands = new MenuCommands(
        { *this, *m_menu, *m_tabs, *m_diagnosePage, *m_test, *m_discovery, *m_sendCommand,
            m_dialogs, *m_databaseAccess, [this] { return m_gasGraph.get(); } },
        this);
    m_commands->connectMenu();
    m_startup = new StartupSequence(
        { *this, m_state, *m_databaseAccess, *m_opros, m_gasGraph, *m_test, *m_diagnosePage,
            *m_pages, *m_menu, *m_connectModule, m_dialogs, *m_report, *m_discovery,
            [this](const ObdOptions &options) { applyObdOptions(options); } },
        m_procedureActive, this);
    connect(m_startup, &StartupSequence::finished, this, &TFormMain::startupFinished);
    if (!m_linkFileRefusal.isEmpty())
        m_startup->noteError(m_linkFileRefusal);

    startTimers();
    m_diagnosePage->edModel->setFocus();
}

TFormMain::~TFormMain()
{
    // The dialogs and the test work on the database and the thread, which
    // are members: let them go first.
    m_timerStatus->stop();
    m_timerOperation->stop();
    m_timerEngineSpeed->stop();
    delete m_commands;
    m_commands = nullptr;
    delete m_startup;
    m_startup = nullptr;
    m_databaseAccess.reset();
    delete m_test;
    m_test = nullptr;
    // The research page works on the thread, which goes before the window's
    // children do.
    delete m_discovery;
    m_discovery = nullptr;
    qDeleteAll(findChildren<QDialog *>(Qt::FindDirectChildrenOnly));
    m_dialogs = Dialogs();
}

void TFormMain::buildPages()
{
    // The tab strip is kept out of sight: the menu's mode commands and
    // Ctrl+Tab switch pages.
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("Tabs"));
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setDocumentMode(true);
    m_tabs->tabBar()->hide();
    m_diagnosePage = new DiagnosePage;
    m_pages = new SecondaryPages(m_tabs, m_diagnosePage);
    m_tabs->setCurrentIndex(SecondaryPages::DiagnoseIndex);
    setCentralWidget(m_tabs);

    m_connectModule = new TFrConnect(m_pages->ConnectModuleArea);
    m_connectModule->setObjectName(QStringLiteral("ConnectModule"));
    m_connectModule->setOpros(m_opros.get());
    const LinkPanelChoice choice = LinkPanelIni().read();
    m_linkFileRefusal = choice.refusal;
    m_connectModule->applyChoice(choice.portIndex, choice.speedIndex, choice.fastSpeed);
    m_pages->ConnectModuleArea->layout()->addWidget(m_connectModule);
    m_obdModule = new TFrObd(m_pages->ConnectModuleArea);
    m_pages->ConnectModuleArea->layout()->addWidget(m_obdModule);

    // Every request of the window to the instrument passes the service panel.
    m_sendCommand = TFrame_SendCommand::placeInto(m_pages->SendCommandArea, m_opros.get());
    m_sendCommand->setObjectName(QStringLiteral("SendCommand"));

    m_discovery = new DiscoveryPage(
        { m_pages->tabDiscovery, m_pages->labDStatus, m_pages->TabSheet3, m_pages->grData },
        *m_opros, this);
    TFrame_SendCommand *panel = m_sendCommand;
    m_discovery->setStopPolling([panel] { panel->StopCommand(); });
    m_discovery->setRequestReadings([panel] { panel->RequestOperation(ZMX_get_result, 1, 0); });
}

void TFormMain::buildEmissionTest()
{
    EmissionProcedureControls c = m_diagnosePage->emissionControls();
    c.labDStatus = m_pages->labDStatus;
    TFrame_SendCommand *panel = m_sendCommand;
    m_testLink = std::make_unique<EmissionProcedureThreadLink>(
        *m_opros, [panel](ZmxCommand code, int repeat, quint16 argument) {
            panel->RequestOperation(code, repeat, argument);
        });
    m_test = new EmissionProcedureView(c, m_state, *m_testLink, this);
    m_test->setDatabase(&m_database);
    m_test->setObd(m_obd.get());
    StepButtonLook::setIdle(c.btnObd, c.ShapeObd);
    StepButtonLook::setIdle(c.btnZero, c.ShapeZero);
    StepButtonLook::setIdle(c.btnMinRatio, c.ShapeMinRatio);
    StepButtonLook::setIdle(c.btnMaxRatio, c.ShapeMaxRatio);
    StepButtonLook::setIdle(c.btnReport, c.Shape8);
}

void TFormMain::startTimers()
{
    m_timerStatus = new QTimer(this);
    m_timerStatus->setObjectName(QStringLiteral("TimerStatus"));
    m_timerStatus->setInterval(StatusBlink::IntervalMs);
    connect(m_timerStatus, &QTimer::timeout, this, &TFormMain::TimerStatusTimer);
    m_timerOperation = new QTimer(this);
    m_timerOperation->setObjectName(QStringLiteral("TimerOperation"));
    m_timerOperation->setInterval(OperationTicker::IntervalMs);
    connect(m_timerOperation, &QTimer::timeout, this, &TFormMain::TimerOperationTimer);
    m_timerEngineSpeed = new QTimer(this);
    m_timerEngineSpeed->setObjectName(QStringLiteral("TimerEngineSpeed"));
    m_timerEngineSpeed->setInterval(EngineSpeedIntervalMs);
    connect(m_timerEngineSpeed, &QTimer::timeout, this, &TFormMain::TimerEngineSpeedTimer);
    m_timerStatus->start();
    m_timerOperation->start();
    m_timerEngineSpeed->start();
}

QLineEdit *TFormMain::edModel() const
{
    return m_diagnosePage->edModel;
}
QLineEdit *TFormMain::edGosNum() const
{
    return m_diagnosePage->edGosNum;
}
QLabel *TFormMain::labZMStatus() const
{
    return m_diagnosePage->labZMStatus;
}
QLabel *TFormMain::labDStatus() const
{
    return m_pages->labDStatus;
}

bool TFormMain::isStartupFinished() const
{
    return m_startup->isFinished();
}

QStringList TFormMain::startupErrors() const
{
    return m_startup->errors();
}

void TFormMain::setDialogs(const Dialogs &dialogs)
{
    m_dialogs = dialogs;
    m_test->setDialogs(dialogs.FormSelectCar, dialogs.FormReports);
    if (TFormOptions *options = dialogs.FormOptions) {
        options->setDisplayLimitsSource([this, options] {
            return m_gasGraph ? displayLimitsOf(*m_gasGraph) : options->displayLimits();
        });
        options->setPortListSource(&systemSerialPorts);
        options->setConnectDevice([this] { ConnectDevice(); });
        options->setObdChanged([this](const ObdOptions &obd) { applyObdOptions(obd); });
        options->setPortDevice([](const QString &name) {
            return QString::fromStdString(SerialTransport::devicePath(name.toStdString()));
        });
        options->setErrorDisplay(&ZelmorApplication::showError);
        options->setReportPrinter(m_report->printer());
        m_report->setPlaceSource([options] { return options->AppliedOptions().Place; });
        m_database.setInspectionSource([options] {
            const OptionsRecord &o = options->AppliedOptions();
            return Inspection { o.Place, o.Operator, o.VerificationCertificate,
                o.VerificationValidUntil };
        });
    }
    if (TFormReports *reports = dialogs.FormReports) {
        reports->setReport(m_report);
        reports->setReportPrinted([this] { m_state.OperationState = TestOperation::Blank; });
    }
    if (dialogs.FormDiap)
        wireRangesDialog(dialogs.FormDiap);
}

void TFormMain::wireRangesDialog(TFormDiap *dialog)
{
    dialog->setDisplayLimitsSource([this] {
        if (m_gasGraph)
            return displayLimitsOf(*m_gasGraph);
        return m_dialogs.FormOptions ? m_dialogs.FormOptions->displayLimits() : DisplayLimits();
    });
    dialog->setGasGraphSink([this](const DisplayLimits &limits) {
        if (!m_gasGraph)
            return;
        setDisplayLimits(*m_gasGraph, limits);
        m_gasGraph->PlaceScaleLabels();
        m_gasGraph->Draw();
    });
    dialog->setChartSink(
        [this](const DisplayLimits &limits) { m_discovery->setChannelRanges(limits); });
    dialog->setSaveDisplayRanges([this](const DisplayLimits &limits) {
        if (m_dialogs.FormOptions)
            m_dialogs.FormOptions->SaveDisplayRanges(limits);
    });
    dialog->setErrorDisplay([dialog](const QString &text) { MessageBoxes::warning(dialog, text); });
}

int TFormMain::ConnectDevice()
{
    return m_startup->connectDevice();
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
    QTimer::singleShot(0, m_startup, &StartupSequence::FormShow);
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        m_startup->windowClosed();
        FormClose();
    }
    event->accept();
}

void TFormMain::FormClose()
{
    m_timerStatus->stop();
    m_timerOperation->stop();
    m_timerEngineSpeed->stop();
    m_test->setGasGraph(nullptr);
    m_gasGraph.reset();
    m_discovery->DestroyChart();
    // Edits of the models editor still pending are stored; it tells the
    // operator itself when that fails, and the window closes all the same.
    if (TFormModels *models = m_dialogs.FormModels)
        models->postPendingEdits();
    WriteLog(QStringLiteral("exit zelmor"));
}

void TFormMain::TimerStatusTimer()
{
    const bool visible = m_blink.tick();
    m_diagnosePage->labZMStatus->setVisible(visible);
    m_pages->labDStatus->setVisible(visible);
}

void TFormMain::TimerOperationTimer()
{
    const ZmxSnapshot snapshot = m_opros->snapshot();
    m_procedureActive = snapshot.ProcedureActive != 0;
    const OperationTick tick = m_ticker.tick(snapshot);
    applyTick(tick);
    switch (tick.branch) {
    case OperationTick::Branch::Readings:
        m_test->onReadingsTick(snapshot, tick.newRecord);
        break;
    case OperationTick::Branch::LinkLost:
        m_test->onLinkLost();
        break;
    case OperationTick::Branch::Procedure:
        m_test->onProcedureTick(snapshot);
        break;
    default:
        m_test->onOtherTick();
        break;
    }
    updateGasGraph(snapshot);
    m_startup->followLink(snapshot);
}

void TFormMain::applyTick(const OperationTick &tick)
{
    DiagnosePage *p = m_diagnosePage;
    p->labZMStatus->setText(tick.statusText);
    m_pages->labDStatus->setText(tick.statusText);
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
        m_state.WarmedUp = *tick.warmedUp;
    if (tick.showPanelMeasure)
        p->PanelMeasure->setVisible(true);
}

void TFormMain::updateGasGraph(const ZmxSnapshot &snapshot)
{
    if (!m_gasGraph)
        return;
    const GasGraphInput input = OperationTicker::gasGraphInput(snapshot, m_state.OperationState);
    std::copy(input.values.begin(), input.values.end(), m_gasGraph->Values.begin());
    m_graphLive = !input.zeroed;
    m_instrumentRpm = input.values[GASE_GRAPH::EngineSpeed];
    m_instrumentTm = input.values[GASE_GRAPH::Tm];
    applySpeedSources();
    if (input.zeroed) {
        const QString zero = QStringLiteral("0");
        m_diagnosePage->labTermF->setText(zero);
        m_diagnosePage->labTermQ->setText(zero);
        m_diagnosePage->labPressure->setText(zero);
        m_gasGraph->PreValues.fill(0);
    }
    m_gasGraph->Draw();
}

// ---- the vehicle's own computer --------------------------------------------

void TFormMain::applyObdOptions(const ObdOptions &options)
{
    m_obd->apply(options);
    if (!m_obd->inUse())
        m_obdModule->showUnused();
    m_test->obdChanged();
    applySpeedSources();
}

bool TFormMain::applySpeedSources()
{
    if (!m_gasGraph)
        return false;
    const bool inUse = m_obd->inUse();
    const ObdSnapshot snapshot = m_obd->snapshot();
    const uint32_t now = MsClock::now();
    VehicleObd::Reading rpm { m_instrumentRpm, false };
    VehicleObd::Reading tm { m_instrumentTm, false };
    if (m_graphLive) {
        rpm = VehicleObd::engineSpeed(inUse ? &snapshot : nullptr, m_instrumentRpm, now);
        tm = VehicleObd::temperature(inUse ? &snapshot : nullptr, m_instrumentTm, now);
    }
    double &shownRpm = m_gasGraph->Values[GASE_GRAPH::EngineSpeed];
    double &shownTm = m_gasGraph->Values[GASE_GRAPH::Tm];
    const bool changed = shownRpm != rpm.value || shownTm != tm.value;
    if (m_graphLive) {
        shownRpm = rpm.value;
        shownTm = tm.value;
    }
    // The coolant is judged as a coolant, Tm by its own window.
    if (tm.fromObd)
        m_gasGraph->SetGaugeWindow(
            GASE_GRAPH::Tm, VehicleObd::CoolantWindowLow, VehicleObd::CoolantWindowHigh);
    else
        m_gasGraph->SetGaugeWindow(
            GASE_GRAPH::Tm, ModelLimits::TempWindowLow, ModelLimits::TempWindowHigh);
    m_diagnosePage->labTaxSource->setVisible(rpm.fromObd);
    m_diagnosePage->labTmSource->setVisible(tm.fromObd);
    return changed && m_graphLive;
}

void TFormMain::TimerEngineSpeedTimer()
{
    if (m_obd->inUse())
        m_obdModule->showSnapshot(m_obd->snapshot());
    m_test->pollDiagnosis();
    // Between the operation timer's ticks only the vehicle's engine speed
    // moves: redraw when it did.
    if (m_obd->inUse() && applySpeedSources())
        m_gasGraph->Draw();
}

#include "app/StartupSequence.h"

#include "app/AppVersion.h"
#include "app/ConnectSequence.h"
#include "app/DatabaseAccess.h"
#include "app/DiagnosePage.h"
#include "app/DiscoveryPage.h"
#include "app/EmissionProcedureView.h"
#include "app/GasGraphRanges.h"
#include "app/MainMenu.h"
#include "app/SecondaryPages.h"
#include "app/TFormAboutProg.h"
#include "app/TFormAboutZM.h"
#include "app/TestState.h"
#include "app/ZelmorApplication.h"
#include "common/AppLog.h"
#include "config/Settings.h"
#include "config/ui/TFormOptions.h"
#include "database/ZelmorDatabase.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"
#include "graphs/GASE_GRAPH.h"
#include "graphs/ui/ConnectGaseGraph.h"
#include "report/ui/ReportPage.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTimer>

namespace {

constexpr int WindowWidth = 1024;
constexpr int WindowHeight = 768;

// Gauge windows until a vehicle is chosen: 3000 ± 80 1/min, 55 … 65 °C, 0.9 … 1.1.
constexpr float SpeedWindowLow = 2920, SpeedWindowHigh = 3080;
constexpr float TmWindowLow = 55, TmWindowHigh = 65;
constexpr float LambdaWindowLow = 0.9f, LambdaWindowHigh = 1.1f;

} // namespace

StartupSequence::StartupSequence(const Parts &parts, const bool &procedureActive, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
    , m_procedureActive(procedureActive)
{ }

StartupSequence::~StartupSequence() = default;

void StartupSequence::runStartupStep(const std::function<void()> &step)
{
    if (m_closed)
        return;
    try {
        step();
    } catch (...) {
        m_errors.append(ZelmorApplication::messageOf(std::current_exception()));
    }
}

void StartupSequence::FormShow()
{
    runStartupStep([] { WriteLog(QStringLiteral("start zelmor")); });
    runStartupStep([this] {
        if (m_parts.dialogs.FormAboutProg)
            m_parts.dialogs.FormAboutProg->labProgVersion->setText(programVersionText());
    });
    runStartupStep([this] { m_parts.diagnosePage.edGosNum->clear(); });
    runStartupStep([this] {
        m_parts.database.open();
        // A database lost since the last run is said in a box with the errors.
        if (const QString notice = m_parts.database.database().startupNotice(); !notice.isEmpty())
            m_errors.append(notice);
    });
    runStartupStep([this] {
        m_parts.window.setFixedSize(WindowWidth, WindowHeight);
        m_parts.diagnosePage.setBlackBackground();
    });
    runStartupStep([this] {
        createGasGraph();
        createStripChart();
    });
    runStartupStep([this] {
        if (m_parts.gasGraph)
            m_parts.gasGraph->Initialise();
    });
    runStartupStep([this] { loadReportTemplate(); });
    runStartupStep([this] { loadSettings(); });
    runStartupStep([this] { connectDevice(); });
    runStartupStep([this] {
        if (m_parts.gasGraph) {
            m_parts.gasGraph->PlaceScaleLabels();
            m_parts.gasGraph->Draw();
        }
    });
    runStartupStep([this] { configureStripChart(); });
    runStartupStep([this] { m_parts.pages.writeDataHeader(); });

    m_finished = true;
    emit finished();
    if (!m_errors.isEmpty() && !m_closed)
        QTimer::singleShot(0, this, &StartupSequence::showStartupErrors);
}

void StartupSequence::noteError(const QString &message)
{
    m_errors.append(message);
}

void StartupSequence::showStartupErrors()
{
    for (const QString &message : std::as_const(m_errors))
        ZelmorApplication::showError(message);
}

void StartupSequence::createGasGraph()
{
    DiagnosePage &p = m_parts.diagnosePage;
    m_parts.gasGraph = std::make_unique<GASE_GRAPH>();
    GASE_GRAPH &graph = *m_parts.gasGraph;
    ConnectGaseGraph(graph, p.frGraph, p.frGraphG,
        { GaugeDisplayLabels { p.labTax, p.labTax1, p.labTax2, p.labTax3 },
            GaugeDisplayLabels { p.labTm, p.labTm1, p.labTm2, p.labTm3 },
            GaugeDisplayLabels { p.labLambda, p.labLambda1, p.labLambda2, p.labLambda3 } });
    graph.FlagsSource = [this] {
        const TestState &s = m_parts.state;
        return GaseGraphFlags { s.WarmedUp, s.VehicleSelected, s.MinSpeedDone, m_procedureActive };
    };
    graph.MinLimits.fill(0);
    graph.MaxLimits.fill(0);
    graph.SetGaugeWindow(GASE_GRAPH::EngineSpeed, SpeedWindowLow, SpeedWindowHigh);
    graph.SetGaugeWindow(GASE_GRAPH::Tm, TmWindowLow, TmWindowHigh);
    graph.SetGaugeWindow(GASE_GRAPH::Lambda, LambdaWindowLow, LambdaWindowHigh);
    graph.ShowLimits = m_parts.menu.NGostLimits->isChecked();
    m_parts.test.setGasGraph(&graph);
}

void StartupSequence::createStripChart()
{
    m_parts.discovery.CreateChart();
}

void StartupSequence::loadReportTemplate()
{
    // The template is looked for below the working directory; a missing one
    // is reported once start-up has ended, and the steps after it still run.
    m_parts.report.setUp(m_parts.pages.ReportPreviewArea);
}

void StartupSequence::configureStripChart()
{
    m_parts.discovery.ConfigureChart();
}

Settings &StartupSequence::ownSettings()
{
    // Without the options dialog (tests of the window alone) the start-up
    // reads the settings file itself.
    if (!m_ownSettings)
        m_ownSettings = std::make_unique<Settings>();
    return *m_ownSettings;
}

void StartupSequence::loadSettings()
{
    const Settings *settings = nullptr;
    if (TFormOptions *options = m_parts.dialogs.FormOptions) {
        options->LoadSettings();
        settings = &options->settings();
    } else {
        ownSettings().LoadSettings();
        settings = &ownSettings();
    }
    // A file that is not ours to read: the program runs on the defaults and
    // says so once start-up has ended.
    if (const QString refusal = settings->refusal(); !refusal.isEmpty())
        m_errors.append(refusal);
    m_parts.state.ReadingsPerStep = settings->ReadingsPerStep;
    const DisplayLimits limits = settings->Limits;
    if (GASE_GRAPH *graph = m_parts.gasGraph.get())
        setDisplayLimits(*graph, limits);
    m_parts.discovery.setChannelRanges(limits);
    if (m_parts.applyObd)
        m_parts.applyObd(settings->Obd);
}

int StartupSequence::connectDevice()
{
    QString port, speed;
    if (TFormOptions *options = m_parts.dialogs.FormOptions) {
        port = options->cboxPortName->currentText();
        speed = options->cboxSpeed->currentText();
    } else {
        port = ownSettings().Controls.PortName;
        speed = ownSettings().Controls.Speed;
    }
    ConnectSequence sequence(m_parts.opros, m_parts.state);
    sequence.setAboutBox(m_parts.dialogs.FormAboutZM);
    sequence.setLinkPanel(&m_parts.connectModule, speed);
    sequence.setLinkWatch(&m_linkWatch);
    return sequence.run(port);
}

void StartupSequence::followLink(const ZmxSnapshot &snapshot)
{
    const LinkWatch::Change change = m_linkWatch.look(snapshot);
    if (!change.any())
        return;
    TFormAboutZM *box = m_parts.dialogs.FormAboutZM;
    if (change.portError)
        m_parts.connectModule.showPortError(*change.portError);
    if (change.connected)
        m_parts.connectModule.showConnected();
    if (change.linkText && box)
        box->setLinkState(*change.linkText);
    if (change.instrument)
        ConnectSequence::showInstrument(box, m_parts.state, change.instrument->serialNumber,
            change.instrument->firmwareVersion);
}

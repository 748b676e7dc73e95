#include "app/MenuCommands.h"

#include "app/DatabaseAccess.h"
#include "app/DiagnosePage.h"
#include "app/DiscoveryPage.h"
#include "app/EmissionProcedureView.h"
#include "app/MainMenu.h"
#include "app/SecondaryPages.h"
#include "app/TFormAboutProg.h"
#include "app/TFormAboutZM.h"
#include "common/ProgramFolder.h"
#include "config/ui/TFormDiap.h"
#include "config/ui/TFormOptions.h"
#include "database/ui/TFormModels.h"
#include "database/ui/TFormReports.h"
#include "device/Records.h"
#include "device/ui/TFrame_SendCommand.h"
#include "graphs/GASE_GRAPH.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

namespace {

// Continuous reception: the instrument repeats ZMX_get_result on its own.
constexpr int RepeatOn = 1;
constexpr int RepeatOff = 0;
constexpr quint16 NoArgument = 0;

const char *const ManualFile = "zm_manual.doc";
const char *const ManualPdfFile = "zm_manual.pdf";
constexpr int ManualMissingCode = 2;
constexpr int ManualNoViewerCode = 31;

} // namespace

MenuCommands::MenuCommands(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
    , m_manualOpener(
          [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); })
{ }

void MenuCommands::setManualOpener(DocumentOpener opener)
{
    m_manualOpener = std::move(opener);
}

void MenuCommands::requestOperation(int code, int repeat, quint16 argument)
{
    m_parts.sendCommand.RequestOperation(ZmxCommand(code), repeat, argument);
}

void MenuCommands::resumeReception()
{
    requestOperation(ZMX_get_result, RepeatOn, NoArgument);
}

void MenuCommands::connectMenu()
{
    MainMenu &m = m_parts.menu;
    connect(m.NOpen, &QAction::triggered, this, &MenuCommands::NOpenClick);
    connect(m.NSaveAs, &QAction::triggered, this, &MenuCommands::NSaveAsClick);
    connect(m.NExit, &QAction::triggered, this, &MenuCommands::NExitClick);
    connect(m.NStartDiagnose, &QAction::triggered, this, &MenuCommands::NStartDiagnoseClick);
    connect(m.NDannyePriem, &QAction::triggered, this, &MenuCommands::NDannyePriemClick);
    connect(m.NDannyeStop, &QAction::triggered, this, &MenuCommands::NDannyeStopClick);
    connect(m.NPropan, &QAction::triggered, this, &MenuCommands::NPropanClick);
    connect(m.NGostLimits, &QAction::triggered, this, &MenuCommands::NGostLimitsClick);
    connect(m.NDiagnose, &QAction::triggered, this, &MenuCommands::NDiagnoseClick);
    connect(m.NDiscover, &QAction::triggered, this, &MenuCommands::NDiscoverClick);
    connect(m.N5, &QAction::triggered, this, &MenuCommands::N5Click);
    connect(m.NResults, &QAction::triggered, this, &MenuCommands::NResultsClick);
    connect(m.NDiapazon, &QAction::triggered, this, &MenuCommands::NDiapazonClick);
    connect(m.NOptions, &QAction::triggered, this, &MenuCommands::NOptionsClick);
    connect(m.N13, &QAction::triggered, this, &MenuCommands::N13Click);
    connect(m.NHelp, &QAction::triggered, this, &MenuCommands::NHelpClick);
    connect(m.NZelmorInfo, &QAction::triggered, this, &MenuCommands::NZelmorInfoClick);
    connect(m.NAbout, &QAction::triggered, this, &MenuCommands::NAboutClick);
    connectSteps();
}

void MenuCommands::connectSteps()
{
    DiagnosePage &p = m_parts.diagnosePage;
    EmissionProcedureView *test = &m_parts.test;
    MainMenu &m = m_parts.menu;
    connect(p.btnZero, &QPushButton::clicked, test, &EmissionProcedureView::btnZeroClick);
    connect(p.btnMinRatio, &QPushButton::clicked, test, &EmissionProcedureView::btnMinRatioClick);
    connect(p.btnMaxRatio, &QPushButton::clicked, test, &EmissionProcedureView::btnMaxRatioClick);
    connect(p.btnReport, &QPushButton::clicked, test, &EmissionProcedureView::btnReportClick);
    connect(p.btnObd, &QPushButton::clicked, test, &EmissionProcedureView::btnObdClick);
    // The hidden menu's F1 … F5 press the buttons, so both ways run one handler.
    connect(m.KorZero1, &QAction::triggered, p.btnZero, &QPushButton::click);
    connect(m.MinRotate1, &QAction::triggered, p.btnMinRatio, &QPushButton::click);
    connect(m.MaxRotate1, &QAction::triggered, p.btnMaxRatio, &QPushButton::click);
    connect(m.Report1, &QAction::triggered, p.btnReport, &QPushButton::click);
    connect(m.ObdRead1, &QAction::triggered, p.btnObd, &QPushButton::click);
}

void MenuCommands::NOpenClick()
{
    m_parts.discovery.NOpenClick();
}

void MenuCommands::NSaveAsClick()
{
    m_parts.discovery.NSaveAsClick();
}

void MenuCommands::NExitClick()
{
    if (MessageBoxes::confirm(
            &m_parts.window, QStringLiteral("Вы действительно хотите выйти из программы?")))
        m_parts.window.close();
}

void MenuCommands::NStartDiagnoseClick()
{
    if (requireDatabase())
        m_parts.test.NStartDiagnoseClick();
}

void MenuCommands::NDannyePriemClick()
{
    resumeReception();
}

void MenuCommands::NDannyeStopClick()
{
    m_parts.sendCommand.StopCommand();
}

void MenuCommands::NPropanClick(bool checked)
{
    // The item's check mark and the indicator "Pr" follow each press; the
    // key itself toggles the instrument between propane and hexane.
    requestOperation(ZMX_Press_Key, RepeatOff, ZmxKeyPropane);
    m_parts.diagnosePage.panPropan->setVisible(checked);
    resumeReception();
}

void MenuCommands::N13Click()
{
    requestOperation(ZMX_Press_Key, RepeatOff, ZmxKeyCompressor);
    resumeReception();
}

void MenuCommands::NGostLimitsClick(bool checked)
{
    if (GASE_GRAPH *graph = m_parts.gasGraph()) {
        graph->ShowLimits = checked;
        graph->Draw();
    }
}

void MenuCommands::NDiagnoseClick()
{
    // The measurement file commands belong to the research page.
    m_parts.menu.NOpen->setEnabled(false);
    m_parts.menu.NSaveAs->setEnabled(false);
    m_parts.menu.NDiagnose->setChecked(true);
    m_parts.tabs.setCurrentIndex(SecondaryPages::DiagnoseIndex);
    m_parts.discovery.leaveResearchMode();
}

void MenuCommands::NDiscoverClick()
{
    m_parts.menu.NOpen->setEnabled(true);
    m_parts.menu.NSaveAs->setEnabled(true);
    m_parts.menu.NDiscover->setChecked(true);
    m_parts.tabs.setCurrentIndex(SecondaryPages::DiscoveryIndex);
    m_parts.discovery.enterResearchMode();
}

void MenuCommands::N5Click()
{
    if (requireDatabase())
        showModal(m_parts.dialogs.FormModels, QStringLiteral("Редактор моделей недоступен."));
}

void MenuCommands::NResultsClick()
{
    if (requireDatabase() && m_parts.dialogs.FormReports)
        m_parts.dialogs.FormReports->showReports();
}

void MenuCommands::NDiapazonClick()
{
    showModal(m_parts.dialogs.FormDiap, QStringLiteral("Диалог диапазонов недоступен."));
}

void MenuCommands::NOptionsClick()
{
    showModal(m_parts.dialogs.FormOptions, QStringLiteral("Диалог настроек недоступен."));
}

void MenuCommands::NZelmorInfoClick()
{
    showModal(m_parts.dialogs.FormAboutZM, QString());
}

void MenuCommands::NAboutClick()
{
    showModal(m_parts.dialogs.FormAboutProg, QString());
}

void MenuCommands::NHelpClick()
{
    // The manual ships as a word-processor document and as a PDF: a desktop
    // without a viewer for the first still opens the second.
    int code = ManualMissingCode;
    for (const char *name : { ManualFile, ManualPdfFile }) {
        const QString manual = programFolder() + QLatin1String(name);
        if (!QFileInfo::exists(manual))
            continue;
        if (m_manualOpener && m_manualOpener(manual))
            return;
        code = ManualNoViewerCode;
    }
    MessageBoxes::error(&m_parts.window, QStringLiteral("Ошибка"),
        QStringLiteral("Невозможно открыть файл помощи. Код ошибки %1").arg(code));
}

void MenuCommands::showModal(QWidget *dialog, const QString &missing)
{
    auto *box = qobject_cast<QDialog *>(dialog);
    if (!box) {
        if (!missing.isEmpty())
            MessageBoxes::warning(&m_parts.window, missing);
        return;
    }
    box->exec();
}

bool MenuCommands::requireDatabase()
{
    // A server that was away at start-up may be back: its tables open now.
    if (m_parts.database.ensureOpen())
        return true;
    QString text = QStringLiteral("База данных недоступна.");
    if (!m_parts.database.reason().isEmpty())
        text += QLatin1Char('\n') + m_parts.database.reason();
    MessageBoxes::warning(&m_parts.window, text);
    return false;
}

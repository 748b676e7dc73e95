#include "config/ui/TFormOptions.h"

#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "config/IniFile.h"
#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>

#include "config/ui/OptionsLayout.h"

namespace {

// The file codes a check box as 0 clear, 1 ticked, 2 greyed.
constexpr int stateClear = 0;
constexpr int stateTicked = 1;
constexpr int stateGreyed = 2;

void setCheckState(QCheckBox *box, int state)
{
    // A greyed state comes only from the file; the operator ticks or clears.
    box->setTristate(state == stateGreyed);
    box->setCheckState(state == stateGreyed ? Qt::PartiallyChecked
            : state == stateTicked          ? Qt::Checked
                                            : Qt::Unchecked);
}

int checkState(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return stateTicked;
    case Qt::PartiallyChecked:
        return stateGreyed;
    default:
        return stateClear;
    }
}

} // namespace

TFormOptions::TFormOptions(QWidget *parent, const QString &settingsPath)
    : QDialog(parent)
    , m_settings(settingsPath.isEmpty() ? Settings::defaultPath() : settingsPath)
    , m_installedPrinters([] { return QPrinterInfo::availablePrinterNames(); })
{
    buildView();
    controlsFromSettings();
}

TFormOptions::~TFormOptions()
{
    delete m_ownPrinter;
}

void TFormOptions::controlsFromSettings()
{
    const OptionControls &c = m_settings.Controls;
    cboxPortName->setEditText(c.PortName);
    cboxSpeed->setEditText(c.Speed);
    edTimeout->setText(c.Timeout);
    edLineWidth->setText(c.LineWidth);
    setCheckState(cbShowGrid, c.ShowGrid);
    setCheckState(cbShowEdIzm, c.ShowEdIzm);
    cboxStartMode->setCurrentIndex(c.StartMode);
    cboxLanguage->setCurrentIndex(c.Language);
    cboxPrinters->setEditText(c.Printer);
    edReportPlace->setText(c.ReportPlace);
    edReportOperator->setText(c.ReportOperator);
    edVerificationCertificate->setText(c.VerificationCertificate);
    verificationDateToControls(c.VerificationValidUntil);
    obdControlsFrom(m_settings.Obd);
}

void TFormOptions::settingsFromControls()
{
    OptionControls &c = m_settings.Controls;
    c.PortName = cboxPortName->currentText();
    c.Speed = cboxSpeed->currentText();
    c.Timeout = edTimeout->text();
    c.LineWidth = edLineWidth->text();
    c.ShowGrid = checkState(cbShowGrid);
    c.ShowEdIzm = checkState(cbShowEdIzm);
    c.StartMode = cboxStartMode->currentIndex();
    c.Language = cboxLanguage->currentIndex();
    c.Printer = cboxPrinters->currentText();
    c.ReportPlace = edReportPlace->text();
    c.ReportOperator = edReportOperator->text().trimmed();
    c.VerificationCertificate = edVerificationCertificate->text().trimmed();
    c.VerificationValidUntil = verificationDateFromControls();
    m_settings.Obd = obdOptionsFromControls();
}

void TFormOptions::fillControlsFromAppliedOptions()
{
    const OptionsRecord &a = m_settings.AppliedOptions;
    cboxPortName->setEditText(a.ComName);
    cboxSpeed->setEditText(QString::number(a.Speed));
    edTimeout->setText(QString::number(a.TimeOut));
    edLineWidth->setText(QString::number(a.LineWidth));
    setCheckState(cbShowGrid, a.ShowGrid);
    setCheckState(cbShowEdIzm, a.ShowEdIzm);
    cboxStartMode->setCurrentIndex(a.StartMode);
    cboxLanguage->setCurrentIndex(a.Language);
    edReportPlace->setText(a.Place);
    edReportOperator->setText(a.Operator);
    edVerificationCertificate->setText(a.VerificationCertificate);
    verificationDateToControls(a.VerificationValidUntil);
}

void TFormOptions::LoadSettings()
{
    FillPortList();
    m_settings.LoadSettings();
    controlsFromSettings();
    applyReportPrinter();
}

void TFormOptions::SaveSettings()
{
    settingsFromControls();
    m_settings.SaveSettings();
    applyReportPrinter();
}

void TFormOptions::applyReportPrinter()
{
    // A stored name of a printer that is gone leaves the report printer as
    // it is; printing then tells the operator where the report went.
    const QString name = m_settings.AppliedOptions.PrinterName;
    if (m_reportPrinter && !name.isEmpty() && m_installedPrinters().contains(name))
        m_reportPrinter->setPrinterName(name);
}

void TFormOptions::SaveDisplayRanges()
{
    m_settings.SaveDisplayRanges();
}

void TFormOptions::SaveDisplayRanges(const DisplayLimits &limits)
{
    m_settings.SaveDisplayRanges(limits);
}

void TFormOptions::FillPortList()
{
    // Refilling keeps what the operator typed or the settings chose.
    const QString text = cboxPortName->currentText();
    cboxPortName->clear();
    const QStringList ports = m_portListSource ? m_portListSource() : QStringList();
    cboxPortName->addItems(ports);
    cboxPortName->setEditText(text);
    fillObdPortList(ports);
}

void TFormOptions::setDisplayLimitsSource(std::function<DisplayLimits()> source)
{
    m_settings.setDisplayLimitsSource(std::move(source));
}

void TFormOptions::setPortListSource(std::function<QStringList()> source)
{
    m_portListSource = std::move(source);
}

void TFormOptions::setConnectDevice(std::function<void()> connectDevice)
{
    m_connectDevice = std::move(connectDevice);
}

void TFormOptions::setReportPrinter(QPrinter *printer)
{
    m_reportPrinter = printer;
}

void TFormOptions::setInstalledPrinters(std::function<QStringList()> list)
{
    m_installedPrinters = std::move(list);
}

void TFormOptions::setPrinterSetupDialog(std::function<bool(QPrinter *, QWidget *)> dialog)
{
    m_printerSetupDialog = std::move(dialog);
}

void TFormOptions::setErrorDisplay(std::function<void(const QString &)> display)
{
    m_errorDisplay = std::move(display);
}

void TFormOptions::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormOptions::FormShow()
{
    listOptions->setFocus();
    MainCaption->move(OptionsLayout::captionRect.topLeft());
    listOptions->setCurrentRow(0);
    listOptionsClick();

    fillControlsFromAppliedOptions();

    const QStringList printers = m_installedPrinters();
    cboxPrinters->clear();
    cboxPrinters->addItems(printers);
    cboxPrinters->setEditText(QString());
    if (!printers.isEmpty()) {
        const QString stored = m_settings.AppliedOptions.PrinterName;
        const int entry = cboxPrinters->findText(stored, Qt::MatchFixedString);
        if (entry >= 0)
            cboxPrinters->setCurrentIndex(entry);
        cboxPrinters->setEditText(stored);
        cboxPrintersCloseUp();
    }

    ShownLinkChoice = currentLinkChoice();
    m_shownDatabase = DatabaseSettings::read(IniFile(m_settings.path()));
    databaseControlsFrom(m_shownDatabase);
    m_shownObd = m_settings.Obd;
    obdControlsFrom(m_shownObd);
}

TFormOptions::LinkChoice TFormOptions::currentLinkChoice() const
{
    // Texts, not list positions: a typed port (a pseudo-terminal) that
    // changes must reconnect as well as a chosen one.
    return LinkChoice { cboxPortName->currentText().trimmed(), cboxSpeed->currentText().trimmed(),
        tryStrToInt(edTimeout->text()) };
}

void TFormOptions::listOptionsClick()
{
    const int row = listOptions->currentRow();
    if (row < 0 || row >= tabsOptions->count())
        return;
    tabsOptions->setCurrentIndex(row);
    MainCaption->setText(listOptions->item(row)->text());
}

void TFormOptions::btnOKClick()
{
    // The dialog stays open on the page that cannot be kept.
    if (const QString refusal = obdRefusal(); !refusal.isEmpty()) {
        listOptions->setCurrentRow(tabsOptions->indexOf(cboxObdPort->parentWidget()));
        MessageBoxes::warning(this, refusal);
        return;
    }
    SaveSettings();
    saveDatabaseSettings();
    if (!(currentLinkChoice() == ShownLinkChoice) && m_connectDevice)
        m_connectDevice();
    if (!(m_settings.Obd == m_shownObd)) {
        m_shownObd = m_settings.Obd;
        if (m_obdChanged)
            m_obdChanged(m_settings.Obd);
    }
    accept();
}

void TFormOptions::btnCancelClick()
{
    reject();
}

void TFormOptions::btnPrinterSetupClick()
{
    if (cboxPrinters->count() == 0) {
        MessageBoxes::warning(this, QStringLiteral("Принтер не найден."));
        return;
    }
    QPrinter *printer = m_reportPrinter;
    if (!printer) {
        if (!m_ownPrinter)
            m_ownPrinter = new QPrinter;
        printer = m_ownPrinter;
    }
    if (!m_chosenPrinter.isEmpty())
        printer->setPrinterName(m_chosenPrinter);
    bool accepted = false;
    if (m_printerSetupDialog) {
        accepted = m_printerSetupDialog(printer, this);
    } else {
        QPrintDialog dialog(printer, this);
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        accepted = dialog.exec() == QDialog::Accepted;
    }
    // The printer chosen in the set-up is the one OK keeps in the settings.
    if (accepted && !printer->printerName().isEmpty()) {
        const int entry = cboxPrinters->findText(printer->printerName(), Qt::MatchFixedString);
        if (entry >= 0)
            cboxPrinters->setCurrentIndex(entry);
        cboxPrinters->setEditText(printer->printerName());
        cboxPrintersCloseUp();
    }
}

void TFormOptions::cboxPrintersCloseUp()
{
    if (cboxPrinters->count() > 0)
        m_chosenPrinter = cboxPrinters->currentText();
}

void TFormOptions::runHandler(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const ZelmorError &e) {
        if (m_errorDisplay) {
            m_errorDisplay(e.message());
        } else {
            MessageBoxes::warning(this, e.message());
        }
    }
}

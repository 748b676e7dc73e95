#pragma once

#include "config/DatabaseSettings.h"
#include "config/Settings.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QToolButton;

// The options dialog "Настройки": serial link, graphs, interface, printer,
// the place of inspection and where results are stored. Created once at start; it owns the settings
// file for the whole run. Its port and speed choices are also where the main window's connect
// sequence takes the port and speed from.
class TFormOptions : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ClientWidth = 494;
    static constexpr int ClientHeight = 306;
    static constexpr int MinLineWidth = 1;
    static constexpr int MaxLineWidth = 5;

    // The settings file of the program folder, or the one given (tests).
    explicit TFormOptions(QWidget *parent = nullptr, const QString &settingsPath = QString());
    ~TFormOptions() override;

    // The settings file operations; they throw ConversionError or IoError as
    // Settings does, leaving the controls as they are.
    void LoadSettings();
    void SaveSettings();
    void SaveDisplayRanges();
    void SaveDisplayRanges(const DisplayLimits &limits);
    void FillPortList();

    const OptionsRecord &AppliedOptions() const { return m_settings.AppliedOptions; }
    // "CntMeasure" from the file, limited to what a step holds (1 ... 10).
    int ReadingsPerStep() const { return m_settings.readingsPerStep(); }
    const DisplayLimits &displayLimits() const { return m_settings.Limits; }
    const Settings &settings() const { return m_settings; }

    // The gas graph's current limits, for SaveDisplayRanges.
    void setDisplayLimitsSource(std::function<DisplayLimits()> source);
    // The serial ports the port list offers; without one the list only
    // holds what the settings or the operator typed.
    void setPortListSource(std::function<QStringList()> source);
    // The main window's connect sequence, run by OK after a change of the link.
    void setConnectDevice(std::function<void()> connectDevice);
    // The printer reports are printed on: the set-up button configures it,
    // and the printer chosen in the list and kept in the settings file
    // ("Printer"/"Name") becomes it when the settings are loaded or saved.
    void setReportPrinter(QPrinter *printer);
    // The system's printers (QPrinterInfo by default; tests replace it).
    void setInstalledPrinters(std::function<QStringList()> list);
    // Opens the print set-up on the printer; true when the operator accepted.
    void setPrinterSetupDialog(std::function<bool(QPrinter *, QWidget *)> dialog);
    // Asks for the root certificate file, starting at the given path; an
    // empty text when the operator cancels (a file dialog by default).
    void setCertificateFileDialog(std::function<QString(QWidget *, const QString &)> dialog);
    // How an error of OK is shown (the application's exception display);
    // a warning box titled "Сообщение" when not set.
    void setErrorDisplay(std::function<void(const QString &)> display);

    // Handlers, public so that the main window and tests can run them.
    void FormShow();
    void listOptionsClick();
    void btnOKClick();
    void btnCancelClick();
    void btnPrinterSetupClick();
    void cboxPrintersCloseUp();
    void cboxDbEngineChange();
    void btnDbSslRootCertClick();

    // Where results are stored as the page "База данных" shows it now.
    DatabaseSettings databaseSettingsFromControls() const;

    // ---- page "OBD" (TFormOptionsObd.cpp) ----------------------------------
    // Told the adapter's options after an OK that changed them; the program
    // applies them at once.
    void setObdChanged(std::function<void(const ObdOptions &)> changed);
    // The device a port name opens ("COM1" is /dev/ttyS0, a bare name lies
    // below /dev); the name itself when not set.
    void setPortDevice(std::function<QString(const QString &)> device);
    // The adapter's options as the page shows them now.
    ObdOptions obdOptionsFromControls() const;
    // Why OK cannot keep the page's choice (no port, the instrument's own
    // port); empty when it can.
    QString obdRefusal() const;
    QCheckBox *cbObdEnabled = nullptr;
    QComboBox *cboxObdPort = nullptr;
    QLabel *labObdNote = nullptr;

    // Controls; each carries its name as its objectName, so tests and
    // screen readers find it by that name.
    QListWidget *listOptions = nullptr;
    QLabel *MainCaption = nullptr;
    QStackedWidget *tabsOptions = nullptr;
    QComboBox *cboxPortName = nullptr;
    QComboBox *cboxSpeed = nullptr;
    QLineEdit *edTimeout = nullptr;
    QLineEdit *edLineWidth = nullptr;
    QWidget *UpDown1 = nullptr;
    QCheckBox *cbShowGrid = nullptr;
    QCheckBox *cbShowEdIzm = nullptr;
    QComboBox *cboxStartMode = nullptr;
    QComboBox *cboxLanguage = nullptr;
    QComboBox *cboxPrinters = nullptr;
    QPushButton *btnPrinterSetup = nullptr;
    QLineEdit *edReportPlace = nullptr;
    QLineEdit *edReportOperator = nullptr;
    QLineEdit *edVerificationCertificate = nullptr;
    QCheckBox *cbVerificationValidUntil = nullptr; // a validity date is set
    QDateEdit *edVerificationValidUntil = nullptr;
    QComboBox *cboxDbEngine = nullptr; // embedded file / server
    QLineEdit *edDbHost = nullptr;
    QSpinBox *edDbPort = nullptr;
    QLineEdit *edDbName = nullptr;
    QLineEdit *edDbUser = nullptr;
    QLineEdit *edDbService = nullptr; // takes the place of the four above
    QComboBox *cboxDbSslMode = nullptr; // DatabaseSettings::SslMode in item order
    QLineEdit *edDbSslRootCert = nullptr;
    QToolButton *btnDbSslRootCert = nullptr;
    QLabel *labDbNote = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // What decides whether OK reconnects: the link choice when the dialog
    // was opened.
    struct LinkChoice
    {
        QString port;
        QString speed;
        std::optional<int> timeout;
        bool operator==(const LinkChoice &) const = default;
    };

    void buildView();
    QWidget *buildLinkPage();
    QWidget *buildGraphsPage();
    QWidget *buildInterfacePage();
    QWidget *buildPrintingPage();
    QWidget *buildReportPage();
    QWidget *buildDatabasePage();
    QWidget *buildInstrumentPage();
    void verificationDateToControls(const QDate &date);
    QDate verificationDateFromControls() const;
    QWidget *buildObdPage();
    void obdControlsFrom(const ObdOptions &options);
    void fillObdPortList(const QStringList &ports);
    bool samePort(const QString &a, const QString &b) const;
    void databaseControlsFrom(const DatabaseSettings &settings);
    // Writes the section "Database" when the operator changed the page.
    void saveDatabaseSettings();
    void updateDbDefaultSslText();
    void stepLineWidth(int step);
    void controlsFromSettings();
    void settingsFromControls();
    void fillControlsFromAppliedOptions();
    LinkChoice currentLinkChoice() const;
    void runHandler(const std::function<void()> &handler);
    void applyReportPrinter();

    Settings m_settings;
    LinkChoice ShownLinkChoice;
    DatabaseSettings m_shownDatabase; // as the page showed it when opened
    ObdOptions m_shownObd; // as the page "OBD" showed it when opened
    QString m_chosenPrinter; // the printer-list object's choice
    QPrinter *m_reportPrinter = nullptr;
    QPrinter *m_ownPrinter = nullptr;
    std::function<QStringList()> m_portListSource;
    std::function<void()> m_connectDevice;
    std::function<void(const QString &)> m_errorDisplay;
    std::function<QStringList()> m_installedPrinters;
    std::function<bool(QPrinter *, QWidget *)> m_printerSetupDialog;
    std::function<QString(QWidget *, const QString &)> m_certificateFileDialog;
    std::function<void(const ObdOptions &)> m_obdChanged;
    std::function<QString(const QString &)> m_portDevice;
};

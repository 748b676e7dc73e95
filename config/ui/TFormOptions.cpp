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

namespace {

const QStringList pageNames
    = { QStringLiteral("Связь"), QStringLiteral("Графики"), QStringLiteral("Интерфейс"),
          QStringLiteral("Печать"), QStringLiteral("Отчет"), QStringLiteral("База данных") };
const QStringList speeds = { QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
    QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
    QStringLiteral("57600"), QStringLiteral("115200") };

// Geometry of the dialog, in pixels of its client area.
constexpr int fontPixels = 11;
constexpr int captionFontPixels = 13;
const QRect listRect(8, 3, 121, 262);
const QRect captionRect(132, 3, 361, 25);
// The page control's own tabs lie under the caption; its pages start below it.
const QRect pagesRect(135, 28, 356, 234);
constexpr int stripTop = 265;
constexpr int stripHeight = 41;
// OK and "Отмена" stand right-aligned under the caption, wide enough for
// their captions in the dialog's font.
const QSize buttonSize(85, 25);
const QPoint cancelPos(captionRect.right() - buttonSize.width() + 1, 11);
const QPoint okPos(cancelPos.x() - 6 - buttonSize.width(), 11);
constexpr int controlLeft = 32;
constexpr int labelAbove = 16; // a label stands this far above its control
constexpr int editHeight = 21;
constexpr int narrowWidth = 121;
constexpr int wideWidth = 257;
constexpr int upDownWidth = 16;

QLabel *labelFor(QWidget *page, const char *name, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, page);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    label->setGeometry(buddy->x(), buddy->y() - labelAbove, wideWidth, labelAbove);
    return label;
}

QComboBox *comboBox(QWidget *page, const char *name, bool editable, int top, int width)
{
    auto *box = new QComboBox(page);
    box->setObjectName(QLatin1String(name));
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setGeometry(controlLeft, top, width, editHeight);
    return box;
}

QLineEdit *lineEdit(QWidget *page, const char *name, int top, int width)
{
    auto *edit = new QLineEdit(page);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(controlLeft, top, width, editHeight);
    return edit;
}

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

void TFormOptions::buildView()
{
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Настройки"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont dialogFont(QStringLiteral("Verdana"));
    dialogFont.setPixelSize(fontPixels);
    setFont(dialogFont);

    listOptions = new QListWidget(this);
    listOptions->setObjectName(QStringLiteral("listOptions"));
    listOptions->setGeometry(listRect);
    listOptions->addItems(pageNames);

    tabsOptions = new QStackedWidget(this);
    tabsOptions->setObjectName(QStringLiteral("tabsOptions"));
    tabsOptions->setGeometry(pagesRect);
    tabsOptions->addWidget(buildLinkPage());
    tabsOptions->addWidget(buildGraphsPage());
    tabsOptions->addWidget(buildInterfacePage());
    tabsOptions->addWidget(buildPrintingPage());
    tabsOptions->addWidget(buildReportPage());
    tabsOptions->addWidget(buildDatabasePage());

    MainCaption = new QLabel(pageNames.first(), this);
    MainCaption->setObjectName(QStringLiteral("MainCaption"));
    MainCaption->setGeometry(captionRect);
    MainCaption->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MainCaption->setAutoFillBackground(true);
    QPalette captionPalette = MainCaption->palette();
    captionPalette.setColor(QPalette::Window, Qt::gray);
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    MainCaption->setPalette(captionPalette);
    QFont captionFont(QStringLiteral("Verdana"));
    captionFont.setPixelSize(captionFontPixels);
    captionFont.setBold(true);
    MainCaption->setFont(captionFont);
    MainCaption->setIndent(6);

    auto *strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("PanelButtons"));
    strip->setGeometry(0, stripTop, ClientWidth, stripHeight);
    auto *line = new QFrame(strip);
    line->setObjectName(QStringLiteral("Bevel1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, 0, ClientWidth, 2);
    btnOK = new QPushButton(QStringLiteral("ОК"), strip);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(QRect(okPos, buttonSize));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Отмена"), strip);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(QRect(cancelPos, buttonSize));

    connect(listOptions, &QListWidget::currentRowChanged, this, [this] { listOptionsClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { runHandler([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnPrinterSetup, &QPushButton::clicked, this,
        [this] { runHandler([this] { btnPrinterSetupClick(); }); });
    connect(cboxPrinters, &QComboBox::activated, this, [this] { cboxPrintersCloseUp(); });
}

QWidget *TFormOptions::buildLinkPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabConnect"));
    cboxPortName = comboBox(page, "cboxPortName", true, 32, narrowWidth);
    labelFor(page, "Label1", QStringLiteral("Порт:"), cboxPortName);
    cboxSpeed = comboBox(page, "cboxSpeed", true, 104, narrowWidth);
    cboxSpeed->addItems(speeds);
    labelFor(page, "Label2", QStringLiteral("Скорость:"), cboxSpeed);
    edTimeout = lineEdit(page, "edTimeout", 176, narrowWidth);
    labelFor(page, "Label3", QStringLiteral("Таймаут:"), edTimeout);
    return page;
}

QWidget *TFormOptions::buildGraphsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabGraphs"));
    edLineWidth = lineEdit(page, "edLineWidth", 32, narrowWidth - upDownWidth);
    edLineWidth->setReadOnly(true);
    labelFor(page, "Label4", QStringLiteral("Толщина линий:"), edLineWidth);

    UpDown1 = new QWidget(page);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(edLineWidth->geometry().right() + 1, 32, upDownWidth, editHeight);
    auto *up = new QToolButton(UpDown1);
    up->setObjectName(QStringLiteral("UpDown1Up"));
    up->setArrowType(Qt::UpArrow);
    up->setGeometry(0, 0, upDownWidth, editHeight / 2);
    auto *down = new QToolButton(UpDown1);
    down->setObjectName(QStringLiteral("UpDown1Down"));
    down->setArrowType(Qt::DownArrow);
    down->setGeometry(0, editHeight / 2, upDownWidth, editHeight - editHeight / 2);
    connect(up, &QToolButton::clicked, this, [this] { stepLineWidth(+1); });
    connect(down, &QToolButton::clicked, this, [this] { stepLineWidth(-1); });

    cbShowGrid = new QCheckBox(QStringLiteral("Отображать сетку"), page);
    cbShowGrid->setObjectName(QStringLiteral("cbShowGrid"));
    cbShowGrid->setGeometry(controlLeft, 72, wideWidth, editHeight);
    cbShowEdIzm = new QCheckBox(QStringLiteral("Отображать еденицы измерений"), page);
    cbShowEdIzm->setObjectName(QStringLiteral("cbShowEdIzm"));
    cbShowEdIzm->setGeometry(controlLeft, 100, wideWidth + 40, editHeight);
    // Once the operator clicks, only ticked and clear remain.
    for (QCheckBox *box : { cbShowGrid, cbShowEdIzm })
        connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
    return page;
}

QWidget *TFormOptions::buildInterfacePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabInterface"));
    cboxStartMode = comboBox(page, "cboxStartMode", false, 32, wideWidth);
    cboxStartMode->addItems(
        { QStringLiteral("Диагностический режим"), QStringLiteral("Исследовательский режим") });
    labelFor(page, "labWorkType", QStringLiteral("Режим по умолчанию:"), cboxStartMode);
    cboxLanguage = comboBox(page, "cboxLanguage", false, 104, wideWidth);
    cboxLanguage->addItem(QStringLiteral("Русский (Russian)"));
    labelFor(page, "labLang", QStringLiteral("Язык:"), cboxLanguage);
    return page;
}

QWidget *TFormOptions::buildPrintingPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabPrinting"));
    cboxPrinters = comboBox(page, "cboxPrinters", true, 32, wideWidth);
    labelFor(page, "Label5", QStringLiteral("Принтер:"), cboxPrinters);
    btnPrinterSetup = new QPushButton(QStringLiteral("Настройка..."), page);
    btnPrinterSetup->setObjectName(QStringLiteral("btnPrinterSetup"));
    btnPrinterSetup->setGeometry(200, 64, 89, 25);
    return page;
}

QWidget *TFormOptions::buildReportPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabReport"));
    edReportPlace = lineEdit(page, "edReportPlace", 32, wideWidth);
    labelFor(page, "Label7", QStringLiteral("Место проведения диагностики:"), edReportPlace);
    return page;
}

QWidget *TFormOptions::buildDatabasePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabDatabase"));
    // Captions on the left, controls on the right: five rows and the note
    // below them fit the page.
    constexpr int captionLeft = 8;
    constexpr int fieldLeft = 112;
    constexpr int rowStep = 27;
    const auto row
        = [&](const char *name, const QString &caption, QWidget *field, int top, int width) {
              field->setParent(page);
              field->setObjectName(QLatin1String(name));
              field->setGeometry(fieldLeft, top, width, editHeight);
              auto *label = new QLabel(caption, page);
              label->setObjectName(QLatin1String(name) + QStringLiteral("Label"));
              label->setBuddy(field);
              label->setGeometry(captionLeft, top, fieldLeft - captionLeft - 4, editHeight);
          };
    constexpr int fieldWidth = 236;
    cboxDbEngine = new QComboBox;
    cboxDbEngine->addItem(QStringLiteral("Файл на этом компьютере"));
    cboxDbEngine->addItem(QStringLiteral("Сервер PostgreSQL"));
    row("cboxDbEngine", QStringLiteral("Хранение:"), cboxDbEngine, 8, fieldWidth);
    edDbHost = new QLineEdit;
    edDbHost->setPlaceholderText(QStringLiteral("имя сервера или папка сокета"));
    row("edDbHost", QStringLiteral("Сервер:"), edDbHost, 8 + rowStep, fieldWidth);
    edDbPort = new QSpinBox;
    edDbPort->setRange(1, 65535);
    edDbPort->setButtonSymbols(QAbstractSpinBox::NoButtons);
    row("edDbPort", QStringLiteral("Порт:"), edDbPort, 8 + 2 * rowStep, 72);
    edDbName = new QLineEdit;
    row("edDbName", QStringLiteral("База:"), edDbName, 8 + 3 * rowStep, fieldWidth);
    edDbUser = new QLineEdit;
    edDbUser->setPlaceholderText(QStringLiteral("имя учётной записи"));
    row("edDbUser", QStringLiteral("Пользователь:"), edDbUser, 8 + 4 * rowStep, fieldWidth);

    labDbNote = new QLabel(page);
    labDbNote->setObjectName(QStringLiteral("labDbNote"));
    labDbNote->setWordWrap(true);
    labDbNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labDbNote->setGeometry(captionLeft, 8 + 5 * rowStep + 4, 340, 234 - (8 + 5 * rowStep + 4));
    labDbNote->setText(QStringLiteral(
        "Пароль здесь не хранится: его берёт из файла паролей PostgreSQL (~/.pgpass) "
        "или из файла служб (~/.pg_service.conf).\n"
        "Изменение вступает в силу после перезапуска программы."));
    connect(cboxDbEngine, &QComboBox::currentIndexChanged, this, [this] { cboxDbEngineChange(); });
    return page;
}

void TFormOptions::cboxDbEngineChange()
{
    const bool server = cboxDbEngine->currentIndex() == 1;
    for (QWidget *w : std::initializer_list<QWidget *> { edDbHost, edDbPort, edDbName, edDbUser })
        w->setEnabled(server);
}

void TFormOptions::databaseControlsFrom(const DatabaseSettings &settings)
{
    cboxDbEngine->setCurrentIndex(settings.isServer() ? 1 : 0);
    edDbHost->setText(settings.host);
    edDbPort->setValue(settings.port);
    edDbName->setText(settings.name);
    edDbUser->setText(settings.user);
    cboxDbEngineChange();
}

DatabaseSettings TFormOptions::databaseSettingsFromControls() const
{
    DatabaseSettings s;
    s.driver = cboxDbEngine->currentIndex() == 1 ? DatabaseSettings::Driver::Psql
                                                 : DatabaseSettings::Driver::Sqlite;
    s.host = edDbHost->text().trimmed();
    s.port = edDbPort->value();
    s.name = edDbName->text().trimmed();
    if (s.name.isEmpty())
        s.name = DatabaseSettings().name;
    s.user = edDbUser->text().trimmed();
    return s;
}

void TFormOptions::saveDatabaseSettings()
{
    const DatabaseSettings chosen = databaseSettingsFromControls();
    // A file that never named a server keeps no section until the operator
    // sets one; what the page showed unchanged is not written again.
    if (chosen == m_shownDatabase)
        return;
    IniFile ini(m_settings.path());
    chosen.write(ini);
    m_shownDatabase = chosen;
}

void TFormOptions::stepLineWidth(int step)
{
    // The up-down starts from what the edit shows, kept within its range.
    const int now = qBound(
        MinLineWidth, tryStrToInt(edLineWidth->text()).value_or(MinLineWidth), MaxLineWidth);
    edLineWidth->setText(QString::number(qBound(MinLineWidth, now + step, MaxLineWidth)));
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
    if (m_portListSource)
        cboxPortName->addItems(m_portListSource());
    cboxPortName->setEditText(text);
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
    MainCaption->move(captionRect.topLeft());
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
    SaveSettings();
    saveDatabaseSettings();
    if (!(currentLinkChoice() == ShownLinkChoice) && m_connectDevice)
        m_connectDevice();
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

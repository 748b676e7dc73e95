#include "config/ui/TFormOptions.h"

#include "config/ui/OptionsLayout.h"

#include "common/NumberText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

// The dialog's frame (the page list, the caption, OK and "Отмена") and its
// pages but the database's.

using namespace OptionsLayout;

namespace {

// One line a page, in the order of the pages.
const QStringList pageNames = {
    QStringLiteral("Связь"),
    QStringLiteral("Графики"),
    QStringLiteral("Интерфейс"),
    QStringLiteral("Печать"),
    QStringLiteral("Отчет"),
    QStringLiteral("База данных"),
    QStringLiteral("Прибор"),
    QStringLiteral("OBD"),
};
const QStringList speeds = { QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
    QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
    QStringLiteral("57600"), QStringLiteral("115200") };

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

} // namespace

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
    tabsOptions->addWidget(buildInstrumentPage());
    tabsOptions->addWidget(buildObdPage());

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
    edReportOperator = lineEdit(page, "edReportOperator", 88, wideWidth);
    labelFor(page, "labReportOperator", QStringLiteral("Оператор (фамилия, инициалы):"),
        edReportOperator);
    return page;
}

void TFormOptions::stepLineWidth(int step)
{
    // The up-down starts from what the edit shows, kept within its range.
    const int now = qBound(
        MinLineWidth, tryStrToInt(edLineWidth->text()).value_or(MinLineWidth), MaxLineWidth);
    edLineWidth->setText(QString::number(qBound(MinLineWidth, now + step, MaxLineWidth)));
}

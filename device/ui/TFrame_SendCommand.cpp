#include "device/ui/TFrame_SendCommand.h"

#include "common/ZelmorError.h"
#include "device/ServiceCommand.h"
#include "device/SplineFile.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/LinkStateIcons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString Unused = QStringLiteral("---");
const QString NotAvailable = QStringLiteral("n/a");
const QString StartCaption = QStringLiteral("Старт");
const QString StopCaption = QStringLiteral("Стоп");

// The panel's small type keeps its fixed positions from overlapping.
constexpr int FontPixels = 11;
constexpr int LineHeight = 15;
constexpr int EditWidth = 81;
constexpr int EditHeight = 21;
constexpr int ValueWidth = 100;
constexpr int CounterWidth = 40;
// The three counter rows (sent, received, late) fit inside the command area.
constexpr int CounterTop = 99;
constexpr int CounterStep = 14;
constexpr int InputNameWidth = 110;
constexpr int ProgressRange = 200;
constexpr int InputTop = 40;
constexpr int InputStep = 24;
constexpr int ValueLeft = 544;

const QString SplineFilter = QStringLiteral("Сплайн прибора (*.spl);;Все файлы (*)");

QString chooseFileWithDialog(QWidget *parent, bool save)
{
    const QString title = QStringLiteral("Файл сплайна");
    return save ? QFileDialog::getSaveFileName(parent, title, QString(), SplineFilter)
                : QFileDialog::getOpenFileName(parent, title, QString(), SplineFilter);
}

const char *const GoodValueStyle = "QLabel { color: green; background: white; }";
const char *const BadValueStyle = "QLabel { color: #800000; background: white; }";
const char *const ResultValueStyle = "QLabel { background: silver; }";

QLabel *makeLabel(
    QWidget *parent, const QString &name, const QString &text, int left, int top, int width = 0)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    if (width > 0)
        label->resize(width, LineHeight);
    else
        label->adjustSize();
    return label;
}

QLabel *makeValue(
    QWidget *parent, const char *name, int left, int top, int width, const char *style)
{
    QLabel *label = makeLabel(parent, QLatin1String(name), QString(), left, top, width);
    label->setStyleSheet(QLatin1String(style));
    return label;
}

// Names of the result values end just before the values' column.
QLabel *makeNameLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    QLabel *label = makeLabel(parent, QLatin1String(name), text, left, top, ValueLeft - 2 - left);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QFrame *makeArea(QWidget *parent, const QRect &geometry)
{
    auto *area = new QFrame(parent);
    area->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    area->setGeometry(geometry);
    return area;
}

} // namespace

TFrame_SendCommand::TFrame_SendCommand(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SendCommand"));
    m_chooseFile = chooseFileWithDialog;
    buildView();
    cbCommandsChange();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TFrame_SendCommand::Timer1Timer);
    Timer1->start();
}

TFrame_SendCommand *TFrame_SendCommand::placeInto(QWidget *area, TOpros_ZMX *opros)
{
    QLayout *layout = area->layout();
    if (!layout)
        layout = new QVBoxLayout(area);
    // The area's placeholder makes way for the panel.
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            widget->deleteLater();
        delete item;
    }
    auto *panel = new TFrame_SendCommand(area);
    panel->setOpros(opros);
    layout->addWidget(panel);
    layout->setAlignment(panel, Qt::AlignLeft | Qt::AlignTop);
    return panel;
}

void TFrame_SendCommand::buildView()
{
    setFixedSize(FrameWidth, FrameHeight);
    QFont small = font();
    small.setPixelSize(FontPixels);
    setFont(small);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(0, 0, FrameWidth, FrameHeight);
    QWidget *g = GroupBox1;

    makeArea(g, QRect(4, 8, 196, 134));
    makeArea(g, QRect(202, 8, 230, 134));
    makeArea(g, QRect(434, 8, 234, 160));

    // Command area.
    Label2 = makeLabel(g, QStringLiteral("Label2"), QStringLiteral("Команда:"), 8, 16);
    cbCommands = new QComboBox(g);
    cbCommands->setObjectName(QStringLiteral("cbCommands"));
    for (int code = 0; code < CommandCount; ++code) {
        // Commands the workstation itself never sends carry a "--" mark.
        const bool raw
            = (code >= ZMX_get_constant && code <= ZMX_set_s_vector) || code == ZMX_Baud38400;
        cbCommands->addItem(
            (raw ? QStringLiteral("--") : QString()) + QString::fromLatin1(commandName(code)));
    }
    cbCommands->setGeometry(16, 40, 169, EditHeight);
    cbCommands->setMaxVisibleItems(CommandCount);
    Label2->setBuddy(cbCommands);
    connect(
        cbCommands, &QComboBox::currentIndexChanged, this, &TFrame_SendCommand::cbCommandsChange);

    cbRepeat = new QCheckBox(QStringLiteral("повторять"), g);
    cbRepeat->setObjectName(QStringLiteral("cbRepeat"));
    cbRepeat->setGeometry(16, 76, 78, 17);

    btnStart = new QPushButton(QStringLiteral("старт"), g);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setGeometry(96, 72, 65, 25);
    connect(btnStart, &QPushButton::clicked, this, &TFrame_SendCommand::btnStartClick);

    PaintBox1 = new QLabel(g);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(171, 74, LinkStateIcons::Size, LinkStateIcons::Size);

    Label7 = makeLabel(g, QStringLiteral("Label7"), QStringLiteral("DataOut"), 16, CounterTop);
    labOutOK = makeValue(g, "labOutOK", 64, CounterTop, CounterWidth, GoodValueStyle);
    labOutErr = makeValue(g, "labOutErr", 108, CounterTop, CounterWidth, BadValueStyle);
    Label7->setBuddy(labOutOK);
    Label5 = makeLabel(
        g, QStringLiteral("Label5"), QStringLiteral("DataIn"), 24, CounterTop + CounterStep);
    labInOK = makeValue(g, "labInOK", 64, CounterTop + CounterStep, CounterWidth, GoodValueStyle);
    labInErr = makeValue(g, "labInErr", 108, CounterTop + CounterStep, CounterWidth, BadValueStyle);
    Label5->setBuddy(labInOK);
    Label10 = makeLabel(
        g, QStringLiteral("Label10"), QStringLiteral("Поздние"), 14, CounterTop + 2 * CounterStep);
    labInLate
        = makeValue(g, "labInLate", 64, CounterTop + 2 * CounterStep, CounterWidth, BadValueStyle);
    Label10->setToolTip(QStringLiteral("Поздние кадры: ответы на прежние команды, отброшены"));
    labInLate->setToolTip(Label10->toolTip());
    Label10->setBuddy(labInLate);

    // Input parameters.
    Label3 = makeLabel(g, QStringLiteral("Label3"), QStringLiteral("Входные параметры:"), 208, 16);
    for (int i = 0; i < InputCount; ++i) {
        const int top = InputTop + i * InputStep;
        labIN[i] = makeLabel(
            g, QStringLiteral("labIN%1").arg(i + 1), Unused, 224, top + 4, InputNameWidth);
        edIN[i] = new QLineEdit(g);
        edIN[i]->setObjectName(QStringLiteral("edIN%1").arg(i + 1));
        edIN[i]->setGeometry(336, top, EditWidth, EditHeight);
        labIN[i]->setBuddy(edIN[i]);
    }
    btnSplineFile = new QPushButton(g);
    btnSplineFile->setObjectName(QStringLiteral("btnSplineFile"));
    btnSplineFile->setGeometry(edIN[1]->geometry());
    btnSplineFile->hide();
    connect(btnSplineFile, &QPushButton::clicked, this, &TFrame_SendCommand::btnSplineFileClick);

    // Output parameters.
    Label4 = makeLabel(g, QStringLiteral("Label4"), QStringLiteral("Выходные параметры"), 440, 16);
    labOUT1 = makeLabel(g, QStringLiteral("labOUT1"), Unused, 456, 40, 84);
    labOUT2 = makeLabel(g, QStringLiteral("labOUT2"), Unused, 456, 56, 84);
    // The longest name starts at the area's edge to stay whole in this type.
    labOUT3 = makeNameLabel(g, "labOUT3", QStringLiteral("Получено байт:"), 440, 72);
    labOUT4 = makeNameLabel(g, "labOUT4", QStringLiteral("cnt != 0"), 497, 88);
    labOUT11 = makeValue(g, "labOUT11", 544, 40, ValueWidth, ResultValueStyle);
    labOUT12 = makeValue(g, "labOUT12", 544, 56, ValueWidth, ResultValueStyle);
    labOUT13 = makeValue(g, "labOUT13", 544, 72, ValueWidth, ResultValueStyle);
    labOUT14 = makeValue(g, "labOUT14", 544, 88, ValueWidth, ResultValueStyle);
    labOUT1->setBuddy(labOUT11);
    labOUT2->setBuddy(labOUT12);
    labOUT3->setBuddy(labOUT13);
    labOUT4->setBuddy(labOUT14);
    Label1 = makeNameLabel(g, "Label1", QStringLiteral("prg_info"), 495, 104);
    labOUTinfo
        = makeLabel(g, QStringLiteral("labOUTinfo"), NotAvailable, 544, 104, ValueWidth + 20);
    Label1->setBuddy(labOUTinfo);
    Label8 = makeNameLabel(g, "Label8", QStringLiteral("prg_cnt"), 497, 120);
    labOUTcnt = makeLabel(g, QStringLiteral("labOUTcnt"), NotAvailable, 544, 120, ValueWidth);
    Label8->setBuddy(labOUTcnt);
    progrPrgCnt = new QProgressBar(g);
    progrPrgCnt->setObjectName(QStringLiteral("progrPrgCnt"));
    progrPrgCnt->setGeometry(440, 150, 217, 11);
    progrPrgCnt->setRange(0, ProgressRange);
    progrPrgCnt->setValue(0);
    progrPrgCnt->setTextVisible(false);

    Label9 = makeLabel(g, QStringLiteral("Label9"), QStringLiteral("Status:"), 8, 149);
    labStatusText = makeLabel(g, QStringLiteral("labStatusText"), QString(), 49, 149, 380);
    Label9->setBuddy(labStatusText);
}

void TFrame_SendCommand::cbCommandsChange()
{
    const int code = cbCommands->currentIndex();
    qint16 o2Shift = -1;
    if (m_opros && code == ZMX_Ku_O2)
        o2Shift = m_opros->snapshot().O2Shift;
    const ServiceCommandFields fields = serviceCommandFields(code, o2Shift);
    for (int i = 0; i < InputCount; ++i) {
        labIN[i]->setText(fields.inputNames[i]);
        edIN[i]->setText(fields.inputValues[i]);
    }
    // The spline commands trade the second parameter for the file button.
    const bool spline = code == ZMX_get_s_vector || code == ZMX_set_s_vector;
    btnSplineFile->setText(
        code == ZMX_get_s_vector ? QStringLiteral("Сохранить...") : QStringLiteral("Выбрать..."));
    btnSplineFile->setVisible(spline);
    edIN[1]->setVisible(!spline);
    // Without a file the spline read from the instrument goes back.
    edIN[0]->setPlaceholderText(
        code == ZMX_set_s_vector ? QStringLiteral("из прибора") : QString());
    labIN[1]->setBuddy(spline ? static_cast<QWidget *>(btnSplineFile) : edIN[1]);
    // labOUT3 keeps naming the byte count that labOUT13 goes on showing.
    labOUT1->setText(fields.resultName);
    labOUT2->setText(Unused);
    labOUT11->clear();
    labOUT12->clear();
    labOUT13->clear();
    cbRepeat->setChecked(fields.repeat);
}

ServiceCommandRequest TFrame_SendCommand::CollectArguments() const
{
    std::array<QString, InputCount> inputs;
    for (int i = 0; i < InputCount; ++i)
        inputs[i] = edIN[i]->text();
    ZmxSnapshot published;
    const int code = cbCommands->currentIndex();
    if (m_opros && (code == ZMX_set_constant || code == ZMX_set_s_vector))
        published = m_opros->snapshot();
    ServiceCommandData data;
    if (published.ConstantsResult == TOpros_ZMX::ConstantsRead)
        data.constants = &published.Constants;
    if (published.SplineRead)
        data.spline = &published.Spline;
    return packServiceCommand(code, inputs, data);
}

void TFrame_SendCommand::btnSplineFileClick()
{
    if (cbCommands->currentIndex() == ZMX_set_s_vector) {
        const QString path = m_chooseFile(this, false);
        if (!path.isEmpty())
            edIN[0]->setText(path);
        return;
    }
    const ZmxSnapshot published = m_opros ? m_opros->snapshot() : ZmxSnapshot();
    if (!published.SplineRead)
        throw ZelmorError(QStringLiteral(
            "Сплайн не считан из прибора: сохранять нечего. Сначала --ZMX_get_s_vector."));
    const QString path = m_chooseFile(this, true);
    if (!path.isEmpty())
        writeSplineFile(path, published.Spline);
}

void TFrame_SendCommand::btnStartClick()
{
    if (m_opros && m_opros->snapshot().RunFlag)
        StopCommand();
    else
        StartCommand();
}

void TFrame_SendCommand::StartCommand()
{
    // Parameters are converted first: one that is not a number leaves the
    // panel as it was and sends nothing.
    const ServiceCommandRequest request = CollectArguments();
    const int repeat = cbRepeat->isChecked() ? 1 : 0;
    if (repeat)
        setRepeating(true);
    // One request per click: a single command goes out once, a repeated one
    // is repeated by the thread until StopCommand.
    if (m_opros)
        m_opros->RequestCommand(request.code, repeat, request.payload);
}

void TFrame_SendCommand::StopCommand()
{
    if (m_opros)
        m_opros->StopCycle();
    setRepeating(false);
}

int TFrame_SendCommand::RequestOperation(ZmxCommand code, int repeat, quint16 argument)
{
    if (m_opros)
        m_opros->RequestOperation(code, repeat, argument);
    return 0;
}

void TFrame_SendCommand::setRepeating(bool repeating)
{
    btnStart->setText(repeating ? StopCaption : StartCaption);
    cbRepeat->setEnabled(!repeating);
    cbCommands->setEnabled(!repeating);
}

void TFrame_SendCommand::Timer1Timer()
{
    if (!m_opros)
        return;
    const ZmxSnapshot s = m_opros->snapshot();

    if (s.LinkState != m_shownLinkState) {
        PaintBox1->setPixmap(LinkStateIcons::icon(s.LinkState));
        m_shownLinkState = s.LinkState;
    }

    labOUT13->setText(QString::number(s.LastAnswerLength));
    labOUT14->setText(QString::number(s.NonEmptyAnswerCount));
    labOutOK->setText(QString::number(s.SendOkCount));
    labOutErr->setText(QString::number(s.LinkErrorCount));
    labInOK->setText(QString::number(s.RecvOkCount));
    labInErr->setText(QString::number(s.RecvErrCount));
    labInLate->setText(QString::number(s.StaleFrameCount));

    if (s.ProcedureActive != 0) {
        const QString status = TOpros_ZMX::programStatusNameAt(s.ProcedureStatus);
        labOUTinfo->setText(status.isEmpty() ? QString::number(s.ProcedureStatus) : status);
        labOUTcnt->setText(QString::number(s.ProcedureStep));
        // A procedure that sets no maximum of its own runs on the bar's
        // usual range; a zero maximum would turn the bar into a busy sign.
        progrPrgCnt->setMaximum(s.ProcedureMax > 0 ? s.ProcedureMax : ProgressRange);
        progrPrgCnt->setValue(qMin(int(s.ProcedureStep), progrPrgCnt->maximum()));
    } else {
        progrPrgCnt->setValue(0);
        labOUTinfo->setText(NotAvailable);
        labOUTcnt->setText(NotAvailable);
    }

    if (cbCommands->currentIndex() == ZMX_Shift_O2)
        labOUT11->setText(QString::number(s.O2Shift));
    else if (cbCommands->currentIndex() == ZMX_Ku_O2)
        labOUT11->setText(QString::number(s.O2Gain));
}

#include "device/ui/TFrConnect.h"

#include "device/ResponsiveCall.h"
#include "device/SerialPortList.h"
#include "device/TOpros_ZMX.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace {

constexpr int StatusFontPoints = 8;
// Captions end at CaptionRight, the port and speed boxes start at ControlLeft,
// the two link states at StatusLeft.
constexpr int CaptionRight = 82;
constexpr int ControlLeft = 88;
constexpr int StatusLeft = 136;

const QString Unknown = QStringLiteral("---");
const QString Yes = QStringLiteral("ДА");
const QString No = QStringLiteral("НЕТ");

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    // Port names and the port's problem come from outside: never markup.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A caption that ends just before the control it names, centred on the
// control's line, so it reads the same whatever the width of the face.
QLabel *makeCaption(
    QWidget *parent, const char *name, const QString &text, int rightEdge, int top, int height)
{
    QLabel *label = makeLabel(parent, name, text, 0, top);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(rightEdge - label->width(), top, label->width(), height);
    return label;
}

QLabel *makeStatusLabel(QWidget *parent, const char *name, int left, int top)
{
    QLabel *label = makeLabel(parent, name, Unknown, left, top);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(StatusFontPoints);
    label->setFont(font);
    // Room for "НЕТ" without a re-layout.
    label->resize(60, label->height());
    return label;
}

} // namespace

TFrConnect::TFrConnect(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ConnectModule"));
    buildView();
    cbPort->addItems(systemSerialPorts());
    ConnectResult = -1;
}

void TFrConnect::buildView()
{
    setFixedSize(FrameWidth, FrameHeight);

    GroupBox1 = new QGroupBox(QStringLiteral("Параметры связи"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(0, 0, 209, 281);

    cbPort = new QComboBox(GroupBox1);
    cbPort->setObjectName(QStringLiteral("cbPort"));
    cbPort->setEditable(true);
    // A path typed by hand (a pseudo-terminal) is used as typed.
    cbPort->setInsertPolicy(QComboBox::NoInsert);
    // Wide enough for a pseudo-terminal's path such as "/dev/pts/12".
    cbPort->setGeometry(ControlLeft, 32, 112, cbPort->sizeHint().height());
    Label1 = makeCaption(
        GroupBox1, "Label1", QStringLiteral("Порт:"), CaptionRight, 32, cbPort->height());
    Label1->setBuddy(cbPort);

    cbSpeed = new QComboBox(GroupBox1);
    cbSpeed->setObjectName(QStringLiteral("cbSpeed"));
    cbSpeed->setEditable(true);
    cbSpeed->setInsertPolicy(QComboBox::NoInsert);
    cbSpeed->addItems({ QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
        QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
        QStringLiteral("57600"), QStringLiteral("115200") });
    cbSpeed->setCurrentIndex(FastSpeedIndex);
    cbSpeed->setGeometry(ControlLeft, 64, 73, cbSpeed->sizeHint().height());
    Label2 = makeCaption(
        GroupBox1, "Label2", QStringLiteral("Скорость:"), CaptionRight, 64, cbSpeed->height());
    Label2->setBuddy(cbSpeed);

    cbFastSpeed = new QCheckBox(QStringLiteral("Скорость 1200 -> 38400"), GroupBox1);
    cbFastSpeed->setObjectName(QStringLiteral("cbFastSpeed"));
    cbFastSpeed->setTristate(true);
    cbFastSpeed->setCheckState(Qt::Checked);
    cbFastSpeed->setGeometry(16, 120, 185, 20);

    labPortStatus = makeStatusLabel(GroupBox1, "labPortStatus", StatusLeft, 160);
    Label3 = makeCaption(GroupBox1, "Label3", QStringLiteral("Порт захвачен:"), StatusLeft - 6, 160,
        labPortStatus->height());
    Label3->setBuddy(labPortStatus);

    labZMStatus = makeStatusLabel(GroupBox1, "labZMStatus", StatusLeft, 184);
    Label4 = makeCaption(GroupBox1, "Label4", QStringLiteral("Zelmor на связи:"), StatusLeft - 6,
        184, labZMStatus->height());
    Label4->setBuddy(labZMStatus);

    btnInitPort = new QPushButton(QStringLiteral("Подключиться"), GroupBox1);
    btnInitPort->setObjectName(QStringLiteral("btnInitPort"));
    btnInitPort->setGeometry(40, 224, 121, 25);
    connect(btnInitPort, &QPushButton::clicked, this, &TFrConnect::btnInitPortClick);

    labPortError = new QLabel(GroupBox1);
    labPortError->setObjectName(QStringLiteral("labPortError"));
    labPortError->setTextFormat(Qt::PlainText);
    labPortError->setGeometry(8, 252, 193, 26);
    labPortError->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labPortError->setWordWrap(true);
    QPalette palette = labPortError->palette();
    palette.setColor(QPalette::WindowText, Qt::darkRed);
    labPortError->setPalette(palette);
}

void TFrConnect::applyChoice(int portIndex, int speedIndex, int fastSpeed)
{
    // An index beyond the list selects nothing.
    cbPort->setCurrentIndex(portIndex >= 0 && portIndex < cbPort->count() ? portIndex : -1);
    cbSpeed->setCurrentIndex(speedIndex >= 0 && speedIndex < cbSpeed->count() ? speedIndex : -1);
    cbFastSpeed->setCheckState(fastSpeed == 0 ? Qt::Unchecked
            : fastSpeed == 2                  ? Qt::PartiallyChecked
                                              : Qt::Checked);
}

void TFrConnect::btnInitPortClick()
{
    if (!beginAttempt(cbPort->currentText(), cbSpeed->currentText()))
        return;
    QPointer<TFrConnect> self(this);
    TOpros_ZMX *opros = m_opros;
    const QString port = cbPort->currentText();
    const int result = opros
        ? callKeepingEventsFlowing([opros, port] { return opros->ConnectPort(port); })
        : TOpros_ZMX::NotConnected;
    if (self)
        endAttempt(result, opros ? opros->snapshot().PortError : QString());
}

bool TFrConnect::beginAttempt(const QString &port, const QString &speed)
{
    // Attempts never overlap, also when the program connects for the operator.
    if (m_connecting)
        return false;
    m_connecting = true;
    if (cbPort->currentText() != port)
        cbPort->setEditText(port);
    if (cbSpeed->currentText() != speed)
        cbSpeed->setEditText(speed);
    ConnectResult = -1;
    labPortStatus->setText(Unknown);
    labZMStatus->setText(Unknown);
    labPortError->clear();
    btnInitPort->setEnabled(false);
    return true;
}

void TFrConnect::endAttempt(int result, const QString &portError)
{
    const QString shown = result == TOpros_ZMX::Connected ? Yes : No;
    labPortStatus->setText(shown);
    labZMStatus->setText(shown);
    showPortError(portError);
    btnInitPort->setEnabled(true);
    ConnectResult = result;
    m_connecting = false;
}

void TFrConnect::showPortError(const QString &portError)
{
    // The reason stands on a line of its own: it starts with a capital.
    labPortError->setText(portError.left(1).toUpper() + portError.mid(1));
    labPortError->setToolTip(labPortError->text());
}

void TFrConnect::showConnected()
{
    // An attempt of the operator's that runs now shows its own outcome.
    if (m_connecting)
        return;
    labPortStatus->setText(Yes);
    labZMStatus->setText(Yes);
    labPortError->clear();
    ConnectResult = TOpros_ZMX::Connected;
}

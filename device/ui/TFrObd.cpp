#include "device/ui/TFrObd.h"

#include "device/obd/ObdSnapshot.h"

#include <QGroupBox>
#include <QLabel>

namespace {

constexpr int CaptionLeft = 8;
constexpr int ValueLeft = 82;
constexpr int ValueWidth = TFrObd::FrameWidth - ValueLeft - 8;
constexpr int RowHeight = 18;
const QString None = QStringLiteral("---");

} // namespace

TFrObd::TFrObd(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ObdModule"));
    setFixedSize(FrameWidth, FrameHeight);
    GroupObd = new QGroupBox(QStringLiteral("Адаптер OBD-II"), this);
    GroupObd->setObjectName(QStringLiteral("GroupObd"));
    GroupObd->setGeometry(0, 0, FrameWidth - 1, FrameHeight);

    labObdPort = addRow("labObdPort", QStringLiteral("Порт:"), 24);
    labObdState = addRow("labObdState", QStringLiteral("Состояние:"), 44, 3);
    labObdAdapter = addRow("labObdAdapter", QStringLiteral("Адаптер:"), 100);
    labObdProtocol = addRow("labObdProtocol", QStringLiteral("Протокол:"), 120, 2);
    labObdRpm = addRow("labObdRpm", QStringLiteral("Обороты:"), 158);
    labObdCoolant = addRow("labObdCoolant", QStringLiteral("ОЖ, °C:"), 178);
    labObdExchanges = addRow("labObdExchanges", QStringLiteral("Обмены:"), 198);
    labObdExchanges->setToolTip(QStringLiteral("ответы / замечания адаптера / без ответа"));
    showUnused();
}

QLabel *TFrObd::addRow(const char *name, const QString &caption, int top, int lines)
{
    auto *label = new QLabel(caption, GroupObd);
    label->setGeometry(CaptionLeft, top, ValueLeft - CaptionLeft - 4, RowHeight);
    auto *value = new QLabel(None, GroupObd);
    value->setObjectName(QLatin1String(name));
    // What the adapter and the vehicle say comes from outside: never markup.
    value->setTextFormat(Qt::PlainText);
    value->setWordWrap(lines > 1);
    value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    value->setGeometry(ValueLeft, top + 1, ValueWidth, RowHeight * lines);
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    label->setBuddy(value);
    return value;
}

void TFrObd::setTexts(const QStringList &texts)
{
    QLabel *const labels[] = { labObdPort, labObdState, labObdAdapter, labObdProtocol, labObdRpm,
        labObdCoolant, labObdExchanges };
    for (int i = 0; i < 7; ++i) {
        const QString text = i < texts.size() && !texts[i].isEmpty() ? texts[i] : None;
        if (labels[i]->text() != text) {
            labels[i]->setText(text);
            labels[i]->setToolTip(text);
        }
    }
}

void TFrObd::showUnused()
{
    setTexts({ QString(), QStringLiteral("не используется") });
}

void TFrObd::showSnapshot(const ObdSnapshot &s)
{
    QString adapter = s.adapterVersion;
    if (!adapter.isEmpty() && s.lineSpeed > 0)
        adapter += QStringLiteral(", %1").arg(s.lineSpeed);
    QString protocol;
    if (!s.protocolName.isEmpty())
        protocol = s.protocolName;
    else if (!s.protocolCode.isEmpty())
        protocol = s.protocolCode;
    const bool online = s.state == ObdState::Online;
    setTexts({
        s.portName,
        s.stateText(),
        adapter,
        protocol,
        online && s.hasRpm ? QString::number(qRound(s.rpm)) : QString(),
        s.hasCoolant ? QString::number(s.coolantC) : QString(),
        QStringLiteral("%1 / %2 / %3").arg(s.answers).arg(s.remarks).arg(s.timeouts),
    });
}

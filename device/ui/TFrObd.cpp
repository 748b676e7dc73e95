#include "device/ui/TFrObd.h"

#include "device/obd/ObdSnapshot.h"

#include <QGroupBox>
#include <QLabel>

namespace {

// Long values (port, state, adapter, protocol) stand under their caption
// across the whole frame; short ones beside it.
constexpr int CaptionLeft = 8;
constexpr int ValueLeft = 82;
constexpr int RightEdge = TFrObd::FrameWidth - 8;
constexpr int RowHeight = 17;
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

    labObdPort = addRow("labObdPort", QStringLiteral("Порт:"), 22, 1, Below);
    labObdState = addRow("labObdState", QStringLiteral("Состояние:"), 58, 2, Below);
    labObdAdapter = addRow("labObdAdapter", QStringLiteral("Адаптер:"), 111, 1, Below);
    labObdProtocol = addRow("labObdProtocol", QStringLiteral("Протокол:"), 147, 2, Below);
    labObdRpm = addRow("labObdRpm", QStringLiteral("Обороты:"), 200);
    labObdCoolant = addRow("labObdCoolant", QStringLiteral("ОЖ, °C:"), 218);
    labObdExchanges = addRow("labObdExchanges", QStringLiteral("Обмены:"), 236);
    labObdExchanges->setToolTip(QStringLiteral("ответы / замечания адаптера / без ответа"));
    showUnused();
}

QLabel *TFrObd::addRow(const char *name, const QString &caption, int top, int lines, Place place)
{
    auto *label = new QLabel(caption, GroupObd);
    label->setGeometry(CaptionLeft, top, ValueLeft - CaptionLeft - 4, RowHeight);
    auto *value = new QLabel(None, GroupObd);
    value->setObjectName(QLatin1String(name));
    // What the adapter and the vehicle say comes from outside: never markup.
    value->setTextFormat(Qt::PlainText);
    value->setWordWrap(lines > 1);
    value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (place == Below)
        value->setGeometry(
            CaptionLeft + 8, top + RowHeight, RightEdge - CaptionLeft - 8, RowHeight * lines);
    else
        value->setGeometry(ValueLeft, top, RightEdge - ValueLeft, RowHeight);
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
        const QString full = i < texts.size() && !texts[i].isEmpty() ? texts[i] : None;
        // A long path keeps its start and its end.
        const QString text = labels[i] == labObdPort
            ? labObdPort->fontMetrics().elidedText(full, Qt::ElideMiddle, labObdPort->width())
            : full;
        if (labels[i]->text() != text) {
            labels[i]->setText(text);
            labels[i]->setToolTip(full);
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
        adapter += QStringLiteral(", %1 бит/с").arg(s.lineSpeed);
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

#include "config/ui/TFormOptions.h"

#include "config/ui/OptionsLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>

// The page "OBD": the OBD-II adapter beside the instrument (an ELM327
// compatible one on a USB or Bluetooth serial port). Its choice takes effect
// as soon as OK has stored it.

using namespace OptionsLayout;

QWidget *TFormOptions::buildObdPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabObd"));
    cbObdEnabled = new QCheckBox(QStringLiteral("Использовать адаптер OBD-II"), page);
    cbObdEnabled->setObjectName(QStringLiteral("cbObdEnabled"));
    cbObdEnabled->setGeometry(controlLeft, 12, wideWidth + 40, editHeight);

    cboxObdPort = new QComboBox(page);
    cboxObdPort->setObjectName(QStringLiteral("cboxObdPort"));
    cboxObdPort->setEditable(true);
    cboxObdPort->setInsertPolicy(QComboBox::NoInsert);
    cboxObdPort->setGeometry(controlLeft, 64, wideWidth, editHeight);
    auto *label = new QLabel(QStringLiteral("Порт адаптера:"), page);
    label->setObjectName(QStringLiteral("labObdPort"));
    label->setBuddy(cboxObdPort);
    label->setGeometry(controlLeft, 64 - labelAbove, wideWidth, labelAbove);

    labObdNote = new QLabel(page);
    labObdNote->setObjectName(QStringLiteral("labObdNote"));
    labObdNote->setWordWrap(true);
    labObdNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labObdNote->setGeometry(controlLeft - 24, 100, 340, 130);
    labObdNote->setText(QStringLiteral(
        "Адаптер ELM327 (или совместимый) на порту USB или Bluetooth (/dev/rfcomm0). "
        "Пока автомобиль отвечает, обороты двигателя берутся от него, а при выборе "
        "автомобиля и по клавише F5 читается его бортовая диагностика.\n"
        "Изменение вступает в силу сразу после нажатия «ОК»."));

    const auto follow = [this] { cboxObdPort->setEnabled(cbObdEnabled->isChecked()); };
    connect(cbObdEnabled, &QCheckBox::toggled, this, follow);
    return page;
}

void TFormOptions::fillObdPortList(const QStringList &ports)
{
    const QString text = cboxObdPort->currentText();
    cboxObdPort->clear();
    cboxObdPort->addItems(ports);
    cboxObdPort->setEditText(text);
}

void TFormOptions::obdControlsFrom(const ObdOptions &options)
{
    cbObdEnabled->setChecked(options.Enabled);
    cboxObdPort->setEditText(options.Port);
    cboxObdPort->setEnabled(options.Enabled);
}

ObdOptions TFormOptions::obdOptionsFromControls() const
{
    ObdOptions o;
    o.Enabled = cbObdEnabled->isChecked();
    o.Port = cboxObdPort->currentText().trimmed();
    return o;
}

void TFormOptions::setObdChanged(std::function<void(const ObdOptions &)> changed)
{
    m_obdChanged = std::move(changed);
}

void TFormOptions::setPortDevice(std::function<QString(const QString &)> device)
{
    m_portDevice = std::move(device);
}

bool TFormOptions::samePort(const QString &a, const QString &b) const
{
    // Two names of one device (a link and its target, "ttyUSB0" and
    // "/dev/ttyUSB0") are one port.
    const auto device = [this](const QString &name) {
        const QString path = m_portDevice ? m_portDevice(name) : name;
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? path : canonical;
    };
    return a == b || device(a) == device(b);
}

QString TFormOptions::obdRefusal() const
{
    const ObdOptions o = obdOptionsFromControls();
    if (!o.Enabled)
        return QString();
    if (o.Port.isEmpty())
        return QStringLiteral("Укажите порт адаптера OBD.");
    if (samePort(o.Port, cboxPortName->currentText().trimmed()))
        return QStringLiteral("К порту %1 подключён прибор.\nУкажите для адаптера OBD другой порт.")
            .arg(o.Port);
    return QString();
}

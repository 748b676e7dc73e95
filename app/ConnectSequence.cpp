#include "app/ConnectSequence.h"

#include "app/LinkWatch.h"
#include "app/TFormAboutZM.h"
#include "app/TestState.h"
#include "device/Records.h"
#include "device/ResponsiveCall.h"
#include "device/TOpros_ZMX.h"
#include "device/ui/TFrConnect.h"

#include <QComboBox>
#include <QLabel>

namespace {
const char *const Unknown = "-1";
const char *const ProductName = "Zelmor";
} // namespace

ConnectSequence::ConnectSequence(TOpros_ZMX &thread, TestState &state)
    : m_thread(thread)
    , m_state(state)
{ }

void ConnectSequence::setLinkPanel(TFrConnect *panel, const QString &speed)
{
    m_panel = panel;
    m_speed = speed;
}

int ConnectSequence::connect(const QString &portName)
{
    // The thread connects off the user interface thread, which keeps drawing.
    const auto connectPort = [this, &portName] {
        return callKeepingEventsFlowing(
            [this, portName] { return m_thread.ConnectPort(portName); });
    };
    if (!m_panel)
        return connectPort();
    // An attempt the operator started from the panel is still running: this
    // one counts as no link rather than running beside it.
    if (!m_panel->beginAttempt(portName, m_speed))
        return TOpros_ZMX::NotConnected;
    const int result = connectPort();
    if (m_panel) {
        m_panel->endAttempt(result, m_thread.snapshot().PortError);
        m_panel->cbSpeed->setCurrentIndex(TFrConnect::FastSpeedIndex);
    }
    return result;
}

int ConnectSequence::run(const QString &portName)
{
    auto setLabel = [this](QLabel *TFormAboutZM::*label, const QString &text) {
        if (m_about)
            (m_about->*label)->setText(text);
    };
    const QString unknown = QString::fromLatin1(Unknown);
    for (auto label : { &TFormAboutZM::labComStatus, &TFormAboutZM::labZMModel,
             &TFormAboutZM::labZMNumber, &TFormAboutZM::labFirmware })
        setLabel(label, unknown);

    const int connected = connect(portName);
    const ZmxSnapshot after = m_thread.snapshot();
    if (m_watch)
        m_watch->connectEnded(portName, connected, after);
    if (connected != TOpros_ZMX::Connected) {
        // Why, when the port itself could not be used.
        if (m_about)
            m_about->setLinkState(LinkWatch::noLinkText(after.PortError));
    } else {
        if (m_about)
            m_about->setLinkState(after.StatusText);
        const int read = callKeepingEventsFlowing([this] { return m_thread.ReadConstants(); });
        if (m_watch)
            m_watch->constantsReadAtConnect(read);
        if (read == TOpros_ZMX::ConstantsRead) {
            const ZmxSnapshot snap = m_thread.snapshot();
            showInstrument(m_about, m_state, snap.SerialNumber, snap.FirmwareVersion);
        }
    }
    m_thread.RequestOperation(ZMX_get_result, Repeat, 0);
    return 0;
}

void ConnectSequence::showInstrument(
    TFormAboutZM *box, TestState &state, quint16 serialNumber, quint16 firmwareVersion)
{
    state.InstrumentNumber = serialNumber;
    if (!box)
        return;
    box->labZMModel->setText(QString::fromLatin1(ProductName));
    box->labZMNumber->setText(QString::number(serialNumber));
    box->labFirmware->setText(
        QString::fromStdString(ConstantsRecord::formatFirmware(firmwareVersion)));
}

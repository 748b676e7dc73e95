#include "app/LinkWatch.h"

#include "device/TOpros_ZMX.h"

QString LinkWatch::noLinkText(const QString &portError)
{
    if (portError.isEmpty())
        return QStringLiteral("Нет связи с прибором.");
    return QStringLiteral("Нет связи с прибором: ") + portError + QLatin1Char('.');
}

QString LinkWatch::connectedText(const QString &portName)
{
    return QStringLiteral("Zelmor подключен. Порт ") + portName
        + QStringLiteral(", скорость 38400");
}

void LinkWatch::connectEnded(const QString &portName, int result, const ZmxSnapshot &after)
{
    m_port = portName;
    m_shownError = after.PortError;
    m_linked = result == TOpros_ZMX::Connected;
    // Only a port that could not be opened is tried again by the thread; an
    // instrument that did not answer on an open port is not.
    m_waiting = !m_linked && after.PortState != PortProblem::None;
    m_constantsMissing = false;
}

void LinkWatch::constantsReadAtConnect(int result)
{
    // The thread asks again while readings come; a look tells when it has them.
    m_constantsMissing = m_linked && result != TOpros_ZMX::ConstantsRead;
}

LinkWatch::Change LinkWatch::look(const ZmxSnapshot &snapshot)
{
    Change change;
    if (snapshot.PortError != m_shownError) {
        m_shownError = snapshot.PortError;
        change.portError = m_shownError;
    }
    // The thread reads the constants only after it has connected, and a
    // connect forgets the previous read: a read now means the retry got the
    // port and the instrument answered.
    if (m_waiting && snapshot.PortState == PortProblem::None
        && snapshot.ConstantsResult != ZmxSnapshot::ConstantsNotRead) {
        m_waiting = false;
        m_linked = true;
        change.connected = true;
        if (snapshot.ConstantsResult == TOpros_ZMX::ConstantsRead)
            change.instrument = Instrument { snapshot.SerialNumber, snapshot.FirmwareVersion };
        else
            m_constantsMissing = true;
    }
    if (m_constantsMissing && m_linked && snapshot.ConstantsResult == TOpros_ZMX::ConstantsRead) {
        m_constantsMissing = false;
        change.instrument = Instrument { snapshot.SerialNumber, snapshot.FirmwareVersion };
    }
    if (change.portError || change.connected) {
        const bool up = m_linked && m_shownError.isEmpty();
        change.linkText = up ? connectedText(m_port) : noLinkText(m_shownError);
    }
    return change;
}

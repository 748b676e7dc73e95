#include "device/LinkConnector.h"

#include "device/PacketExchange.h"

LinkConnector::LinkConnector(PacketExchange &link, Status status)
    : m_link(link)
    , m_status(std::move(status))
{ }

void LinkConnector::status(const QString &text, int severity)
{
    if (m_status)
        m_status(text, severity);
}

LinkConnector::ConnectResult LinkConnector::openPort(const QString &portName)
{
    ConnectResult out;
    if (!m_link.OpenPort(portName.toStdString())) {
        out.problem = m_link.portProblem();
        // A transport that cannot say why still failed to open.
        if (out.problem == PortProblem::None)
            out.problem = PortProblem::OpenFailed;
        out.detail = QString::fromStdString(m_link.portError());
    }
    return out;
}

LinkConnector::ConnectResult LinkConnector::connect(const QString &portName)
{
    m_link.ClosePort();
    status(QStringLiteral("Подключение..."));
    ConnectResult opened = openPort(portName);
    if (opened.problem != PortProblem::None) {
        // The library cannot be set up on a port that did not open; say so
        // as after any other failed connect.
        status(QStringLiteral("Нет связи с Zelmor."), StatusError);
        m_link.ClosePort();
        return opened;
    }
    return connectOpenPort(portName);
}

LinkConnector::ConnectResult LinkConnector::connectOpenPort(const QString &portName)
{
    ConnectResult out;
    if (m_link.InitPort(PacketExchange::LineSpeedFast) && m_link.PingDevice()) {
        status(QStringLiteral("Zelmor подключен. Порт ") + portName
            + QStringLiteral(", скорость 38400"));
        out.result = Connected;
        return out;
    }
    // The instrument may have been left at 1200 bit/s: switch it up. It is
    // not asked again at the new speed.
    if (m_link.InitPort(PacketExchange::LineSpeedSlow) && m_link.PingDevice()
        && m_link.SwitchTo38400() && m_link.InitPort(PacketExchange::LineSpeedFast)) {
        out.result = Connected;
        out.switched = true;
        return out;
    }
    status(QStringLiteral("Нет связи с Zelmor."), StatusError);
    m_link.ClosePort();
    return out;
}

LinkConnector::ConstantsResult LinkConnector::readConstants()
{
    ConstantsResult out;
    status(QStringLiteral("Чтение констант..."));
    if (m_link.SendPacket(ZMX_get_constant) != LinkStatus::Ok) {
        status(QStringLiteral("Прибор не принимает команду"), StatusError);
        out.result = CommandRefused;
    } else if (m_link.ReceiveAnswer() != LinkStatus::Ok) {
        status(QStringLiteral("Не удалось установить связь с прибором"), StatusError);
        out.result = NoAnswer;
    } else if (m_link.answerCount() != ConstantsRecord::Size) {
        status(QStringLiteral("Константы не считаны: ответ прибора длиной %1 вместо %2 байт.")
                   .arg(m_link.answerCount())
                   .arg(ConstantsRecord::Size),
            StatusError);
        out.result = WrongAnswer;
    } else {
        out.constants = ConstantsRecord::decode(m_link.buffer());
        out.result = ConstantsRead;
        status(QStringLiteral("Константы считаны."));
    }
    return out;
}

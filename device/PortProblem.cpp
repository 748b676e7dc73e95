#include "device/PortProblem.h"

QString portProblemText(PortProblem problem)
{
    switch (problem) {
    case PortProblem::None:
        break;
    case PortProblem::NoName:
        return QStringLiteral("порт не выбран");
    case PortProblem::NotFound:
        return QStringLiteral("порт не найден");
    case PortProblem::NoAccess:
        return QStringLiteral("нет доступа к порту");
    case PortProblem::InUse:
        return QStringLiteral("порт занят другой программой");
    case PortProblem::NotSerial:
        return QStringLiteral("это не последовательный порт");
    case PortProblem::OpenFailed:
        return QStringLiteral("порт не открывается");
    case PortProblem::Lost:
        return QStringLiteral("порт не отвечает: устройство отключено");
    }
    return QString();
}

QString portProblemLogText(PortProblem problem)
{
    switch (problem) {
    case PortProblem::None:
        break;
    case PortProblem::NoName:
        return QStringLiteral("no port name");
    case PortProblem::NotFound:
        return QStringLiteral("port not found");
    case PortProblem::NoAccess:
        return QStringLiteral("access to the port denied");
    case PortProblem::InUse:
        return QStringLiteral("port is in use by another program");
    case PortProblem::NotSerial:
        return QStringLiteral("not a serial port");
    case PortProblem::OpenFailed:
        return QStringLiteral("port cannot be opened");
    case PortProblem::Lost:
        return QStringLiteral("device hung up or i/o error");
    }
    return QString();
}

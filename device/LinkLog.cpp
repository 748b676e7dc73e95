#include "device/LinkLog.h"

#include "common/AppLog.h"
#include "device/PortProblem.h"

LinkLog::LinkLog(Writer write)
    : m_write(std::move(write))
{ }

void LinkLog::write(const QString &line)
{
    if (m_write)
        m_write(line);
    else
        WriteLog(line);
}

void LinkLog::portState(PortProblem problem, const QString &port)
{
    if (problem == m_problem && (problem == PortProblem::None || port == m_problemPort))
        return;
    m_problem = problem;
    m_problemPort = port;
    if (problem != PortProblem::None)
        write(QStringLiteral("port error: ") + portProblemLogText(problem) + QStringLiteral(" (")
            + port + QLatin1Char(')'));
}

void LinkLog::portReopened(const QString &port)
{
    m_problem = PortProblem::None;
    write(QStringLiteral("port reopened (") + port + QLatin1Char(')'));
}

void LinkLog::linkUp()
{
    if (m_link == Link::Down)
        write(QStringLiteral("link restored"));
    m_link = Link::Up;
}

void LinkLog::linkDown()
{
    if (m_link == Link::Up)
        write(QStringLiteral("link lost"));
    m_link = Link::Down;
}

void LinkLog::noAnswer(const QString &port)
{
    if (m_link != Link::Down)
        write(QStringLiteral("no answer from the instrument (") + port + QLatin1Char(')'));
    m_link = Link::Down;
}

// Connecting, reading the constants and watching the port: what the thread
// publishes and logs around the LinkConnector.

#include "device/TOpros_ZMX.h"

#include "device/LinkConnector.h"
#include "device/MsClock.h"
#include "device/PacketExchange.h"
#include "device/PortProblem.h"

int TOpros_ZMX::ConnectPort(const QString &portName)
{
    acquireLink();
    m_portName.clear();
    // The constants and the spline read belong to the link this connect
    // replaces (another instrument, perhaps); the next read (by the connect
    // sequence, or by the thread once a taken port is free) tells about the
    // new one.
    publish([](ZmxSnapshot &p) {
        p.ConstantsResult = ZmxSnapshot::ConstantsNotRead;
        p.SplineRead = false;
    });
    m_portRetry.stop();
    const LinkConnector::ConnectResult outcome = m_connector->connect(portName);
    notePortState(outcome.problem, portName);
    // Failures of the attempt itself say nothing about a port to reopen.
    m_link->takePortFailure();
    if (outcome.result == Connected) {
        m_portName = portName;
        // A procedure lost with the old link is not waited for on the new one.
        publish([](ZmxSnapshot &p) {
            if (p.ProcedureActive == -1)
                p.ProcedureActive = 0;
        });
        noteLinkUp();
    } else if (outcome.problem != PortProblem::None) {
        // Another program may hold the port (or the adapter is not plugged
        // in yet): the cycle tries it again.
        m_portRetry.start(portName, true);
        m_retryConnects = true;
    } else {
        m_linkLog.noAnswer(portName);
    }
    releaseLink();
    return outcome.result;
}

int TOpros_ZMX::ReadConstants()
{
    acquireLink();
    const LinkConnector::ConstantsResult read = m_connector->readConstants();
    publishConstants(read.result, read.constants);
    if (read.result == ConstantsRead || read.result == WrongAnswer)
        noteLinkUp();
    else if (read.result == CommandRefused)
        noteLinkDown();
    releaseLink();
    return read.result;
}

void TOpros_ZMX::publishConstants(int result, const ConstantsRecord &constants)
{
    publish([&](ZmxSnapshot &p) {
        if (result == ConstantsRead) {
            p.Constants = constants;
            p.SerialNumber = constants.serialNumber;
            p.FirmwareVersion = constants.firmwareVersion;
        }
        p.ConstantsResult = result;
    });
}

void TOpros_ZMX::rereadConstantsIfDue(int code)
{
    // An answer lost or damaged on a busy line at connect must not leave the
    // instrument's number unknown for the rest of the run: every result would
    // be stored and printed as number -1. While readings come, the constants
    // are asked for again every few seconds until they are read.
    constexpr int RetryMs = 3000;
    int result;
    int linkState;
    {
        std::lock_guard lock(m_mutex);
        result = m_pub.ConstantsResult;
        linkState = m_pub.LinkState;
    }
    const bool answered = linkState == 5;
    if (code != ZMX_get_result || !answered || result == ConstantsRead
        || result == ZmxSnapshot::ConstantsNotRead || !m_constantsRetry.hasExpired())
        return;
    m_constantsRetry.setRemainingTime(RetryMs);
    const LinkConnector::ConstantsResult read = m_connector->readConstants();
    publishConstants(read.result, read.constants);
}

void TOpros_ZMX::notePortState(PortProblem problem, const QString &port)
{
    publish([problem](ZmxSnapshot &p) {
        p.PortState = problem;
        p.PortError = portProblemText(problem);
    });
    m_linkLog.portState(problem, port);
}

void TOpros_ZMX::noteLinkUp()
{
    m_linkLog.linkUp();
}

void TOpros_ZMX::noteLinkDown()
{
    m_linkLog.linkDown();
}

bool TOpros_ZMX::watchPort()
{
    // The port of a working link failed under an exchange: say why before a
    // reopen forgets it, and look for the port from now on.
    if (m_link->takePortFailure() && !m_portName.isEmpty() && !m_portRetry.active()) {
        const PortProblem problem = m_link->portProblem();
        notePortState(problem == PortProblem::None ? PortProblem::Lost : problem, m_portName);
        m_portRetry.start(m_portName, false);
        m_retryConnects = false;
    }
    if (!m_portRetry.active())
        return true;
    if (m_portRetry.take()) {
        if (m_retryConnects)
            retryPort();
        else
            reopenDeadPort();
    }
    // Nothing is sent until the port is back.
    return !m_portRetry.active();
}

void TOpros_ZMX::reopenDeadPort()
{
    // The instrument stays at the speed it was switched to; a replugged
    // adapter only needs its port opened and set up again.
    if (m_link->OpenPort(m_portName.toStdString())
        && m_link->InitPort(PacketExchange::LineSpeedFast)) {
        m_portRetry.stop();
        m_link->takePortFailure();
        notePortState(PortProblem::None, m_portName);
        m_linkLog.portReopened(m_portName);
        return;
    }
    const PortProblem problem = m_link->portProblem();
    notePortState(problem == PortProblem::None ? PortProblem::OpenFailed : problem, m_portName);
}

void TOpros_ZMX::retryPort()
{
    const QString name = m_portRetry.port();
    const LinkConnector::ConnectResult opened = m_connector->openPort(name);
    notePortState(opened.problem, name);
    if (opened.problem != PortProblem::None)
        return;

    // The port is ours now: connect as the connect sequence would, and read
    // the constants it would have read.
    m_portRetry.stop();
    const LinkConnector::ConnectResult outcome = m_connector->connectOpenPort(name);
    m_link->takePortFailure();
    if (outcome.result != Connected) {
        m_linkLog.noAnswer(name);
        return;
    }
    m_portName = name;
    publish([](ZmxSnapshot &p) {
        if (p.ProcedureActive == -1)
            p.ProcedureActive = 0;
    });
    noteLinkUp();
    const LinkConnector::ConstantsResult read = m_connector->readConstants();
    publishConstants(read.result, read.constants);
}

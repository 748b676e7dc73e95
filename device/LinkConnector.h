#pragma once

// Establishes the link to the instrument over a packet exchange and reads its
// constants. Connecting opens the port, tries 38400 bit/s, and falls back to
// 1200 bit/s where the instrument is switched up to 38400. Every step is
// bounded by the exchange's one-second retry loops (a failed connect takes up
// to about three seconds). Runs on whoever holds the link: the user interface
// thread while the polling cycle is stopped, or the polling thread itself.

#include "device/Records.h"
#include "device/Transport.h"

#include <QString>

#include <functional>

class PacketExchange;

class LinkConnector
{
public:
    static constexpr int Connected = 0;
    static constexpr int NotConnected = -1;
    static constexpr int ConstantsRead = 0;
    static constexpr int CommandRefused = -1;
    static constexpr int NoAnswer = -2;
    // An answer came, but not the 124 bytes of the constants.
    static constexpr int WrongAnswer = -4;
    static constexpr int StatusInfo = 0;
    static constexpr int StatusError = 1;

    // Receives each status message as it is reached.
    using Status = std::function<void(const QString &text, int severity)>;

    struct ConnectResult
    {
        int result = NotConnected;
        // Why the port could not be used; None when it opened (even if the
        // instrument then did not answer).
        PortProblem problem = PortProblem::None;
        // The system's own words on it, for the log.
        QString detail;
        // Connected at 38400 at once, or after switching the instrument from 1200.
        bool switched = false;
    };

    struct ConstantsResult
    {
        int result = CommandRefused;
        ConstantsRecord constants;
    };

    LinkConnector(PacketExchange &link, Status status);

    // Closes a port left open, opens `portName` and establishes the link.
    // Status messages: "Подключение...", then "Zelmor подключен. Порт <name>,
    // скорость 38400" after a direct connect, nothing more after a switch from
    // 1200, "Нет связи с Zelmor." on failure (the port is closed again).
    ConnectResult connect(const QString &portName);
    // The same on a port that is already open (a retry that got hold of it).
    ConnectResult connectOpenPort(const QString &portName);
    // Opens the port only: a retry that must not announce a new connect
    // while the port is still held by someone else.
    ConnectResult openPort(const QString &portName);

    // ZMX_get_constant and its answer. Only an answer of the record's 124
    // bytes is the constants: after any other the buffer holds leftovers
    // (the out packet, an older answer), so nothing is taken and the status
    // says that the constants were not read.
    ConstantsResult readConstants();

private:
    void status(const QString &text, int severity = StatusInfo);

    PacketExchange &m_link;
    Status m_status;
};

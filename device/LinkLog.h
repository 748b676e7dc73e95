#pragma once

// Writes the troubles of the port and the link to the application log, one
// lower-case English line per change: a port that keeps failing the same way
// or a link that stays down is logged once, not every cycle.

#include "device/Transport.h"

#include <QString>

#include <functional>

class LinkLog
{
public:
    using Writer = std::function<void(const QString &line)>;

    // The program's log (WriteLog) unless a writer is given.
    explicit LinkLog(Writer write = {});

    // The port's state after an open, a reopen or a failed exchange:
    // "port error: <reason> (<port>)" when a new problem appears.
    void portState(PortProblem problem, const QString &port);
    // A dead port came back: "port reopened (<port>)".
    void portReopened(const QString &port);
    // The instrument answered (an exchange went through): "link restored"
    // when it had been lost.
    void linkUp();
    // No answer where one was due: "link lost" when the link had been up.
    void linkDown();
    // A connect found the port but no instrument: "no answer from the
    // instrument (<port>)", once until the link comes up.
    void noAnswer(const QString &port);

    PortProblem problem() const { return m_problem; }

private:
    enum class Link { Unknown, Up, Down };

    void write(const QString &line);

    Writer m_write;
    PortProblem m_problem = PortProblem::None;
    QString m_problemPort;
    Link m_link = Link::Unknown;
};

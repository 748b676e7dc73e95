#pragma once

// The simulator for the polling thread's tests, started with posix_spawn and
// steered through pipes. The thread tests run under the thread sanitizer, and
// a child started through QProcess leaves the sanitizer blind to the main
// thread's locks afterwards (every lock then looks like a race); a plain
// spawn does not. Same steering language as SimProcess.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>
#include <sys/types.h>

class OprosSim
{
public:
    static constexpr int StartTimeoutMs = 10000;
    static constexpr int ReplyTimeoutMs = 5000;

    explicit OprosSim(const QStringList &arguments = {});
    ~OprosSim();
    OprosSim(const OprosSim &) = delete;
    OprosSim &operator=(const OprosSim &) = delete;

    bool isReady() const { return m_ready; }
    QString errorString() const { return m_error; }
    QString linkPath() const { return m_linkPath; }

    // One steering line; true on "ok" (or a status reply).
    bool send(const QString &line, int timeoutMs = ReplyTimeoutMs);
    QString lastReply() const { return m_lastReply; }
    // The value of `key` in the "status" reply.
    QString status(const QString &key);
    // The client's port dies; waits for the new line.
    bool hangup();

private:
    // The next output line starting with one of the prefixes; "" on timeout.
    QString nextLine(const QStringList &prefixes, int timeoutMs);

    QTemporaryDir m_dir;
    QString m_linkPath;
    QString m_error;
    QString m_lastReply;
    std::string m_buffer;
    pid_t m_pid = -1;
    int m_in = -1; // its standard input
    int m_out = -1; // its standard output
    bool m_ready = false;
};

#include "tests/support/SimProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>

namespace {

constexpr int QuitGraceMs = 3000;
constexpr int KillWaitMs = 2000;
const char ReadyPrefix[] = "ready ";

} // namespace

QString SimProcess::executablePath()
{
    return qEnvironmentVariable("ZELMOR_SIM");
}

SimProcess::SimProcess(const QStringList &arguments, int startTimeoutMs)
{
    const QString program = executablePath();
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        m_error = QStringLiteral("zelmor-sim not found (ZELMOR_SIM=\"%1\")").arg(program);
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: %1").arg(m_dir.errorString());
        return;
    }
    m_linkPath = m_dir.filePath(QStringLiteral("zelmor-tty"));
    // The simulator's log and remarks go to the test's own error output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Ended with its standard input, so a test that dies leaves no simulator behind.
    m_process.start(program,
        QStringList(arguments) << QStringLiteral("--quit-on-eof") << QStringLiteral("--link")
                               << m_linkPath);
    if (!m_process.waitForStarted(startTimeoutMs)) {
        m_error = QStringLiteral("zelmor-sim did not start: %1").arg(m_process.errorString());
        return;
    }
    const QString ready = waitForLine(QString::fromLatin1(ReadyPrefix), startTimeoutMs);
    if (ready.isEmpty()) {
        m_error
            = QStringLiteral("zelmor-sim did not report its line within %1 ms").arg(startTimeoutMs);
        stop();
        return;
    }
    m_slavePath = ready.mid(int(sizeof ReadyPrefix) - 1);
    m_ready = QFileInfo::exists(m_linkPath);
    if (!m_ready)
        m_error = QStringLiteral("zelmor-sim made no link at %1").arg(m_linkPath);
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::readMore(int timeoutMs)
{
    if (m_process.state() != QProcess::Running && m_process.bytesAvailable() == 0)
        return false;
    if (m_process.bytesAvailable() == 0 && !m_process.waitForReadyRead(timeoutMs))
        return false;
    m_buffer += m_process.readAllStandardOutput();
    for (int nl; (nl = int(m_buffer.indexOf('\n'))) >= 0;) {
        m_lines << QString::fromUtf8(m_buffer.left(nl)).trimmed();
        m_buffer.remove(0, nl + 1);
    }
    return true;
}

QString SimProcess::waitForLine(const QString &prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (int i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].startsWith(prefix)) {
                const QString line = m_lines[i];
                // Everything before the line is consumed with it.
                m_lines.erase(m_lines.begin(), m_lines.begin() + i + 1);
                return line;
            }
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !readMore(int(left)))
            return {};
    }
}

bool SimProcess::send(const QString &line, int timeoutMs)
{
    m_lastReply.clear();
    if (m_process.state() != QProcess::Running) {
        m_error = QStringLiteral("zelmor-sim is not running");
        return false;
    }
    // Drop unread replies of earlier lines so this reply is the next one.
    readMore(0);
    m_lines.erase(std::remove_if(m_lines.begin(), m_lines.end(),
                      [](const QString &l) {
                          return l == QLatin1String("ok") || l.startsWith(QLatin1String("error"))
                              || l.startsWith(QLatin1String("status "));
                      }),
        m_lines.end());
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(timeoutMs);
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (int i = 0; i < m_lines.size(); ++i) {
            const QString &l = m_lines[i];
            if (l == QLatin1String("ok") || l.startsWith(QLatin1String("error"))
                || l.startsWith(QLatin1String("status "))) {
                m_lastReply = l;
                m_lines.removeAt(i);
                if (l != QLatin1String("ok") && !l.startsWith(QLatin1String("status ")))
                    m_error = l;
                return !l.startsWith(QLatin1String("error"));
            }
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !readMore(int(left))) {
            m_error = QStringLiteral("no reply to \"%1\"").arg(line);
            return false;
        }
    }
}

QString SimProcess::statusLine(int timeoutMs)
{
    if (!send(QStringLiteral("status"), timeoutMs))
        return {};
    return m_lastReply.mid(7);
}

QString SimProcess::status(const QString &key, int timeoutMs)
{
    const QString line = statusLine(timeoutMs);
    const QString wanted = key + QLatin1Char('=');
    for (const QString &part : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (part.startsWith(wanted))
            return part.mid(wanted.size());
    return {};
}

bool SimProcess::hangup(int timeoutMs)
{
    if (!send(QStringLiteral("hangup"), timeoutMs))
        return false;
    const QString ready = waitForLine(QString::fromLatin1(ReadyPrefix), timeoutMs);
    if (ready.isEmpty())
        return false;
    m_slavePath = ready.mid(int(sizeof ReadyPrefix) - 1);
    return true;
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(QuitGraceMs)) {
        m_process.kill();
        m_process.waitForFinished(KillWaitMs);
    }
    m_ready = false;
}

#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the user interface thread, so
// that a stop request from the system ends the program in order (the log
// gets its "exit zelmor") instead of killing it mid-write. The signal handler
// only writes one byte into a pipe; everything else runs from the event loop.
// Once installed it stays for the life of the process, so a second request
// during shutdown changes nothing.
class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void shutdownRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

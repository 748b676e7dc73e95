#include "device/ResponsiveCall.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

int callKeepingEventsFlowing(const std::function<int()> &call)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return call();

    int result = 0;
    QEventLoop loop;
    QThread *worker = QThread::create([&result, &call] { result = call(); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    // Input is left out so that a click cannot start a second call meanwhile;
    // painting and timers go on.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    return result;
}

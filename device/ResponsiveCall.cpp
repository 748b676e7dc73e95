#include "device/ResponsiveCall.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <thread>

int callKeepingEventsFlowing(const std::function<int()> &call)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return call();

    int result = 0;
    QEventLoop loop;
    std::thread worker([&result, &call, &loop] {
        result = call();
        // Queued: the loop may not have started yet; the quit then waits for it.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Input is left out so that a click cannot start a second call meanwhile;
    // painting and timers go on.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return result;
}

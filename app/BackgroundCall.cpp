#include "app/BackgroundCall.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

int runInBackground(const std::function<int()> &call)
{
    int result = 0;
    QEventLoop loop;
    std::thread worker([&] {
        result = call();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends early when the program is asked to quit; the call
    // is still bounded, so wait for it.
    worker.join();
    return result;
}

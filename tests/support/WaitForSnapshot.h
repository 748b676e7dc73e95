#pragma once

// Waiting for what a link's thread publishes: its snapshot is polled until a
// condition holds, with a generous time bound.

#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <utility>

// Polls source.snapshot() until `ready` holds or `timeoutMs` passed; the last
// snapshot is left in `last`.
template <typename Source, typename Snapshot = decltype(std::declval<const Source &>().snapshot())>
bool waitForSnapshot(const Source &source, const std::function<bool(const Snapshot &)> &ready,
    int timeoutMs, Snapshot *last = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const Snapshot s = source.snapshot();
        if (last)
            *last = s;
        if (ready(s))
            return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
}

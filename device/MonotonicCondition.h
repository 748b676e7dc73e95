#pragma once

#include <pthread.h>

#include <chrono>
#include <ctime>
#include <mutex>

// A condition variable whose timed waits run on the monotonic clock through
// pthread_cond_timedwait. std::condition_variable::wait_for goes through
// pthread_cond_clockwait on this platform, which the thread sanitizer of the
// system compiler does not follow, so every wake-up looked like a race; and a
// wait on the wall clock would stall for as long as the clock is set back.
class MonotonicCondition
{
public:
    MonotonicCondition()
    {
        pthread_condattr_t attributes;
        pthread_condattr_init(&attributes);
        pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        pthread_cond_init(&m_cond, &attributes);
        pthread_condattr_destroy(&attributes);
    }
    ~MonotonicCondition() { pthread_cond_destroy(&m_cond); }
    MonotonicCondition(const MonotonicCondition &) = delete;
    MonotonicCondition &operator=(const MonotonicCondition &) = delete;

    void notifyAll() { pthread_cond_broadcast(&m_cond); }

    template <typename Predicate> void wait(std::unique_lock<std::mutex> &lock, Predicate ready)
    {
        while (!ready())
            pthread_cond_wait(&m_cond, lock.mutex()->native_handle());
    }

    // Waits until `ready` holds or `timeout` has passed; returns ready().
    template <typename Predicate>
    bool waitFor(
        std::unique_lock<std::mutex> &lock, std::chrono::milliseconds timeout, Predicate ready)
    {
        timespec deadline;
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        const long long ns = deadline.tv_nsec + (timeout.count() % 1000) * 1000000LL;
        deadline.tv_sec += time_t(timeout.count() / 1000 + ns / 1000000000LL);
        deadline.tv_nsec = long(ns % 1000000000LL);
        while (!ready()) {
            if (pthread_cond_timedwait(&m_cond, lock.mutex()->native_handle(), &deadline) != 0)
                return ready();
        }
        return true;
    }

private:
    pthread_cond_t m_cond;
};

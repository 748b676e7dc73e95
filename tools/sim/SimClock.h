#pragma once

#include <chrono>
#include <cstdint>

// One monotonic clock for the whole simulator, in microseconds: the line's
// byte pacing needs finer steps than milliseconds.
inline int64_t monotonicMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr int64_t MicrosPerMilli = 1000;

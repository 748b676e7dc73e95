#pragma once

#include <chrono>
#include <cstdint>

// The link's millisecond tick: a monotonic clock read as an unsigned 32-bit
// count. It wraps after about 49.7 days, so deadlines are compared by the
// signed difference, never with a plain `<`.
class MsClock
{
public:
    static uint32_t now()
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<uint32_t>(ms.count());
    }

    // True when tick `a` lies before tick `b` (valid for spans under 24.8 days).
    static constexpr bool before(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

    // Milliseconds from `now` until `deadline`; 0 once it has passed.
    static constexpr uint32_t remaining(uint32_t deadline, uint32_t now)
    {
        return before(now, deadline) ? deadline - now : 0;
    }

    // Milliseconds elapsed from `earlier` to `later`.
    static constexpr uint32_t elapsed(uint32_t earlier, uint32_t later) { return later - earlier; }
};

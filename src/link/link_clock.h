#pragma once
// The millisecond clock and the way every wait of the link passes time. The
// program's clock lets window events run and blocks briefly between polls;
// tests substitute a clock that advances by itself, so the 300, 500 and 2000 ms
// waits cost nothing.
#include <cstdint>

namespace px316t {

class LinkClock {
public:
    virtual ~LinkClock() = default;
    virtual std::int64_t nowMs() = 0;
    // Lets pending window events run, without blocking.
    virtual void letEventsRun() = 0;
    // One poll interval of a wait: lets window events run, then blocks briefly.
    virtual void idle() = 0;
};

// Waits `ms` milliseconds through clock.idle().
inline void waitMs(LinkClock& clock, int ms)
{
    const std::int64_t start = clock.nowMs();
    while (clock.nowMs() - start < ms)
        clock.idle();
}

} // namespace px316t

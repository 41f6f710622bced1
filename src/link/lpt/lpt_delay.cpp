#include "link/lpt/lpt_delay.h"

#include <algorithm>
#include <thread>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace px316t {
namespace {

using Clock = std::chrono::steady_clock;

// Asking for less than this is not worth a sleep: the spin finishes it.
constexpr std::int64_t MinSleepNs = 10'000;
// Margin kept between the expected wake-up and the end of the delay.
constexpr std::int64_t SpinMarginNs = 4'000;
// Wake-ups later than this are the scheduler giving the core to someone else,
// which spinning would not prevent; they must not turn every delay into a spin.
constexpr std::int64_t MaxLatencyNs = 45'000;

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

HighResolutionDelay::HighResolutionDelay()
{
#if defined(__linux__)
    // The kernel lets a normal thread's sleep run up to 50 us late by default,
    // which on its own would make a 75 us delay last nearly twice as long.
    // One nanosecond of slack is what a timing-critical thread asks for.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

void HighResolutionDelay::BitDelay()
{
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + BitDelayTime;
    const std::int64_t sleepNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(BitDelayTime).count() - wakeLatencyNs_ - SpinMarginNs;
    if (sleepNs >= MinSleepNs) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(sleepNs));
        const std::int64_t slept =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
        const std::int64_t latency = std::max<std::int64_t>(0, slept - sleepNs);
        // A late wake-up raises the estimate at once; early ones lower it
        // slowly, so a busy machine does not make every delay overshoot.
        if (latency > wakeLatencyNs_)
            wakeLatencyNs_ = std::min(MaxLatencyNs, (wakeLatencyNs_ + latency) / 2);
        else
            wakeLatencyNs_ = wakeLatencyNs_ - (wakeLatencyNs_ - latency) / 16;
    }
    while (Clock::now() < end)
        cpuRelax();
}

} // namespace px316t

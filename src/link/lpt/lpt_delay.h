#pragma once
// The bus delay of the program: at least 75 microseconds measured on the
// steady clock. No start-up calibration is needed.
#include "link/lpt/lpt_bus.h"

#include <chrono>
#include <cstdint>

namespace px316t {

inline constexpr std::chrono::microseconds BitDelayTime{75};

class HighResolutionDelay final : public BusDelay {
public:
    HighResolutionDelay();
    // Sleeps for most of the delay and spins only for its last few
    // microseconds: the thread's wake-up latency, learnt as it goes, decides
    // how early it wakes.
    void BitDelay() override;

    std::int64_t wakeLatencyNs() const { return wakeLatencyNs_; }

private:
    std::int64_t wakeLatencyNs_ = 25'000;
};

} // namespace px316t

#pragma once
// The program's LinkClock: std::chrono::steady_clock milliseconds; a poll lets
// window events run and then sleeps one millisecond, so a wait costs a few
// percent of a core instead of all of it.
#include "link/link_clock.h"

namespace px316t {

class QtLinkClock final : public LinkClock {
public:
    std::int64_t nowMs() override;
    void letEventsRun() override;
    void idle() override;
};

} // namespace px316t

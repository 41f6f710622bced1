#pragma once
// Where the first capcode of the next pager comes from in a production run. A
// station reserves a capcode before writing, marks it used after the verified
// write and gives it back after a failed one, so no capcode is written twice and
// none is skipped over a failure.
#include "production/outcome.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace px316t {

struct Reservation {
    std::uint64_t capcode = 0;
    std::int64_t id = 0;      // the reservation's identity in its sequence
};

class CapcodeSequence {
public:
    virtual ~CapcodeSequence() = default;
    // The lowest capcode given back earlier, else the next new one; a failure
    // when the sequence has none left or cannot be reached.
    virtual Outcome<Reservation> reserveNext() = 0;
    // After the verified write.
    virtual Status markUsed(const Reservation& reservation) = 0;
    // After a failed write or verify: the capcode is the next one reserved.
    virtual Status giveBack(const Reservation& reservation) = 0;
    // The capcode the next reservation would give (for the final table file);
    // nothing when none is left or it cannot be known.
    virtual std::optional<std::uint64_t> peekNext() = 0;
};

// The last capcode a run starting at `first` may write, by the rules of the
// window's auto-increase: a long pair goes up to 4291000000, a short one up to
// 2031614; a run never steps from below the reserved gap 2031615..2101248 into it.
std::uint64_t lastCapcodeOfRun(std::uint64_t first, bool longPair);
// The window's message when the capcode cannot be raised past `last`.
std::string capcodeLimitMessage(std::uint64_t last);

// One station: the first capcode of the image, raised by one after every
// verified write, as the window's auto-increase does. Several boards of the
// station may share it from their own threads.
class LocalCapcodeSequence : public CapcodeSequence {
public:
    LocalCapcodeSequence(std::uint64_t first, std::uint64_t last) : next_(first), last_(last) {}

    Outcome<Reservation> reserveNext() override;
    Status markUsed(const Reservation& reservation) override;
    Status giveBack(const Reservation& reservation) override;
    std::optional<std::uint64_t> peekNext() override;

private:
    std::mutex mutex_;
    std::uint64_t next_;
    std::uint64_t last_;
    std::set<std::uint64_t> returned_;
    std::set<std::uint64_t> outstanding_;
};

} // namespace px316t

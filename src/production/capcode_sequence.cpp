#include "production/capcode_sequence.h"

#include "editor/capcode_codec.h"

namespace px316t {

std::uint64_t lastCapcodeOfRun(std::uint64_t first, bool longPair)
{
    if (first < ShortCapcodeLimit)
        return ShortCapcodeLimit - 1;
    return longPair ? LongCapcodeLimit : first;   // a short field above its limit is not raised at all
}

std::string capcodeLimitMessage(std::uint64_t last)
{
    const std::uint64_t shown = last < ShortCapcodeLimit ? ShortCapcodeLimit : LongCapcodeLimit;
    return "Capcode 1 > " + std::to_string(shown) + " so can not be increase!";
}

Outcome<Reservation> LocalCapcodeSequence::reserveNext()
{
    const std::lock_guard lock(mutex_);
    std::uint64_t capcode = 0;
    if (!returned_.empty()) {
        capcode = *returned_.begin();
        returned_.erase(returned_.begin());
    } else {
        if (next_ > last_)
            return Failure{capcodeLimitMessage(last_)};
        capcode = next_++;
    }
    outstanding_.insert(capcode);
    return Reservation{capcode, static_cast<std::int64_t>(capcode)};
}

Status LocalCapcodeSequence::markUsed(const Reservation& reservation)
{
    const std::lock_guard lock(mutex_);
    if (outstanding_.erase(reservation.capcode) == 0)
        return Failure{"Capcode " + std::to_string(reservation.capcode) + " is not reserved."};
    return {};
}

Status LocalCapcodeSequence::giveBack(const Reservation& reservation)
{
    const std::lock_guard lock(mutex_);
    if (outstanding_.erase(reservation.capcode) == 0)
        return Failure{"Capcode " + std::to_string(reservation.capcode) + " is not reserved."};
    returned_.insert(reservation.capcode);
    return {};
}

std::optional<std::uint64_t> LocalCapcodeSequence::peekNext()
{
    const std::lock_guard lock(mutex_);
    if (!returned_.empty())
        return *returned_.begin();
    if (next_ > last_)
        return std::nullopt;
    return next_;
}

} // namespace px316t

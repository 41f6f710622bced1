#include "production/capcode_sequence.h"

#include "editor/capcode_codec.h"
#include "editor/messages.h"

#include <vector>

namespace px316t {

std::uint64_t lastCapcodeOfRun(std::uint64_t first, bool longPair)
{
    if (first < ShortCapcodeLimit)
        return ShortCapcodeLimit - 1;
    return longPair ? LongCapcodeLimit : first;   // a short field above its limit is not raised at all
}

std::string capcodeLimitMessage(std::uint64_t last)
{
    // Only a long pair's run ends at the long limit; a short row ends at its own.
    return messages::capcodeLimit(last == LongCapcodeLimit ? LongCapcodeLimit : ShortCapcodeLimit);
}

std::string reservationStateText(ReservationState state)
{
    switch (state) {
    case ReservationState::Reserved:
        return "reserved";
    case ReservationState::Writing:
        return "writing";
    case ReservationState::Used:
        return "used";
    case ReservationState::Returned:
        return "returned";
    case ReservationState::Uncertain:
        break;
    }
    return "uncertain";
}

std::optional<ReservationState> reservationStateFromText(const std::string& text)
{
    for (ReservationState s : {ReservationState::Reserved, ReservationState::Writing, ReservationState::Used,
                               ReservationState::Returned, ReservationState::Uncertain})
        if (reservationStateText(s) == text)
            return s;
    return std::nullopt;
}

namespace {

struct Move {
    ReservationState to;
    std::vector<ReservationState> from;
    const char* text;
};

// reserved -> writing -> used, or -> returned when the write never began, or
// -> uncertain when it began and did not end verified; an uncertain capcode
// whose pager was verified after all becomes used.
const std::vector<Move>& moves()
{
    static const std::vector<Move> table = {
        {ReservationState::Writing, {ReservationState::Reserved}, "written"},
        {ReservationState::Used, {ReservationState::Writing, ReservationState::Uncertain}, "marked used"},
        {ReservationState::Returned, {ReservationState::Reserved, ReservationState::Writing}, "given back"},
        {ReservationState::Uncertain, {ReservationState::Writing}, "marked uncertain"},
    };
    return table;
}

const Move& moveTo(ReservationState to)
{
    for (const Move& m : moves())
        if (m.to == to)
            return m;
    return moves().front();   // reserved is where a reservation starts, not a move
}

} // namespace

std::string sqlStatesLeftFor(ReservationState to)
{
    std::string list;
    for (ReservationState s : moveTo(to).from)
        list += (list.empty() ? "('" : ", '") + reservationStateText(s) + "'";
    return list + ")";
}

std::string moveText(ReservationState to) { return moveTo(to).text; }

Outcome<ListColumns> CapcodeSequence::listColumnsOf(std::uint64_t) { return ListColumns{}; }

Outcome<Reservation> LocalCapcodeSequence::reserveNext()
{
    const std::lock_guard lock(mutex_);
    std::uint64_t capcode = 0;
    if (!returned_.empty()) {
        capcode = *returned_.begin();
        returned_.erase(returned_.begin());
    } else {
        if (next_ > last_) {
            exhausted_ = true;
            return Failure{capcodeLimitMessage(last_)};
        }
        capcode = next_++;
    }
    outstanding_.insert(capcode);
    return Reservation{capcode, static_cast<std::int64_t>(capcode)};
}

Status LocalCapcodeSequence::beginWriting(const Reservation& reservation, const WriteIntent&)
{
    const std::lock_guard lock(mutex_);
    if (!outstanding_.count(reservation.capcode))
        return Failure{"Capcode " + std::to_string(reservation.capcode) + " is not reserved."};
    return {};
}

Status LocalCapcodeSequence::finish(const Reservation& reservation, std::set<std::uint64_t>* into)
{
    const std::lock_guard lock(mutex_);
    if (outstanding_.erase(reservation.capcode) == 0)
        return Failure{"Capcode " + std::to_string(reservation.capcode) + " is not reserved."};
    if (into)
        into->insert(reservation.capcode);
    return {};
}

Status LocalCapcodeSequence::markUsed(const Reservation& reservation) { return finish(reservation, nullptr); }

Status LocalCapcodeSequence::giveBack(const Reservation& reservation) { return finish(reservation, &returned_); }

Status LocalCapcodeSequence::markUncertain(const Reservation& reservation, const std::string&)
{
    return finish(reservation, &uncertain_);
}

Outcome<std::optional<std::uint64_t>> LocalCapcodeSequence::peekNext()
{
    const std::lock_guard lock(mutex_);
    if (!returned_.empty())
        return std::optional(*returned_.begin());
    exhausted_ = next_ > last_;
    return exhausted_ ? std::nullopt : std::optional(next_);
}

} // namespace px316t

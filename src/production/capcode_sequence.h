#pragma once
// Where the first capcode of the next pager comes from in a production run.
// A reservation moves reserved -> writing (committed before the first write
// frame goes out) -> used (committed after the verified write, before success
// is said), or -> returned when the write provably never began. A write that
// began and did not end verified leaves the capcode uncertain: it may be in a
// pager, so it is never handed out again, and the record says why.
#include "production/entry_origin.h"
#include "production/image_summary.h"
#include "production/outcome.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace px316t {

struct Reservation {
    std::uint64_t capcode = 0;
    std::int64_t id = 0;      // the reservation's identity in its sequence
    ListColumns listed = {};  // the allocation list's columns, when the capcode came from one
};

enum class ReservationState { Reserved, Writing, Used, Returned, Uncertain };

std::string reservationStateText(ReservationState state);   // "reserved", "writing", ...
std::optional<ReservationState> reservationStateFromText(const std::string& text);

// The moves of a reservation, stated once for every sequence that keeps them
// in a database: the states a reservation may leave for `to`, as an SQL list
// ("('writing', 'uncertain')" for used), and how a refused move is named
// ("written", "marked used", "given back", "marked uncertain").
std::string sqlStatesLeftFor(ReservationState to);
std::string moveText(ReservationState to);

// A reservation as the record and the batch commands list it.
struct ReservationRow {
    std::uint64_t capcode = 0;
    ReservationState state = ReservationState::Reserved;
    std::string station;
    std::int64_t instance = 0;
    std::string port;
    std::string reason;
    std::string since;        // when it entered its state (UTC)
};

// What is known of a pager about to be written, kept with the `writing` state
// so that a recovery can say which image may be in a pager.
struct WriteIntent {
    std::string port;
    ImageSummary image;
    EntrySource source = {};
};

class CapcodeSequence {
public:
    virtual ~CapcodeSequence() = default;
    // The lowest capcode given back earlier, else the next new one; a failure
    // when the sequence has none left (exhausted() then says so) or cannot be
    // reached.
    virtual Outcome<Reservation> reserveNext() = 0;
    // reserved -> writing, committed: the pager may be touched only after this
    // succeeded.
    virtual Status beginWriting(const Reservation& reservation, const WriteIntent& intent) = 0;
    // writing -> used, after the verified write.
    virtual Status markUsed(const Reservation& reservation) = 0;
    // reserved (or writing whose first frame never went out) -> returned: the
    // capcode is the next one reserved.
    virtual Status giveBack(const Reservation& reservation) = 0;
    // writing -> uncertain, with the reason the record shows.
    virtual Status markUncertain(const Reservation& reservation, const std::string& reason) = 0;
    // The capcode the next reservation would give (for the final table file);
    // nothing when none is left; a failure when the sequence cannot be reached.
    virtual Outcome<std::optional<std::uint64_t>> peekNext() = 0;
    // True once reserveNext() or peekNext() found no capcode left.
    virtual bool exhausted() const = 0;
    // The allocation list's columns of `capcode` (empty for a sequence that
    // walks no list): for showing the next capcode with its customer.
    virtual Outcome<ListColumns> listColumnsOf(std::uint64_t capcode);
};

// The last capcode a run starting at `first` may write, by the rules of the
// window's auto-increase: a long pair goes up to 4291000000, a short one up to
// 2031614; a run never steps from below the reserved gap 2031615..2101248 into it.
std::uint64_t lastCapcodeOfRun(std::uint64_t first, bool longPair);
// The window's message when the capcode cannot be raised past `last`.
std::string capcodeLimitMessage(std::uint64_t last);

// A sequence in memory only: the first capcode of the image, raised by one
// after every verified write. Several boards may share it from their own
// threads. It keeps nothing across runs; a station keeps its sequence in its
// record (SqliteCapcodeSequence).
class LocalCapcodeSequence : public CapcodeSequence {
public:
    LocalCapcodeSequence(std::uint64_t first, std::uint64_t last) : next_(first), last_(last) {}

    Outcome<Reservation> reserveNext() override;
    Status beginWriting(const Reservation& reservation, const WriteIntent& intent) override;
    Status markUsed(const Reservation& reservation) override;
    Status giveBack(const Reservation& reservation) override;
    Status markUncertain(const Reservation& reservation, const std::string& reason) override;
    Outcome<std::optional<std::uint64_t>> peekNext() override;
    bool exhausted() const override { return exhausted_; }

    const std::set<std::uint64_t>& uncertain() const { return uncertain_; }

private:
    Status finish(const Reservation& reservation, std::set<std::uint64_t>* into);

    std::mutex mutex_;
    std::uint64_t next_;
    std::uint64_t last_;
    std::atomic<bool> exhausted_ = false;
    std::set<std::uint64_t> returned_;
    std::set<std::uint64_t> outstanding_;
    std::set<std::uint64_t> uncertain_;
};

} // namespace px316t

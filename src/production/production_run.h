#pragma once
// A production run over one or several boards: each board, on its own thread,
// takes production steps: reserve the next first capcode, commit that its
// write begins, write and verify the pager, record both and mark the capcode
// used; only then is the pager done. A board that fails stops alone; its
// capcode goes back only when its write never began, else it stays uncertain.
#include "production/capcode_sequence.h"
#include "production/production_record.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

// How one write and its verification went.
struct PagerTransfer {
    RecordResult write = RecordResult::Success;
    std::optional<RecordResult> verify;   // nothing when the write failed
    // Whether any write frame went out: only a write that provably never began
    // (the port did not open) leaves the pager as it was.
    bool writeStarted = true;
    std::optional<SystemTime> writeEnded;   // when the write ended, for its record entry
    bool succeeded() const { return write == RecordResult::Success && verify == RecordResult::Success; }
};

// One programming board. It is made and used on its board's thread only. It
// must not say the verify succeeded: the step says so once the bookkeeping
// committed.
class PagerProgrammer {
public:
    virtual ~PagerProgrammer() = default;
    virtual PagerTransfer writeAndVerify(const PagerTable& image) = 0;
};

// Why a production step ended.
enum class StepStop {
    None,             // written, verified, recorded and marked used
    NoCapcodeLeft,    // the sequence is exhausted; nothing was written
    CannotReserve,    // no capcode could be reserved; nothing was written
    CannotRecord,     // the write's beginning could not be committed; the pager was not touched
    TransferFailed,   // the write or the verify failed; the capcode was given back or is uncertain
    NotKept,          // verified, but the record or the used mark did not commit; never handed out again
};

// What the step needs besides the sequence, the record and the board.
struct StepContext {
    std::string station;
    std::string batch;                                     // recorded with each entry; empty when local
    std::string port;
    std::function<PagerTable(std::uint64_t)> imageFor;     // the image with that first capcode
    // Called after the capcode was reserved and its write's beginning committed.
    std::function<void(std::uint64_t capcode)> starting;
    EntrySource source = {};                               // on every entry and every capcode written
};

struct PagerStep {
    StepStop stop = StepStop::None;
    std::uint64_t capcode = 0;        // 0 when none was reserved
    ListColumns listed = {};          // the allocation list's columns of the capcode
    PagerTransfer transfer;
    std::optional<ReservationState> state;   // what became of the capcode
    std::string message;              // why it stopped, for the operator
};

// One pager: reserve, begin writing (committed), write and verify, record,
// mark used. Nothing is said to have succeeded before all of it committed.
PagerStep producePagerStep(CapcodeSequence& sequence, RecordStore& record, PagerProgrammer& programmer,
                           const StepContext& context);

struct BoardPlan {
    std::string port;                                             // as the record names it
    std::function<std::unique_ptr<PagerProgrammer>()> connect;    // nothing: the board cannot be used
};

struct ProductionPlan {
    int count = 1;                                  // pagers to write over all boards
    std::string station;
    std::string batch;                              // recorded with each entry; empty when local
    std::function<PagerTable(std::uint64_t)> imageFor;   // the image with that first capcode
    EntrySource source = {};                        // operator, program version, table file
    // The callbacks below come from the boards' threads, one call at a time.
    // Asked before each pager of a board after its first; false stops that board.
    std::function<bool(const std::string& port)> beforeNextPager;
    // A pager (numbered 1.. over the run) is about to be written with `capcode`.
    std::function<void(const std::string& port, int pager, std::uint64_t capcode)> startingPager;
    // The pager with `capcode` is written, verified and recorded, and the
    // capcode marked used (only now may success be said); false stops that board.
    std::function<bool(const std::string& port, std::uint64_t capcode)> pagerDone;
};

struct BoardReport {
    std::string port;
    int written = 0;
    StepStop stop = StepStop::None;
    std::string stopReason;   // empty when the board simply ran out of work
    int failedPager = 0;      // the pager number of a failed transfer, else 0
    std::uint64_t failedCapcode = 0;
};

struct ProductionReport {
    int written = 0;
    bool failed = false;      // some board stopped on a failure
    std::vector<BoardReport> boards;
};

ProductionReport runProduction(const std::vector<BoardPlan>& boards, const ProductionPlan& plan,
                               CapcodeSequence& sequence, RecordStore& record);

} // namespace px316t

#pragma once
// A production run over one or several boards: each board, on its own thread,
// reserves the next first capcode, writes and verifies the pager, records the
// write and the verify, and marks the capcode used or gives it back. A board
// that fails stops; the others go on with the capcodes it gave back.
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
    bool succeeded() const { return write == RecordResult::Success && verify == RecordResult::Success; }
};

// One programming board. It is made and used on its board's thread only.
class PagerProgrammer {
public:
    virtual ~PagerProgrammer() = default;
    virtual PagerTransfer writeAndVerify(const PagerTable& image) = 0;
};

struct BoardPlan {
    std::string port;                                             // as the record names it
    std::function<std::unique_ptr<PagerProgrammer>()> connect;    // nothing: the board cannot be used
};

struct ProductionPlan {
    int count = 1;                                  // pagers to write over all boards
    std::string station;
    std::string batch;                              // recorded with each entry; empty when local
    std::function<PagerTable(std::uint64_t)> imageFor;   // the image with that first capcode
    // The callbacks below come from the boards' threads, one call at a time.
    // Asked before each pager of a board after its first; false stops that board.
    std::function<bool(const std::string& port)> beforeNextPager;
    // A pager (numbered 1.. over the run) is about to be written with `capcode`.
    std::function<void(const std::string& port, int pager, std::uint64_t capcode)> startingPager;
    // The pager with `capcode` is written, verified and recorded, and the
    // capcode marked used; false stops that board.
    std::function<bool(const std::string& port, std::uint64_t capcode)> pagerDone;
};

struct BoardReport {
    std::string port;
    int written = 0;
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

#pragma once
// The programming sequence's transfers as the production record sees them.
#include "link/link_kind.h"
#include "link/programming_sequence.h"
#include "production/production_run.h"
#include "production/production_services.h"

namespace px316t {

// The record's result for a failed transfer.
RecordResult recordResultOf(TransferFailure failure);

// Write, then verify when the write succeeded, as Pager > Write does.
PagerTransfer writeAndVerifyPager(ProgrammingSequence& sequence, const PagerTable& image, ProgressView& progress);

// A board's programming sequence as a production step's programmer. It keeps
// the sequence from saying "Verify Success!": the step says so once the
// pager's bookkeeping committed.
class SequenceProgrammer : public PagerProgrammer {
public:
    SequenceProgrammer(ProgrammingSequence& sequence, ProgressView& progress)
        : sequence_(sequence), progress_(progress) {}
    PagerTransfer writeAndVerify(const PagerTable& image) override;

private:
    ProgrammingSequence& sequence_;
    ProgressView& progress_;
};

// The write entry and, when there was one, the verify entry of `transfer`.
Status recordPagerTransfer(ProductionServices& services, const PagerTable& image, const PagerTransfer& transfer,
                           const std::string& port);

// "COM3" for a USB board, "LPT" for the parallel-port board.
std::string portName(LinkKind kind, int comPort);

} // namespace px316t

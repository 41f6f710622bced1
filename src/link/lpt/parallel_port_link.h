#pragma once
// The whole-memory operations of the parallel-port board, which a build with
// LinkKind "LPT" dispatches to. Each returns whether it failed (the programming
// window's TransferFailed) and shows its own messages and progress.
#include "link/progress_view.h"
#include "table/pager_table.h"

namespace px316t {

class ParallelPortLink {
public:
    virtual ~ParallelPortLink() = default;
    // True when the operation failed.
    virtual bool lpt_writeall(const PagerTable& table, int first, int last, ProgressView& progress) = 0;
    // Reads straight into the table; true when the read failed.
    virtual bool lpt_readall(PagerTable& table, int first, int last, ProgressView& progress) = 0;
    virtual bool lpt_verify(const PagerTable& table, int first, int last, ProgressView& progress) = 0;
    // Leaves the bus idle after every operation, also one that ended early, and
    // gives back the port the operation claimed.
    virtual void BusStop() = 0;
    // Whether the last failed operation found bytes that differ from the table
    // (a verify's difference) rather than a memory that did not answer.
    virtual bool LastFailureWasDifference() const = 0;
    // Whether the last failed verify lost the board on its way.
    virtual bool LastFailureWasLoss() const = 0;
    // While held, a verify that succeeds says nothing: a production step says
    // so once its bookkeeping committed.
    virtual void HoldVerifySuccess(bool hold) = 0;
};

} // namespace px316t

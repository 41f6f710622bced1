#include "link/lpt/lpt_pager_link.h"

namespace px316t {

bool LptPagerLink::finish(bool failed, TransferFailure failure)
{
    lpt_.BusStop();
    lastFailure_ = failed ? failure : TransferFailure::None;
    return !failed;
}

bool LptPagerLink::writeAll(const PagerTable& table, ProgressView& progress)
{
    return finish(lpt_.lpt_writeall(table, 0, PagerTableLast, progress), TransferFailure::NoAnswer);
}

bool LptPagerLink::readAll(PagerTable& table, ProgressView& progress)
{
    return finish(lpt_.lpt_readall(table, 0, PagerTableLast, progress), TransferFailure::NoAnswer);
}

bool LptPagerLink::verifyAll(const PagerTable& table, ProgressView& progress)
{
    // The verify compares as it reads: a failure is a difference, a memory
    // that did not answer ("Read error!"), or one lost on the way.
    const bool failed = lpt_.lpt_verify(table, 0, PagerTableLast, progress);
    const TransferFailure failure = lpt_.LastFailureWasLoss()         ? TransferFailure::BoardLost
                                    : lpt_.LastFailureWasDifference() ? TransferFailure::VerifyMismatch
                                                                      : TransferFailure::NoAnswer;
    return finish(failed, failure);
}

} // namespace px316t

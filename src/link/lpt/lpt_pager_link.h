#pragma once
// The parallel-port board as a pager link: its whole-memory operations, each
// followed by the bus's STOP, which also gives back the port it claimed.
#include "link/lpt/parallel_port_link.h"
#include "link/pager_link.h"

namespace px316t {

class LptPagerLink final : public PagerLink {
public:
    explicit LptPagerLink(ParallelPortLink& lpt) : lpt_(lpt) {}

    bool writeAll(const PagerTable& table, ProgressView& progress) override;
    bool readAll(PagerTable& table, ProgressView& progress) override;
    bool verifyAll(const PagerTable& table, ProgressView& progress) override;
    TransferFailure lastFailure() const override { return lastFailure_; }
    // The board cannot tell how far a failed write got.
    bool lastWriteStarted() const override { return true; }
    void holdVerifySuccess(bool hold) override { lpt_.HoldVerifySuccess(hold); }

private:
    // Stops the bus after an operation that failed when `failed`; true on success.
    bool finish(bool failed, TransferFailure failure);

    ParallelPortLink& lpt_;
    TransferFailure lastFailure_ = TransferFailure::None;
};

} // namespace px316t

#pragma once
// One programming board as the programming sequence drives it: the whole
// pager memory written, read and verified, each operation showing its own
// messages and progress. The USB board (usb/usb_pager_link.h) and the
// parallel-port board (lpt/lpt_pager_link.h) implement it; the board
// connection picks the one of the build's board.
#include "link/progress_view.h"
#include "table/pager_table.h"

#include <optional>

namespace px316t {

// Why the last write, read or verify failed.
enum class TransferFailure {
    None,
    VerifyMismatch,   // the pager answered, but its memory differs from the image
    BoardLost,        // the board's port failed or vanished
    NoAnswer,         // no reply in time
    BadReply,         // a reply came, but a wrong one (bad checksum, refused acknowledgement)
};

class PagerLink {
public:
    virtual ~PagerLink() = default;
    // Each returns true when the operation succeeded.
    virtual bool writeAll(const PagerTable& table, ProgressView& progress) = 0;
    // Replaces `table` by the pager's memory, only when the whole read succeeded.
    virtual bool readAll(PagerTable& table, ProgressView& progress) = 0;
    virtual bool verifyAll(const PagerTable& table, ProgressView& progress) = 0;

    // Why the last operation failed; None after a success.
    virtual TransferFailure lastFailure() const = 0;
    // The first address where the pager differed from the image in the last
    // verify, when the board tells it.
    virtual std::optional<int> lastDifference() const { return std::nullopt; }
    // Whether the last write sent anything to the pager; a write that fails
    // before its first frame left the pager as it was.
    virtual bool lastWriteStarted() const = 0;
    // While held, a verify that succeeds says nothing: a production step says
    // so once its bookkeeping committed.
    virtual void holdVerifySuccess(bool hold) = 0;
};

} // namespace px316t

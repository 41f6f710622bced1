#pragma once
// The programming sequence that the window and the command line both drive:
// Read, Write and Verify, dispatched to the build's board. A production step
// (production/production_run.h) writes and verifies through it.
// Progress and messages reach the face through ProgressView and MessageBoxes.
#include "link/link_kind.h"
#include "link/message_boxes.h"
#include "link/progress_view.h"
#include "table/pager_table.h"

#include <QString>

#include <optional>

namespace px316t {

class ParallelPortLink;
class UsbLink;

enum PagerCommandCode : int { PagerRead = 0, PagerWrite = 1, PagerVerify = 2 };

// Command state kept for the life of the program.
struct PagerCommandState {
    int PagerCommand = PagerRead;
    bool AutoIncrease = false;
    bool TransferFailed = false;   // the last write or verify failed
};

// Why the last write, read or verify failed.
enum class TransferFailure {
    None,
    VerifyMismatch,   // the pager answered, but its memory differs from the image
    BoardLost,        // the board's port failed or vanished
    NoAnswer,         // no reply in time
    BadReply,         // a reply came, but a wrong one (bad checksum, refused acknowledgement)
};

class ProgrammingSequence {
public:
    // `usb` is used by a USB build, `lpt` by an LPT build; either may be null
    // when the build does not drive that board.
    ProgrammingSequence(LinkKind kind, UsbLink* usb, ParallelPortLink* lpt, MessageBoxes& messages,
                        PagerCommandState& state);

    // Reads the whole pager into `table`; true when the read succeeded (the
    // image was replaced and the face should refresh from it). A failed USB
    // read leaves the image unchanged.
    bool read(PagerTable& table, ProgressView& progress);
    // Writes the whole image; sets TransferFailed.
    bool write(const PagerTable& table, ProgressView& progress);
    // Compares the pager with the image; sets TransferFailed.
    bool verify(const PagerTable& table, ProgressView& progress);
    // While held, a verify that succeeds does not say "Verify Success!": a
    // production step says it once the pager's bookkeeping committed.
    void holdVerifySuccess(bool hold);

    TransferFailure lastFailure() const { return lastFailure_; }
    // The first address where the pager differed from the image in the last
    // USB verify; nothing after any other outcome (the parallel-port board
    // reports no address).
    std::optional<int> lastDifference() const { return lastDifference_; }
    // Whether the last write sent anything to the pager; a write that fails
    // before its first frame left the pager as it was.
    bool lastWriteStarted() const { return lastWriteStarted_; }

private:
    TransferFailure linkFailureKind() const;
    void busStopAfterLpt();
    bool noParallelLink();
    bool usbRead(PagerTable& table, ProgressView& progress);
    bool usbVerify(const PagerTable& table, ProgressView& progress);

    LinkKind kind_;
    UsbLink* usb_;
    ParallelPortLink* lpt_;
    MessageBoxes& messages_;
    PagerCommandState& state_;
    TransferFailure lastFailure_ = TransferFailure::None;
    std::optional<int> lastDifference_;
    bool lastWriteStarted_ = false;
    bool holdVerifySuccess_ = false;
};

} // namespace px316t

#pragma once
// The programming sequence that the window and the command line both drive:
// Read, Write and Verify over the build's board, whichever it is. A production
// step (production/production_run.h) writes and verifies through it.
// Progress and messages reach the face through ProgressView and MessageBoxes.
#include "link/message_boxes.h"
#include "link/pager_link.h"
#include "link/progress_view.h"
#include "table/pager_table.h"

#include <optional>

namespace px316t {

enum PagerCommandCode : int { PagerRead = 0, PagerWrite = 1, PagerVerify = 2 };

// Command state kept for the life of the program.
struct PagerCommandState {
    int PagerCommand = PagerRead;
    bool AutoIncrease = false;
    bool TransferFailed = false;   // the last transfer failed
};

class ProgrammingSequence {
public:
    // `link` is the build's board; null when this program cannot drive it (a
    // parallel-port board that could not be set up), which every command says.
    ProgrammingSequence(PagerLink* link, MessageBoxes& messages, PagerCommandState& state);

    // Reads the whole pager into `table`; true when the read succeeded (the
    // image was replaced and the face should take it). A failed read leaves
    // the image unchanged.
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
    // verify; nothing after any other outcome or when the board does not tell.
    std::optional<int> lastDifference() const { return lastDifference_; }
    // Whether the last write sent anything to the pager.
    bool lastWriteStarted() const { return lastWriteStarted_; }

private:
    // Says that there is no board to drive; false.
    bool noLink();
    // Takes the outcome of the operation just run.
    bool finish(bool ok);

    PagerLink* link_;
    MessageBoxes& messages_;
    PagerCommandState& state_;
    TransferFailure lastFailure_ = TransferFailure::None;
    std::optional<int> lastDifference_;
    bool lastWriteStarted_ = false;
};

} // namespace px316t

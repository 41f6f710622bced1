#include "link/programming_sequence.h"

#include "link/lpt/parallel_port_link.h"
#include "link/usb/usb_link.h"

#include <QCoreApplication>

namespace px316t {

namespace {

void startProgress(ProgressView& progress, int maximum, int position, ProgressColor color, const QString& status)
{
    progress.setProgressMaximum(maximum);
    progress.setProgressPosition(position);
    progress.setProgressColor(color);
    progress.setStatusText(status);
    QCoreApplication::processEvents();
}

} // namespace

ProgrammingSequence::ProgrammingSequence(LinkKind kind, UsbLink* usb, ParallelPortLink* lpt,
                                         MessageBoxes& messages, PagerCommandState& state)
    : kind_(kind), usb_(usb), lpt_(lpt), messages_(messages), state_(state)
{
}

bool ProgrammingSequence::noParallelLink()
{
    if (lpt_)
        return false;
    messages_.message(QStringLiteral("The parallel-port board is not available in this program."),
                      MessageBoxes::Icon::Warning);
    state_.TransferFailed = true;
    return true;
}

void ProgrammingSequence::busStopAfterLpt()
{
    if (kind_ == LinkKind::LPT && lpt_)
        lpt_->BusStop();
}

TransferFailure ProgrammingSequence::linkFailureKind() const
{
    if (kind_ != LinkKind::LPT && usb_ && usb_->LostBoardInLastTransfer())
        return TransferFailure::BoardLost;
    if (kind_ != LinkKind::LPT && usb_ && usb_->BadReplyInLastTransfer())
        return TransferFailure::BadReply;
    return TransferFailure::NoAnswer;
}

bool ProgrammingSequence::read(PagerTable& table, ProgressView& progress)
{
    bool ok = false;
    if (kind_ == LinkKind::LPT) {
        if (!noParallelLink()) {
            state_.TransferFailed = lpt_->lpt_readall(table, 0, PagerTableLast, progress);
            ok = !state_.TransferFailed;
        }
    } else {
        ok = usbRead(table, progress);
    }
    busStopAfterLpt();
    lastFailure_ = ok ? TransferFailure::None : linkFailureKind();
    return ok;
}

bool ProgrammingSequence::write(const PagerTable& table, ProgressView& progress)
{
    if (kind_ == LinkKind::LPT) {
        // The parallel-port board cannot tell how far a failed write got.
        lastWriteStarted_ = lpt_ != nullptr;
        if (!noParallelLink())
            state_.TransferFailed = lpt_->lpt_writeall(table, 0, PagerTableLast, progress);
    } else {
        // The link sets up the bar and the status "Writing Now......." itself.
        state_.TransferFailed = !usb_->UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress);
        lastWriteStarted_ = usb_->WriteFrameSentInLastTransfer();
    }
    busStopAfterLpt();
    lastFailure_ = state_.TransferFailed ? linkFailureKind() : TransferFailure::None;
    return !state_.TransferFailed;
}

bool ProgrammingSequence::verify(const PagerTable& table, ProgressView& progress)
{
    lastDifference_.reset();
    if (kind_ == LinkKind::LPT) {
        // The parallel-port verify compares as it reads: a failure is a
        // difference, or a memory that did not answer ("Read error!").
        if (!noParallelLink())
            state_.TransferFailed = lpt_->lpt_verify(table, 0, PagerTableLast, progress);
        lastFailure_ = !state_.TransferFailed                 ? TransferFailure::None
            : lpt_ && lpt_->LastFailureWasDifference() ? TransferFailure::VerifyMismatch
                                                       : TransferFailure::NoAnswer;
    } else {
        usbVerify(table, progress);
    }
    busStopAfterLpt();
    return !state_.TransferFailed;
}

void ProgrammingSequence::holdVerifySuccess(bool hold)
{
    holdVerifySuccess_ = hold;
    if (lpt_)
        lpt_->HoldVerifySuccess(hold);
}

// ---- the USB operations ----------------------------------------------------

bool ProgrammingSequence::usbRead(PagerTable& table, ProgressView& progress)
{
    const int last = PagerTableLast;
    startProgress(progress, last - 32, 0, ProgressColor::Purple, QStringLiteral("Reading Now......."));
    if (!usb_->UsbReadRange(0, last, UsbBlockSize, &progress))
        return false;   // the link showed its message; the image is unchanged
    messages_.message(QStringLiteral("Read success!"));
    const auto& buffer = usb_->ReadBuffer();
    for (int a = 0; a <= last && a < static_cast<int>(buffer.size()); ++a)
        table[a] = buffer[a];
    return true;
}

bool ProgrammingSequence::usbVerify(const PagerTable& table, ProgressView& progress)
{
    const int last = PagerTableLast;
    startProgress(progress, last - 16, 0, ProgressColor::Purple, QStringLiteral("Verifying Now....."));
    if (!usb_->UsbReadRange(0, last, UsbBlockSize, &progress)) {
        state_.TransferFailed = true;
        lastFailure_ = linkFailureKind();
        return false;
    }
    const auto& buffer = usb_->ReadBuffer();
    for (int a = 0; a <= last; ++a) {
        if (a >= static_cast<int>(buffer.size()) || table[a] != buffer[a]) {
            lastDifference_ = a;
            messages_.message(QStringLiteral("Verify Error!"));
            state_.TransferFailed = true;
            lastFailure_ = TransferFailure::VerifyMismatch;
            return false;
        }
    }
    state_.TransferFailed = false;
    lastFailure_ = TransferFailure::None;
    if (!holdVerifySuccess_)
        messages_.message(QStringLiteral("Verify Success!"));
    return true;
}

} // namespace px316t

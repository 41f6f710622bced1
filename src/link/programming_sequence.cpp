#include "link/programming_sequence.h"

#include "editor/messages.h"

namespace px316t {

ProgrammingSequence::ProgrammingSequence(PagerLink* link, MessageBoxes& messages, PagerCommandState& state)
    : link_(link), messages_(messages), state_(state)
{
}

bool ProgrammingSequence::noLink()
{
    messages_.message(QString::fromLatin1(messages::ParallelPortNotAvailable), MessageBoxes::Icon::Warning);
    state_.TransferFailed = true;
    lastFailure_ = TransferFailure::NoAnswer;
    return false;
}

bool ProgrammingSequence::finish(bool ok)
{
    state_.TransferFailed = !ok;
    lastFailure_ = ok ? TransferFailure::None : link_->lastFailure();
    return ok;
}

bool ProgrammingSequence::read(PagerTable& table, ProgressView& progress)
{
    if (!link_)
        return noLink();
    return finish(link_->readAll(table, progress));
}

bool ProgrammingSequence::write(const PagerTable& table, ProgressView& progress)
{
    lastWriteStarted_ = false;
    if (!link_)
        return noLink();
    const bool written = link_->writeAll(table, progress);
    lastWriteStarted_ = link_->lastWriteStarted();
    return finish(written);
}

bool ProgrammingSequence::verify(const PagerTable& table, ProgressView& progress)
{
    lastDifference_.reset();
    if (!link_)
        return noLink();
    const bool same = link_->verifyAll(table, progress);
    lastDifference_ = same ? std::nullopt : link_->lastDifference();
    finish(same);
    // Nothing was compared with a board that went away: said as such, never as a difference.
    if (lastFailure_ == TransferFailure::BoardLost)
        messages_.message(QString::fromLatin1(messages::BoardNotResponding), MessageBoxes::Icon::Warning);
    return same;
}

void ProgrammingSequence::holdVerifySuccess(bool hold)
{
    if (link_)
        link_->holdVerifySuccess(hold);
}

} // namespace px316t

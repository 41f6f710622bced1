#include "cli/cli_faces.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace px316t::cli {

namespace {
TerminalProgress* activeProgress = nullptr;   // the line a message must not write into
} // namespace

void StderrMessages::message(const QString& text, Icon)
{
    if (activeProgress)
        activeProgress->finishLine();
    std::fprintf(stderr, "%s\n", text.toStdString().c_str());
}

bool StderrMessages::askYesNo(const QString& text)
{
    message(text + QStringLiteral(" (No)"));
    return false;
}

TerminalProgress::TerminalProgress() : terminal_(isatty(STDERR_FILENO) == 1) { activeProgress = this; }

TerminalProgress::~TerminalProgress()
{
    finishLine();
    if (activeProgress == this)
        activeProgress = nullptr;
}

void TerminalProgress::setProgressMaximum(int maximum) { maximum_ = maximum; }

void TerminalProgress::setProgressPosition(int position)
{
    position_ = position;
    draw();
}

void TerminalProgress::setStatusText(const QString& text)
{
    status_ = text;
    draw();
}

void TerminalProgress::draw()
{
    if (!terminal_ || status_.isEmpty())
        return;
    const int percent = maximum_ > 0 ? std::clamp(position_ * 100 / maximum_, 0, 100) : 0;
    std::fprintf(stderr, "\r%s %3d%%", status_.toStdString().c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgress::finishLine()
{
    if (drawn_)
        std::fputc('\n', stderr);
    drawn_ = false;
}

} // namespace px316t::cli

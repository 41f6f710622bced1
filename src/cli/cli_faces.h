#pragma once
// The terminal's face of the programming sequence: messages as lines on
// stderr, progress as one line on stderr that is redrawn (only when stderr is a
// terminal), and a board status that a script has no use for.
#include "link/board_status_view.h"
#include "link/message_boxes.h"
#include "link/progress_view.h"

namespace px316t::cli {

class StderrMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon icon = Icon::None) override;
    bool askYesNo(const QString& text) override;   // a script is never asked: No
};

class TerminalProgress final : public ProgressView {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;
    void setProgressColor(ProgressColor) override {}
    void setStatusText(const QString& text) override;
    // Ends the line being redrawn, so that a message starts on a line of its own.
    void finishLine();

private:
    void draw();
    bool terminal_;
    bool drawn_ = false;
    int maximum_ = 0;
    int position_ = 0;
    QString status_;
};

// A progress view for boards that run side by side: one progress line cannot
// show several boards.
class NoProgress final : public ProgressView {
public:
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}
    void setProgressColor(ProgressColor) override {}
    void setStatusText(const QString&) override {}
};

class SilentBoardStatus final : public BoardStatusView {
public:
    void setMessageLine(const QString&, Rgb) override {}
    void setPagerMenuEnabled(bool) override {}
};

} // namespace px316t::cli

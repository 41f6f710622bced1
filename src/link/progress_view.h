#pragma once
// The progress display of a transfer: a bar (maximum, position, colour) and a
// status text. The programming window shows a progress bar and its status
// label; the command line a progress line on stderr.
#include <QString>

namespace px316t {

// The bar's colour, by meaning; each face maps it to what it can show.
enum class ProgressColor {
    Highlight,   // writing: the system's highlight colour
    Purple,      // reading and verifying: RGB 128, 0, 128
};

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void setProgressColor(ProgressColor color) = 0;
    virtual void setStatusText(const QString& text) = 0;
};

} // namespace px316t

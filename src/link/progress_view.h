#pragma once
// The progress display of a transfer: the programming window's progress bar
// (maximum, position, bar colour) and its status label.
#include <QColor>
#include <QString>

namespace px316t {

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void setProgressColor(const QColor& color) = 0;
    virtual void setStatusText(const QString& text) = 0;
};

} // namespace px316t

#pragma once
// Recorders for what the link shows: the main window's message line and Pager
// menu, and the programming window's progress bar and status label.
#include "link/board_status_view.h"
#include "link/progress_view.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <functional>
#include <vector>

namespace px316t::testing {

class RecordingBoardStatusView final : public BoardStatusView {
public:
    void setMessageLine(const QString& newText, Rgb newColor) override
    {
        text = newText;
        color = QColor(newColor.r, newColor.g, newColor.b);
        ++lineUpdates;
        if (onChange)
            onChange();
    }
    void setPagerMenuEnabled(bool enabled) override
    {
        pagerEnabled = enabled;
        if (onChange)
            onChange();
    }

    QString text = QStringLiteral("Message:");   // the line's design caption
    QColor color;
    bool pagerEnabled = true;
    int lineUpdates = 0;
    std::function<void()> onChange;
};

class RecordingProgressView final : public ProgressView {
public:
    void setProgressMaximum(int value) override { maximum = value; }
    void setProgressPosition(int value) override
    {
        position = value;
        positions.push_back(value);
    }
    // Recorded as the window shows it.
    void setProgressColor(ProgressColor value) override
    {
        color = value == ProgressColor::Purple ? QColor(128, 0, 128)
                                               : QGuiApplication::palette().color(QPalette::Highlight);
    }
    void setStatusText(const QString& value) override { status = value; }

    int maximum = -1;
    int position = -1;
    std::vector<int> positions;
    QColor color;
    QString status;
};

} // namespace px316t::testing

#pragma once
// The pictures of the README: with PX316T_SCREENSHOT_TOUR=DIR the program, once
// its window is up and the board found, saves the three pages, the programming
// window in the middle of a write and the About box as PNG files into DIR, then
// ends (status 0, or 1 when a step did not come within its time).
// scripts/screenshots.sh runs it under a virtual display with the board
// emulator attached.
#include <QString>

class QApplication;
class QMainWindow;

namespace px316t {

void startScreenshotTour(QApplication& app, QMainWindow& window, const QString& folder);

} // namespace px316t

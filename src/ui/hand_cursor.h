#pragma once
// The pointing-hand cursor shown over the tab buttons: 32 by 32 pixels, drawn
// here, with its hot spot on the fingertip.
#include <QCursor>
#include <QPoint>

namespace px316t {

inline constexpr QPoint HandCursorHotSpot{12, 1};

QCursor handCursor();

} // namespace px316t

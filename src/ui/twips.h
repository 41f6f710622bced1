#pragma once
// Design geometry is kept in twips (1440 per inch), as the window was laid out;
// this is the one place that turns twips into pixels of the screen in use.
#include <QRect>

namespace px316t {

// Pixels per inch of the primary screen (96 when no screen is known), in the
// coordinates widgets are placed in: on a screen of 192 DPI twips become twice the
// pixels of a 96-DPI one.
double screenDpi();
double screenDpiY();
// Twips in one pixel of the screen, across and down (15 at 96 DPI).
double twipsPerPixelX();
double twipsPerPixelY();

int twipsToPixels(double twips);
double pixelsToTwips(int pixels);
QRect twipsToPixels(const QRect& twipsRect);

} // namespace px316t

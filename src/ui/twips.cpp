#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace px316t {

double screenDpi()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchX();
    return 96.0;
}

double screenDpiY()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchY();
    return 96.0;
}

double twipsPerPixelX() { return 1440.0 / screenDpi(); }

double twipsPerPixelY() { return 1440.0 / screenDpiY(); }

int twipsToPixels(double twips) { return static_cast<int>(std::lround(twips * screenDpi() / 1440.0)); }

double pixelsToTwips(int pixels) { return pixels * 1440.0 / screenDpi(); }

QRect twipsToPixels(const QRect& r)
{
    // Convert both corners so that adjacent controls stay adjacent.
    const int left = twipsToPixels(r.x());
    const int top = twipsToPixels(r.y());
    const int right = twipsToPixels(r.x() + r.width());
    const int bottom = twipsToPixels(r.y() + r.height());
    return QRect(left, top, right - left, bottom - top);
}

} // namespace px316t

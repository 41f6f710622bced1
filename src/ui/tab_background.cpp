#include "ui/tab_background.h"

#include "ui/twips.h"

#include <QPainter>

#include <cmath>

namespace px316t {
namespace {

QPixmap makeTile()
{
    // 100 x 100 pixels of the four greys 197, 205, 213, 222, picked by a small
    // fixed pseudo-random sequence so the texture is the same on every start.
    constexpr int greys[] = {197, 205, 213, 222};
    QImage image(100, 100, QImage::Format_RGB32);
    std::uint32_t seed = 0x2545F491u;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            const int g = greys[seed & 3u];
            image.setPixel(x, y, qRgb(g, g, g));
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

TabBackground::TabBackground(QWidget* parent) : QWidget(parent), tile_(makeTile())
{
    setFocusPolicy(Qt::ClickFocus);   // takes the focus to commit a field; Tab passes it by
    setMouseTracking(true);
}

void TabBackground::paintEvent(QPaintEvent*)
{
    // Tiles are counted in twips over the window's inner size, both bounds
    // inclusive: the last row and column may reach past the edge, never short of it.
    const QWidget* inner = parentWidget() ? parentWidget() : this;
    const long innerWidth = std::lround(pixelsToTwips(inner->width()));
    const long innerHeight = std::lround(pixelsToTwips(inner->height()));
    const long tileWidth = std::lround(tile_.width() * twipsPerPixelX());
    const long tileHeight = std::lround(tile_.height() * twipsPerPixelY());
    if (tileWidth <= 0 || tileHeight <= 0)
        return;
    QPainter painter(this);
    for (long i = 0; i <= innerWidth / tileWidth; ++i)
        for (long j = 0; j <= innerHeight / tileHeight; ++j)
            painter.drawPixmap(twipsToPixels(static_cast<double>(i * tileWidth)),
                               static_cast<int>(std::lround(j * tileHeight / twipsPerPixelY())), tile_);
}

void TabBackground::mouseMoveEvent(QMouseEvent*)
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
}

} // namespace px316t

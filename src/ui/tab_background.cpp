#include "ui/tab_background.h"

#include <QPainter>

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

TabBackground::TabBackground() : tile_(makeTile())
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void TabBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int x = 0; x <= width() / tile_.width(); ++x)
        for (int y = 0; y <= height() / tile_.height(); ++y)
            painter.drawPixmap(x * tile_.width(), y * tile_.height(), tile_);
}

void TabBackground::mouseMoveEvent(QMouseEvent*)
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
}

} // namespace px316t

#include "ui/ct_eb_slider.h"

#include "editor/slider_math.h"
#include "ui/twips.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace px316t {
namespace {

constexpr int kDefaultMin = 0;
constexpr int kDefaultMax = 100;
constexpr int kDefaultValue = 50;
constexpr int kDefaultSliderWidth = 315;
const QRectF kNewTrack(0, 0, 4440, 360);   // twips
const QRectF kNewThumb(0, 0, 375, 375);

QColor buttonFace() { return QPalette().color(QPalette::Button); }

QRect toPixels(const QRectF& twips)
{
    const int left = twipsToPixels(twips.left());
    const int top = static_cast<int>(std::lround(twips.top() / twipsPerPixelY()));
    const int right = twipsToPixels(twips.left() + twips.width());
    const int bottom = static_cast<int>(std::lround((twips.top() + twips.height()) / twipsPerPixelY()));
    return QRect(left, top, right - left, bottom - top);
}

// One ring of an edge: top and left in one colour, bottom and right in the other.
void drawRing(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight)
{
    QPalette ring;
    ring.setColor(QPalette::Light, topLeft);
    ring.setColor(QPalette::Dark, bottomRight);
    qDrawShadePanel(&painter, rect, ring, false, 1, nullptr);
}

// The thumb: a picture box in the thumb colour with a raised inner border. Only a
// press on it with the left button starts a drag.
class SliderThumb : public QWidget {
public:
    explicit SliderThumb(ctlEBSlider* slider) : QWidget(slider), slider_(slider)
    {
        setObjectName(QStringLiteral("picSlider"));
        setAutoFillBackground(true);
        setFocusPolicy(Qt::NoFocus);   // a click gives the focus to the slider itself
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        drawEdge(painter, rect(), EdgeRaisedInner, palette());
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            dragging_ = true;
        event->accept();   // not a press on the track
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (dragging_)
            slider_->picSlider_MouseMove(event->buttons(), event->position().x() * twipsPerPixelX(),
                                         event->position().y() * twipsPerPixelY());
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            dragging_ = false;
    }

private:
    ctlEBSlider* slider_;
    bool dragging_ = false;
};

} // namespace

void drawEdge(QPainter& painter, const QRect& rect, int flags, const QPalette& palette)
{
    // The four 3-D colours: highlight, light, shadow and dark shadow.
    const QColor highlight = palette.color(QPalette::Light);
    const QColor light = palette.color(QPalette::Midlight);
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor darkShadow = palette.color(QPalette::Shadow);
    QRect ring = rect;
    if (flags & EdgeRaisedOuter)
        drawRing(painter, ring, light, darkShadow);
    else if (flags & EdgeSunkenOuter)
        drawRing(painter, ring, shadow, highlight);
    if (flags & (EdgeRaisedOuter | EdgeSunkenOuter))
        ring.adjust(1, 1, -1, -1);
    if (flags & EdgeRaisedInner)
        drawRing(painter, ring, highlight, shadow);
    else if (flags & EdgeSunkenInner)
        drawRing(painter, ring, darkShadow, light);
}

ctlEBSlider::ctlEBSlider(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ctlEBSlider"));
    setFocusPolicy(Qt::ClickFocus);
    picSlider_ = new SliderThumb(this);
    resize(toPixels(kNewTrack).size());
    thumb_ = kNewThumb;
    placeThumb();
    setSliderColor(buttonFace());
    setOrientation(Horizontal);
    setBorderStyle(0);
    UpdateThumb();
}

double ctlEBSlider::trackWidth() const { return width() * twipsPerPixelX(); }

double ctlEBSlider::trackHeight() const { return height() * twipsPerPixelY(); }

// ---- properties ------------------------------------------------------------

void ctlEBSlider::setMin(int value)
{
    if (value > max_)
        return;
    min_ = value;
    if (position_ < value)
        position_ = value;
    UpdateThumb();
}

void ctlEBSlider::setMax(int value)
{
    if (value <= min_)
        return;
    max_ = value;
    if (position_ > value)
        position_ = value;
    UpdateThumb();
}

int ctlEBSlider::Value() const { return orientation_ == Vertical ? slider::mirrored(min_, max_, position_) : position_; }

void ctlEBSlider::setValue(int value)
{
    value = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    position_ = orientation_ == Vertical ? slider::mirrored(min_, max_, value) : value;
    UpdateThumb();
    emit Changed();
}

void ctlEBSlider::setSliderWidth(int twips)
{
    if (orientation_ == Vertical) {
        if (!(twips < trackHeight()))
            return;
        sliderWidth_ = twips;
        thumb_.setHeight(twips);
        thumb_.setWidth(trackWidth());
    } else {
        if (!(twips < trackWidth()))
            return;
        sliderWidth_ = twips;
        thumb_.setWidth(twips);
        thumb_.setHeight(trackHeight());
    }
    placeThumb();
    picSlider_->update();
    UpdateThumb();
}

QColor ctlEBSlider::SliderColor() const { return picSlider_->palette().color(QPalette::Window); }

void ctlEBSlider::setSliderColor(const QColor& colour)
{
    QPalette p = picSlider_->palette();
    p.setColor(QPalette::Window, colour);
    picSlider_->setPalette(p);
    picSlider_->update();
}

void ctlEBSlider::setOrientation(int orientation)
{
    orientation_ = orientation;
    setSliderWidth(sliderWidth_);   // reshapes the thumb for the new direction
    picSlider_->update();
    UserControl_Resize();
}

void ctlEBSlider::setBorderStyle(int flags)
{
    borderStyle_ = flags;
    update();
}

// ---- saving and loading ----------------------------------------------------

QVariantMap ctlEBSlider::WriteProperties() const
{
    QVariantMap saved;
    auto write = [&saved](const char* name, const QVariant& value, const QVariant& fallback) {
        if (value != fallback)
            saved.insert(QString::fromLatin1(name), value);
    };
    write("Min", min_, kDefaultMin);
    write("Max", max_, kDefaultMax);
    // The stored position, so that a vertical slider loads back its own value.
    write("Value", position_, kDefaultValue);
    write("SliderWidth", sliderWidth_, kDefaultSliderWidth);
    write("SliderColor", SliderColor(), buttonFace());
    write("Orientation", orientation_, Horizontal);
    write("BorderStyle", borderStyle_, 0);
    return saved;
}

void ctlEBSlider::ReadProperties(const QVariantMap& properties)
{
    min_ = properties.value(QStringLiteral("Min"), kDefaultMin).toInt();
    max_ = properties.value(QStringLiteral("Max"), kDefaultMax).toInt();
    position_ = properties.value(QStringLiteral("Value"), kDefaultValue).toInt();
    sliderWidth_ = properties.value(QStringLiteral("SliderWidth"), kDefaultSliderWidth).toInt();
    setSliderColor(properties.value(QStringLiteral("SliderColor"), buttonFace()).value<QColor>());
    setBorderStyle(properties.value(QStringLiteral("BorderStyle"), 0).toInt());
    setOrientation(properties.value(QStringLiteral("Orientation"), Horizontal).toInt());
    UpdateThumb();
}

// ---- geometry --------------------------------------------------------------

void ctlEBSlider::UpdateThumb()
{
    const auto offset = slider::thumbOffset(trackLength(), sliderWidth_, min_, max_, position_);
    if (!offset)
        return;
    if (orientation_ == Vertical)
        thumb_.moveTop(*offset);
    else
        thumb_.moveLeft(*offset);
    placeThumb();
}

void ctlEBSlider::UserControl_Resize()
{
    update();   // the surface is drawn again from scratch
    const double w = static_cast<double>(slider::roundHalfEven(trackWidth() - twipsPerPixelX()));
    const double h = static_cast<double>(slider::roundHalfEven(trackHeight() - twipsPerPixelY()));
    if (orientation_ == Vertical) {
        groove_ = QLineF(w / 2, 15, w / 2, h - 15);
        thumb_.moveLeft(0);
        thumb_.setWidth(w);
        thumb_.setHeight(sliderWidth_);
    } else {
        groove_ = QLineF(15, h / 2, w - 15, h / 2);
        thumb_.moveTop(0);
        thumb_.setHeight(h);
        thumb_.setWidth(sliderWidth_);
    }
    placeThumb();
    UpdateThumb();
}

void ctlEBSlider::placeThumb() { picSlider_->setGeometry(toPixels(thumb_)); }

// ---- mouse -----------------------------------------------------------------

void ctlEBSlider::followPointer(double pointer)
{
    const double offset = slider::pressedThumbOffset(pointer, sliderWidth_, trackLength());
    const auto position = slider::positionAt(offset, trackLength(), thumbLength(), min_, max_);
    if (!position)
        return;   // no range or no room to travel: the thumb stays, nothing changes
    if (orientation_ == Vertical)
        thumb_.moveTop(offset);
    else
        thumb_.moveLeft(offset);
    placeThumb();
    position_ = *position;
    emit Changed();
}

void ctlEBSlider::UserControl_MouseDown(double x, double y) { followPointer(orientation_ == Vertical ? y : x); }

void ctlEBSlider::picSlider_MouseMove(Qt::MouseButtons buttons, double x, double y)
{
    if (buttons != Qt::LeftButton)
        return;
    followPointer(orientation_ == Vertical ? thumb_.top() + y : thumb_.left() + x);
}

void ctlEBSlider::mousePressEvent(QMouseEvent* event)
{
    UserControl_MouseDown(event->position().x() * twipsPerPixelX(), event->position().y() * twipsPerPixelY());
    event->accept();
}

void ctlEBSlider::wheelEvent(QWheelEvent* event)
{
    // The slider takes no wheel input, with or without the focus: a wheel turn
    // over the window never changes the contrast.
    event->ignore();
}

void ctlEBSlider::resizeEvent(QResizeEvent*) { UserControl_Resize(); }

// ---- drawing ---------------------------------------------------------------

void ctlEBSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));

    // The groove: a 2-pixel line in the shadow colour under a 1-pixel line in the
    // highlight colour at the same place, which reads as an etched line.
    const QRect line = toPixels(QRectF(groove_.p1(), groove_.p2()));
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    if (orientation_ == Vertical) {
        const int x = line.left();
        painter.fillRect(QRect(x - 1, line.top(), 2, line.height() + 1), shadow);
        painter.fillRect(QRect(x, line.top(), 1, line.height() + 1), highlight);
    } else {
        const int y = line.top();
        painter.fillRect(QRect(line.left(), y - 1, line.width() + 1, 2), shadow);
        painter.fillRect(QRect(line.left(), y, line.width() + 1, 1), highlight);
    }

    if (borderStyle_ != 0) {
        const QRect track(0, 0, static_cast<int>(std::lround(trackWidth() / twipsPerPixelX())),
                          static_cast<int>(std::lround(trackHeight() / twipsPerPixelY())));
        drawEdge(painter, track, borderStyle_, palette());
    }
}

} // namespace px316t

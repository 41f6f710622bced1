// The slider control: its property rules, the press and drag arithmetic in twips,
// saving and loading, its edges, and the contrast slider of the main window.
#include "support/form1_fixture.h"

#include "ui/option_controls.h"
#include "ui/ct_eb_slider.h"
#include "editor/slider_math.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QWheelEvent>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

// A slider whose track is `width` x `height` twips (multiples of 15: whole pixels).
std::unique_ptr<ctlEBSlider> sliderOf(int width, int height)
{
    auto slider = std::make_unique<ctlEBSlider>();
    slider->resize(twipsToPixels(QRect(0, 0, width, height)).size());
    return slider;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPointF pixels, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pixels, widget->mapToGlobal(pixels), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(SliderMath, RoundingAndTruncation)
{
    EXPECT_EQ(slider::roundHalfEven(2.5), 2);
    EXPECT_EQ(slider::roundHalfEven(3.5), 4);
    EXPECT_EQ(slider::roundHalfEven(-2.5), -2);
    EXPECT_EQ(slider::roundHalfEven(-2.6), -3);
    // 500 - 75 = 425 is truncated to 420; 1155 - 75 = 1080 is clamped to the last place.
    EXPECT_EQ(slider::pressedThumbOffset(500, 150, 1155), 420);
    EXPECT_EQ(slider::pressedThumbOffset(1155, 150, 1155), 1005);
    EXPECT_EQ(slider::pressedThumbOffset(0, 150, 1155), 0);
    // A half twip rounds to even before truncating: 89.5 -> 90 stays 90, 104.5 -> 104 -> 90.
    EXPECT_EQ(slider::pressedThumbOffset(164.5, 150, 1155), 90);
    EXPECT_EQ(slider::pressedThumbOffset(179.5, 150, 1155), 90);
    EXPECT_EQ(slider::positionAt(420, 1155, 150, 1, 8), 4);
    EXPECT_EQ(slider::positionAt(1005, 1155, 150, 1, 8), 8);
    // Exactly half-way between two values goes to the even one.
    EXPECT_EQ(slider::positionAt(150, 1200, 200, 0, 10), 2);   // 1.5 -> 2
    EXPECT_EQ(slider::positionAt(250, 1200, 200, 0, 10), 2);   // 2.5 -> 2
}

TEST(SliderMath, NoRangeOrNoRoomNeverDivides)
{
    EXPECT_FALSE(slider::thumbOffset(1155, 150, 5, 5, 5).has_value());
    EXPECT_FALSE(slider::positionAt(0, 1155, 150, 5, 5).has_value());
    EXPECT_FALSE(slider::positionAt(0, 150, 150, 0, 10).has_value());
    EXPECT_FALSE(slider::positionAt(0, 100, 150, 0, 10).has_value());
}

TEST(SliderProperties, ValueIsClampedAndAlwaysReported)
{
    auto s = sliderOf(4440, 360);
    QSignalSpy changed(s.get(), &ctlEBSlider::Changed);
    s->setValue(200);
    EXPECT_EQ(s->Value(), 100);
    EXPECT_EQ(changed.count(), 1);
    s->setValue(50);
    s->setValue(50);
    EXPECT_EQ(changed.count(), 3) << "setting the same value twice reports twice";
    EXPECT_EQ(s->thumbRect().left(), (4440.0 - 315) / 100 * 50);
}

TEST(SliderProperties, VerticalValuesAtTheEndsOfTheIntegerRange)
{
    // Max + Min alone passes the 32-bit range at both ends.
    constexpr int top = std::numeric_limits<int>::max();
    constexpr int bottom = std::numeric_limits<int>::min();
    struct Case { int min; int max; int value; };
    const Case cases[] = {
        {top - 10, top, top - 3}, {top - 10, top, top}, {bottom, bottom + 10, bottom + 7}, {bottom, top, bottom},
    };
    for (const Case& c : cases) {
        auto s = sliderOf(4440, 360);
        s->setMax(c.max);
        s->setMin(c.min);
        s->setMax(c.max);
        s->setOrientation(1);
        // The position stayed 50 or was pulled to the nearer end of the range.
        const std::int64_t position = std::clamp(50, c.min, c.max);
        EXPECT_EQ(s->Value(), std::int64_t{c.min} + c.max - position) << c.min << ".." << c.max;
        s->setValue(c.value);
        EXPECT_EQ(s->Value(), c.value) << c.min << ".." << c.max;
    }
}

TEST(SliderProperties, RangeWritesFollowTheirRulesSilently)
{
    auto s = sliderOf(4440, 360);
    QSignalSpy changed(s.get(), &ctlEBSlider::Changed);
    s->setMax(30);
    EXPECT_EQ(s->Value(), 30) << "a lower maximum lowers the value";
    EXPECT_EQ(s->thumbRect().left(), 4440.0 - 315) << "and the thumb follows to the end";
    s->setMin(31);
    EXPECT_EQ(s->Min(), 0) << "a minimum above the maximum is ignored";
    s->setMax(0);
    EXPECT_EQ(s->Max(), 30) << "a maximum not above the minimum is ignored";
    s->setMin(20);
    s->setMax(25);
    EXPECT_EQ(s->Value(), 25);
    s->setMin(25);
    EXPECT_EQ(s->Min(), 25) << "the minimum may reach the maximum";
    EXPECT_EQ(changed.count(), 0);
}

TEST(SliderProperties, SliderWidthMustBeShorterThanTheTrack)
{
    auto s = sliderOf(4440, 360);
    s->setSliderWidth(4440);
    EXPECT_EQ(s->SliderWidth(), 315);
    EXPECT_EQ(s->thumbRect().width(), 315);
    s->setSliderWidth(600);
    EXPECT_EQ(s->SliderWidth(), 600);
    EXPECT_EQ(s->thumbRect().width(), 600);
    EXPECT_EQ(s->thumbRect().height(), 360) << "as high as the track";
    EXPECT_EQ(s->thumbRect().left(), (4440.0 - 600) / 100 * 50);
    EXPECT_EQ(s->picSlider()->geometry(), twipsToPixels(s->thumbRect().toRect()));
}

TEST(SliderMouse, VerticalSliderHasItsMaximumAtTheTop)
{
    auto s = sliderOf(360, 3000);
    s->setMax(10);
    s->setSliderWidth(300);
    s->setOrientation(ctlEBSlider::Vertical);
    EXPECT_EQ(s->thumbRect().height(), 300);
    EXPECT_EQ(s->thumbRect().width(), 360 - 15) << "the resize leaves one pixel of the track";
    EXPECT_EQ(s->groove().x1(), (360 - 15) / 2.0);
    s->UserControl_MouseDown(0, 0);
    EXPECT_EQ(s->thumbRect().top(), 0);
    EXPECT_EQ(s->Value(), 10);
    s->setValue(0);
    EXPECT_EQ(s->thumbRect().top(), 3000 - 300);
    s->setValue(10);
    EXPECT_EQ(s->thumbRect().top(), 0);
}

TEST(SliderMouse, EqualMinAndMaxIgnorePressAndDrag)
{
    auto s = sliderOf(4440, 360);
    s->setMin(100);
    const QRectF before = s->thumbRect();
    QSignalSpy changed(s.get(), &ctlEBSlider::Changed);
    s->UserControl_MouseDown(3000, 100);
    s->picSlider_MouseMove(Qt::LeftButton, 50, 50);
    EXPECT_EQ(s->thumbRect(), before);
    EXPECT_EQ(s->Value(), 100);
    EXPECT_EQ(changed.count(), 0);
}

TEST(SliderMouse, DragNeedsTheLeftButtonAloneAndAPressOnTheThumb)
{
    auto s = sliderOf(4440, 360);
    s->show();
    QWidget* thumb = s->picSlider();
    QSignalSpy changed(s.get(), &ctlEBSlider::Changed);
    const QPointF inThumb(5, 5);
    // Moves without a press on the thumb, or with another button, do nothing.
    sendMouse(thumb, QEvent::MouseMove, inThumb + QPointF(40, 0), Qt::NoButton, Qt::LeftButton);
    sendMouse(thumb, QEvent::MouseButtonPress, inThumb, Qt::RightButton, Qt::RightButton);
    sendMouse(thumb, QEvent::MouseMove, inThumb + QPointF(40, 0), Qt::NoButton, Qt::RightButton);
    sendMouse(thumb, QEvent::MouseButtonRelease, inThumb, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(s->Value(), 50) << "a press on the thumb is not a press on the track";

    sendMouse(thumb, QEvent::MouseButtonPress, inThumb, Qt::LeftButton, Qt::LeftButton);
    const double left = s->thumbRect().left();
    sendMouse(thumb, QEvent::MouseMove, QPointF(21 + 40, 5), Qt::NoButton, Qt::LeftButton);
    // The thumb's centre follows: left + 61 px - 157.5 twips, truncated to 15 twips.
    const double pointer = left + 61 * 15 - 157.5;
    EXPECT_EQ(s->thumbRect().left(), slider::pressedThumbOffset(left + 61 * 15, 315, 4440));
    EXPECT_NEAR(s->thumbRect().left(), pointer, 15);
    EXPECT_EQ(changed.count(), 1);
    sendMouse(thumb, QEvent::MouseButtonRelease, QPointF(61, 5), Qt::LeftButton, Qt::NoButton);
    sendMouse(thumb, QEvent::MouseMove, QPointF(90, 5), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(changed.count(), 1) << "the drag ended with the release";
}

TEST(SliderProperties, SavedPropertiesLoadBackTheSameSlider)
{
    auto s = sliderOf(360, 3000);
    s->ReadProperties({{"Min", 2}, {"Max", 12}, {"SliderWidth", 450}, {"SliderColor", QColor(Qt::red)},
                       {"Orientation", 1}, {"BorderStyle", EdgeSunken}});
    s->setValue(9);
    const QVariantMap saved = s->WriteProperties();
    auto copy = sliderOf(360, 3000);
    copy->ReadProperties(saved);
    EXPECT_EQ(copy->Min(), 2);
    EXPECT_EQ(copy->Max(), 12);
    EXPECT_EQ(copy->Value(), 9) << "a vertical slider keeps its value through saving";
    EXPECT_EQ(copy->SliderWidth(), 450);
    EXPECT_EQ(copy->SliderColor(), QColor(Qt::red));
    EXPECT_EQ(copy->Orientation(), 1);
    EXPECT_EQ(copy->BorderStyle(), EdgeSunken);
    EXPECT_EQ(copy->thumbRect(), s->thumbRect());
    EXPECT_FALSE(sliderOf(4440, 360)->WriteProperties().contains("Max")) << "defaults may be left out";
}

TEST(SliderDrawing, TrackBorderAndThumbEdges)
{
    auto s = sliderOf(4440, 360);
    s->setBorderStyle(EdgeSunken);
    s->setSliderColor(QColor(10, 200, 10));
    s->show();
    const QImage track = s->grab().toImage();
    const QPalette p = s->palette();
    EXPECT_EQ(track.pixel(0, 0), p.color(QPalette::Dark).rgb()) << "sunken outer ring: shadow top-left";
    EXPECT_EQ(track.pixel(track.width() - 1, track.height() - 1), p.color(QPalette::Light).rgb());
    EXPECT_EQ(track.pixel(1, 1), p.color(QPalette::Shadow).rgb()) << "sunken inner ring: dark shadow";

    const QImage thumb = s->picSlider()->grab().toImage();
    EXPECT_EQ(thumb.pixel(0, 0), p.color(QPalette::Light).rgb()) << "raised inner border";
    EXPECT_EQ(thumb.pixel(thumb.width() - 1, thumb.height() - 1), p.color(QPalette::Dark).rgb());
    EXPECT_EQ(thumb.pixel(thumb.width() / 2, thumb.height() / 2), QColor(10, 200, 10).rgb());
}

// ---- the contrast slider of the main window ---------------------------------

namespace {
class ContrastSlider : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        form->EMoptStatus->click();
    }
    ctlEBSlider* slider() { return form->options().Slider1; }
};
} // namespace

TEST_F(ContrastSlider, PressesOnTheTrackPickTheContrast)
{
    ASSERT_EQ(slider()->trackWidth(), 1155);
    const struct { double x; double thumb; int value; } presses[] = {{1155, 1005, 8}, {0, 0, 1}, {500, 420, 4}};
    for (const auto& press : presses) {
        slider()->UserControl_MouseDown(press.x, 100);
        EXPECT_EQ(slider()->thumbRect().left(), press.thumb) << press.x;
        EXPECT_EQ(slider()->Value(), press.value) << press.x;
        EXPECT_EQ(table()[0x369], press.value) << press.x;
    }
}

TEST_F(ContrastSlider, AClickAtTheEndWritesEightAndBlackensTheWord)
{
    QTest::mouseClick(slider(), Qt::LeftButton, {}, QPoint(slider()->width() - 1, slider()->height() / 2));
    EXPECT_EQ(slider()->Value(), 8);
    EXPECT_EQ(table()[0x369], 8);
    EXPECT_EQ(form->options().lblValue->text(), "8");
    EXPECT_EQ(form->options().lblContrast->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

TEST_F(ContrastSlider, WheelNeverChangesTheContrast)
{
    for (bool focused : {false, true}) {
        if (focused)
            slider()->setFocus(Qt::MouseFocusReason);
        const QPointF at(slider()->width() / 2.0, slider()->height() / 2.0);
        QWheelEvent wheel(at, slider()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider(), &wheel);
        EXPECT_EQ(slider()->Value(), 4) << focused;
        EXPECT_EQ(table()[0x369], 4) << focused;
    }
}

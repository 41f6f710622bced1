#pragma once
// ctlEBSlider: a small slider of our own. A track with an etched groove and a
// raised rectangular thumb that is clicked or dragged to choose an integer between
// Min and Max; horizontal or vertical; every change is reported by Changed(). All
// lengths of its arithmetic are twips; the widget turns them into pixels of the
// screen in use.
#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QVariantMap>
#include <QWidget>

class QPainter;

namespace px316t {

// Edge flags of a border: an outer and an inner ring, each raised or sunken. A
// track's BorderStyle holds such flags (0: no border).
enum EdgeFlags : int {
    EdgeRaisedOuter = 0x1,
    EdgeSunkenOuter = 0x2,
    EdgeRaisedInner = 0x4,
    EdgeSunkenInner = 0x8,
    EdgeRaised = EdgeRaisedOuter | EdgeRaisedInner,
    EdgeSunken = EdgeSunkenOuter | EdgeSunkenInner,
    EdgeEtched = EdgeSunkenOuter | EdgeRaisedInner,
    EdgeBump = EdgeRaisedOuter | EdgeSunkenInner,
};

// Draws the rings of `flags` on all four sides of `rect`, outer ring first, with
// Qt's shade-panel drawing in the palette's 3-D colours. A ring with both its
// raised and its sunken flag is drawn raised.
void drawEdge(QPainter& painter, const QRect& rect, int flags, const QPalette& palette);

class ctlEBSlider : public QWidget {
    Q_OBJECT
public:
    enum : int { Horizontal = 0, Vertical = 1 };

    explicit ctlEBSlider(QWidget* parent = nullptr);

    // Writes that break a rule are ignored silently: a Min above Max, a Max not
    // above Min, a SliderWidth not shorter than the track.
    int Min() const { return min_; }
    void setMin(int value);
    int Max() const { return max_; }
    // Lowers the value into the new range without raising Changed.
    void setMax(int value);
    // Vertical sliders have their maximum at the top.
    int Value() const;
    // Clamped into Min..Max; raises Changed every time, also when nothing changed.
    void setValue(int value);
    int SliderWidth() const { return sliderWidth_; }   // thumb length along the track, twips
    void setSliderWidth(int twips);
    QColor SliderColor() const;
    void setSliderColor(const QColor& colour);
    int Orientation() const { return orientation_; }
    void setOrientation(int orientation);
    int BorderStyle() const { return borderStyle_; }
    void setBorderStyle(int flags);

    // Puts the thumb where the value says; leaves it alone when Min equals Max.
    void UpdateThumb();

    // The seven properties as the host window keeps them; values equal to their
    // defaults are left out.
    QVariantMap WriteProperties() const;
    // Min, Max, Value and SliderWidth are taken as they stand; BorderStyle and
    // Orientation go through their writes.
    void ReadProperties(const QVariantMap& properties);

    // A press on the track (any button) at (x, y) twips moves the thumb there.
    void UserControl_MouseDown(double x, double y);
    // A move over the thumb with only the left button held, (x, y) twips within
    // the thumb: the thumb's centre follows the pointer.
    void picSlider_MouseMove(Qt::MouseButtons buttons, double x, double y);

    // The track's size in twips.
    double trackWidth() const;
    double trackHeight() const;
    // The thumb's rectangle and the groove's line, twips within the track.
    QRectF thumbRect() const { return thumb_; }
    QLineF groove() const { return groove_; }
    QWidget* picSlider() const { return picSlider_; }

signals:
    void Changed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The control's own resize: groove and thumb laid out for the track's size.
    void UserControl_Resize();
    // Moves the thumb's leading edge to follow `pointer` (twips along the track)
    // and takes the value it points at.
    void followPointer(double pointer);
    double trackLength() const { return orientation_ == Vertical ? trackHeight() : trackWidth(); }
    double thumbLength() const { return orientation_ == Vertical ? thumb_.height() : thumb_.width(); }
    void placeThumb();

    int min_ = 0;
    int max_ = 100;
    int position_ = 50;   // the value measured from the track's start
    int sliderWidth_ = 315;
    int borderStyle_ = 0;
    int orientation_ = Horizontal;
    QRectF thumb_;
    QLineF groove_;
    QWidget* picSlider_ = nullptr;
};

} // namespace px316t

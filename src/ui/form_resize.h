#pragma once
// Scaling of the main window: at every change of the window's inner size each
// control is put back to its design geometry (kept in its tag since start-up)
// times the ratio of the present size to the design size, fonts by the smaller
// of the two ratios. Every resize starts again from the design values, so nothing
// accumulates, however often and however small the window is made.
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

namespace px316t {

class ControlList;

// The design geometry of a tag's suffix ",#Left#Top#Width#Height#FontSize#": the
// numbers after the first "#", each closed by the next "#". From the first number
// whose closing "#" is missing on, and for text that is no number, the value is 0.
struct TagGeometry {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double fontSize = 0;
};
TagGeometry tagGeometry(const QString& tag);

// The design rectangle scaled by the two ratios, in whole twips. The corners are
// rounded, so controls that touch at design size still touch when scaled.
QRect scaledTwips(const TagGeometry& design, double ratioX, double ratioY);

// Font sizes the platform takes: positive and finite. Others are skipped.
bool fontSizeAccepted(double points);

class FormResize : public QObject {
    Q_OBJECT
public:
    // `client` is the window's inner area, whose size in twips against
    // `designScale` (twips) gives the ratios; `layoutRows` lays out the capcode
    // rows again after every control was moved.
    FormResize(QWidget* client, const ControlList& controls, QSize designScale, std::function<void()> layoutRows);

    // Scales every control of the window to the inner size it has now.
    void Form_Resize();


protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* client_;
    const ControlList& controls_;
    QSize designScale_;
    std::function<void()> layoutRows_;
    double ratioX_ = 1;
    double ratioY_ = 1;
};

} // namespace px316t

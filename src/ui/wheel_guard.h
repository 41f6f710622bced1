#pragma once
// Keeps the mouse wheel from changing settings behind the operator's back: a wheel
// turn over a combo box, check box, option button or slider of the window that
// does not have the focus changes nothing, and over the capcode list it scrolls
// the list as its scroll bar does. A control that has the focus takes the wheel
// as usual. Installed once for the whole window, so controls added later are
// covered too.
#include <QObject>
#include <QPointer>

class QScrollBar;
class QWidget;

namespace px316t {

class WheelGuard final : public QObject {
public:
    explicit WheelGuard(QWidget* window);
    ~WheelGuard() override;

    // The wheel anywhere over `area` scrolls `scrollBar`.
    void scrollAreaWith(QWidget* area, QScrollBar* scrollBar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QPointer<QWidget> scrollArea_;
    QPointer<QScrollBar> scrollBar_;
};

// True for the controls whose value a wheel turn could change.
bool changesOnWheel(const QWidget* widget);

} // namespace px316t

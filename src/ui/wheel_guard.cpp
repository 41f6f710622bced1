#include "ui/wheel_guard.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

namespace px316t {

bool changesOnWheel(const QWidget* widget)
{
    if (qobject_cast<const QScrollBar*>(widget))
        return false;   // a scroll bar only scrolls
    return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractButton*>(widget)
        || qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || widget->property("changesOnWheel").toBool();
}

WheelGuard::WheelGuard(QWidget* window) : QObject(window), window_(window)
{
    qApp->installEventFilter(this);
}

WheelGuard::~WheelGuard() { qApp->removeEventFilter(this); }

void WheelGuard::scrollAreaWith(QWidget* area, QScrollBar* scrollBar)
{
    scrollArea_ = area;
    scrollBar_ = scrollBar;
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != window_)
        return false;

    // The control under the mouse that the wheel would change, if any.
    QWidget* control = nullptr;
    bool overScrollArea = false;
    for (QWidget* w = target; w && w != window_; w = w->parentWidget()) {
        if (!control && changesOnWheel(w))
            control = w;
        if (w == scrollArea_)
            overScrollArea = true;
    }
    if (control && control->hasFocus())
        return false;   // the operator is working in this control
    if (overScrollArea && scrollBar_ && target != scrollBar_) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        QWheelEvent forwarded(scrollBar_->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                              wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                              wheel->phase(), wheel->inverted(), wheel->source());
        QCoreApplication::sendEvent(scrollBar_, &forwarded);
        return true;
    }
    return control != nullptr;   // swallowed: nothing changes without the focus
}

} // namespace px316t

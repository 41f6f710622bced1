#include "ui/binding/slider_binding.h"

#include "ui/ct_eb_slider.h"

#include <QSignalBlocker>

#include <string>

namespace px316t {

SliderBinding::SliderBinding(ctlEBSlider* slider, PagerDocument& document, const std::string& field)
    : FieldBinding(slider, document, field), slider_(slider)
{
    connect(slider, &ctlEBSlider::Changed, this, [this] { store(std::to_string(slider_->Value())); });
}

void SliderBinding::showValue(const std::string& value)
{
    // Only the operator's moves report a change: showing the image never
    // rewrites the stored contrast, so the slider's report is held back here.
    const QSignalBlocker quiet(slider_);
    shown_ = std::stoi(value);
    slider_->setValue(shown_);
}

} // namespace px316t

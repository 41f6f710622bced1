#pragma once
// The slider bound to a whole-number field (the screen contrast): it shows the
// field's value, and every change it reports is stored.
#include "ui/binding/field_binding.h"

namespace px316t {

class ctlEBSlider;

class SliderBinding final : public FieldBinding {
public:
    SliderBinding(ctlEBSlider* slider, PagerDocument& document, const std::string& field);
    // The value last shown, before the slider kept it inside its range.
    int shownLevel() const { return shown_; }

private:
    void showValue(const std::string& value) override;
    ctlEBSlider* slider_;
    int shown_ = 0;
};

} // namespace px316t

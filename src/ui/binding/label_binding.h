#pragma once
// A label showing a field the image derives (the synthesizer panel, the frame
// mask): shown, never stored.
#include "ui/binding/field_binding.h"

class QLabel;

namespace px316t {

class LabelBinding final : public FieldBinding {
public:
    LabelBinding(QLabel* label, PagerDocument& document, const std::string& field);

private:
    void showValue(const std::string& value) override;
    QLabel* label_;
};

} // namespace px316t

#pragma once
// A check box bound to an on/off field: ticked for "on".
#include "ui/binding/field_binding.h"

class QCheckBox;

namespace px316t {

class CheckBinding final : public FieldBinding {
public:
    CheckBinding(QCheckBox* box, PagerDocument& document, const std::string& field);

private:
    void showValue(const std::string& value) override;
    QCheckBox* box_;
};

} // namespace px316t

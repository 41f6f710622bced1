#pragma once
// A combo box bound to a field of a few named values: the entry of the value
// the field shows is selected; a stored value without an entry leaves the
// selection as it is.
#include "ui/binding/field_binding.h"

class QComboBox;

namespace px316t {

class ChoiceBinding final : public FieldBinding {
public:
    ChoiceBinding(QComboBox* combo, PagerDocument& document, const std::string& field);

private:
    void showValue(const std::string& value) override;
    QComboBox* combo_;
};

} // namespace px316t

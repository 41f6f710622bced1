#include "ui/binding/check_binding.h"

#include <QCheckBox>

namespace px316t {

CheckBinding::CheckBinding(QCheckBox* box, PagerDocument& document, const std::string& field)
    : FieldBinding(box, document, field), box_(box)
{
    // Connected before the window's own handlers, which then see the stored value.
    connect(box, &QCheckBox::stateChanged, this, [this] { store(box_->isChecked() ? "on" : "off"); });
}

void CheckBinding::showValue(const std::string& value) { box_->setChecked(value == "on"); }

} // namespace px316t

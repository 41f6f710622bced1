#include "ui/binding/label_binding.h"

#include <QLabel>

namespace px316t {

LabelBinding::LabelBinding(QLabel* label, PagerDocument& document, const std::string& field)
    : FieldBinding(label, document, field), label_(label)
{
}

void LabelBinding::showValue(const std::string& value) { label_->setText(QString::fromStdString(value)); }

} // namespace px316t

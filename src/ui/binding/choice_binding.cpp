#include "ui/binding/choice_binding.h"

#include <QComboBox>

namespace px316t {

ChoiceBinding::ChoiceBinding(QComboBox* combo, PagerDocument& document, const std::string& field)
    : FieldBinding(combo, document, field), combo_(combo)
{
    connect(combo, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            store(combo_->currentText().toStdString());
    });
}

void ChoiceBinding::showValue(const std::string& value)
{
    const QString shown = QString::fromStdString(value).trimmed();
    for (int i = 0; i < combo_->count(); ++i)
        if (combo_->itemText(i).trimmed() == shown) {
            combo_->setCurrentIndex(i);
            return;
        }
}

} // namespace px316t

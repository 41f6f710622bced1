#include "ui/binding/capcode_row_binding.h"

#include "editor/capcode_flex.h"
#include "ui/field_events.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolTip>

namespace px316t {

CapcodeRowBinding::CapcodeRowBinding(QLineEdit* box, int row, PagerDocument& document, MessageBoxes& messages,
                                     QWidget* background, std::function<void()> showRows)
    : FieldBinding(box, document, "capcode." + std::to_string(row + 1)), box_(box), row_(row), messages_(messages),
      background_(background), showRows_(std::move(showRows))
{
    new FieldEvents(box, {
        [this] { gotFocus(); },
        [this](QKeyEvent* e) { return keyPress(e); },
        [this](QKeyEvent*) { checkTyped(); },
        [this] { lostFocus(); },
    });
}

void CapcodeRowBinding::showValue(const std::string& value) { setFieldText(box_, QString::fromStdString(value)); }

void CapcodeRowBinding::gotFocus()
{
    document_.enterCapcode(row_);
    entered_ = document_.shownCapcodeText(row_);
    setFieldText(box_, QString());
    checked_.clear();
}

bool CapcodeRowBinding::keyPress(QKeyEvent* event)
{
    if (typesACharacter(event))
        document_.flags().EntryRejected = false;
    if (isEnterKey(event)) {
        background_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

bool CapcodeRowBinding::checkTyped()
{
    const QString text = box_->text();
    if (const auto refusal = document_.typeCapcode(row_, text.toStdString())) {
        messages_.message(QString::fromStdString(*refusal));
        showRows_();
        checked_ = box_->text();
        box_->setFocus(Qt::OtherFocusReason);
        return false;
    }
    checked_ = text;
    return true;
}

void CapcodeRowBinding::lostFocus()
{
    // Text that reached the field without a key release (pasted with the mouse)
    // gets the same check before it is committed.
    const QString text = box_->text();
    if (!text.isEmpty() && text != checked_ && !checkTyped()) {
        document_.flags().EntryRejected = true;
        return;
    }
    if (const auto refusal = document_.leaveCapcode(row_, box_->text().isEmpty())) {
        messages_.message(QString::fromStdString(*refusal));
        box_->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The field shows the stored capcode in its 7- or 10-digit form.
    showRows_();
    // An address FLEX keeps for itself is stored all the same; the operator is
    // told once, at the field, without holding up the entry.
    if (document_.shownCapcodeText(row_) == entered_)
        return;
    entered_ = document_.shownCapcodeText(row_);
    if (const auto warning = specialAddressWarning(document_, row_))
        QToolTip::showText(box_->mapToGlobal(QPoint(0, box_->height())), QString::fromStdString(*warning), box_);
}

} // namespace px316t

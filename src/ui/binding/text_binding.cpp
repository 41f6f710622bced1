#include "ui/binding/text_binding.h"

#include "ui/field_events.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace px316t {

TextBinding::TextBinding(QLineEdit* box, PagerDocument& document, const std::string& field, MessageBoxes& messages,
                         QWidget* background, Rules rules)
    : FieldBinding(box, document, field), box_(box), messages_(messages), background_(background),
      rules_(std::move(rules))
{
    new FieldEvents(box, {
        [this] { gotFocus(); },
        [this](QKeyEvent* e) { return keyPress(e); },
        [this](QKeyEvent*) { keyUp(); },
        [this] { lostFocus(); },
    });
}

void TextBinding::restoreDefault()
{
    if (entry().restoreDefault)
        entry().restoreDefault(document_);
}

std::string TextBinding::typed() const
{
    return rules_.fromBox ? rules_.fromBox(box_->text()) : box_->text().toStdString();
}

void TextBinding::showValue(const std::string& value)
{
    setFieldText(box_, rules_.toBox ? rules_.toBox(value) : QString::fromStdString(value));
    checked_ = box_->text();
}

void TextBinding::gotFocus()
{
    if (rules_.emptiedOnEntry)
        setFieldText(box_, QString());
    checked_.clear();
    if (rules_.entered)
        rules_.entered();
}

bool TextBinding::keyPress(QKeyEvent* event)
{
    if (rules_.tracksRejection && typesACharacter(event))
        document_.flags().EntryRejected = false;
    if (isEnterKey(event)) {
        background_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return rules_.maxLength && typesBeyond(box_, event, rules_.maxLength());
}

void TextBinding::keyUp()
{
    if (rules_.keyRelease == Rules::KeyRelease::Check)
        checkTyped();
    else if (rules_.keyRelease == Rules::KeyRelease::Store)
        storeTyped();
}

void TextBinding::refuse(const std::string& message)
{
    messages_.message(QString::fromStdString(message), rules_.icon);
    show();
    box_->setFocus(Qt::OtherFocusReason);
}

bool TextBinding::checkTyped()
{
    const QString text = box_->text();
    if (!text.isEmpty() && entry().check)
        if (const auto refusal = entry().check(document_, typed())) {
            refuse(*refusal);
            return false;
        }
    checked_ = text;
    return true;
}

bool TextBinding::storeTyped()
{
    const QString text = box_->text();
    if (!text.isEmpty()) {
        const SetResult stored = store(typed());
        if (stored.outcome != SetOutcome::Changed) {
            refuse(stored.message);
            return false;
        }
    }
    checked_ = text;
    return true;
}

void TextBinding::lostFocus()
{
    // Text that arrived without a key release (pasted or dropped with the
    // mouse) gets the key-release rule first.
    const bool unchecked = box_->text() != checked_;
    switch (rules_.leave) {
    case Rules::Leave::ShowAgain:
        if (unchecked && rules_.keyRelease == Rules::KeyRelease::Store && !storeTyped())
            return;
        show();
        return;
    case Rules::Leave::Commit:
        entry().commit(document_, typed());
        return;
    case Rules::Leave::Store:
        break;
    }
    if (unchecked && !checkTyped()) {
        document_.flags().EntryRejected = true;
        return;
    }
    if (box_->text().isEmpty()) {
        // Left empty: the stored value stays, and nothing was refused.
        document_.flags().EntryRejected = false;
        show();
        return;
    }
    const SetResult stored = store(typed());
    if (stored.outcome != SetOutcome::Changed) {
        messages_.message(QString::fromStdString(stored.message), rules_.icon);
        document_.flags().EntryRejected = true;
        box_->setFocus(Qt::OtherFocusReason);
        return;
    }
    show();
}

} // namespace px316t

#include "ui/field_events.h"

#include "ui/editor_context.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>
#include <QWidget>

namespace px316t {
namespace {
bool isOperatorFocusChange(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}
} // namespace

FieldEvents::FieldEvents(QWidget* field, Handlers handlers)
    : QObject(field), field_(field), handlers_(std::move(handlers))
{
    field->installEventFilter(this);
}

bool FieldEvents::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        if (isOperatorFocusChange(static_cast<QFocusEvent*>(event)) && !editing_) {
            editing_ = true;
            if (handlers_.gotFocus)
                handlers_.gotFocus();
        }
        break;
    case QEvent::FocusOut:
        // A field that never received the focus has nothing to commit.
        if (isOperatorFocusChange(static_cast<QFocusEvent*>(event)) && editing_) {
            editing_ = false;
            if (handlers_.lostFocus)
                handlers_.lostFocus();
        }
        break;
    case QEvent::KeyPress:
        if (handlers_.keyPress && handlers_.keyPress(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::KeyRelease:
        if (handlers_.keyUp)
            handlers_.keyUp(static_cast<QKeyEvent*>(event));
        break;
    default:
        break;
    }
    return false;
}

namespace {
class LengthLimit final : public QValidator {
public:
    LengthLimit(int maxLength, QObject* parent) : QValidator(parent), maxLength_(maxLength) {}
    void suspend(bool suspended) { suspended_ = suspended; }
    // Text beyond the limit is cut off, as a paste into a limited box is.
    State validate(QString& input, int& position) const override
    {
        if (!suspended_ && input.size() > maxLength_) {
            input.truncate(maxLength_);
            position = std::min<int>(position, maxLength_);
        }
        return Acceptable;
    }

private:
    int maxLength_;
    bool suspended_ = false;
};
} // namespace

void limitTypedLength(QLineEdit* field, int maxLength)
{
    field->setValidator(new LengthLimit(maxLength, field));
}

void setFieldText(QLineEdit* field, const QString& text)
{
    auto* limit = dynamic_cast<LengthLimit*>(const_cast<QValidator*>(field->validator()));
    if (limit)
        limit->suspend(true);
    field->setText(text);
    if (limit)
        limit->suspend(false);
}

bool entryKeyPress(EditorContext& context, const QKeyEvent* event)
{
    // Only keys that type something count; Tab, arrows and modifiers do not.
    const bool typesACharacter = !event->text().isEmpty() && event->key() != Qt::Key_Tab
                                 && event->key() != Qt::Key_Backtab;
    if (typesACharacter)
        context.flags.EntryRejected = false;
    if (isEnterKey(event)) {
        context.picTabBack->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

bool isEnterKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace px316t

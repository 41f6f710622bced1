#include "ui/field_events.h"

#include "ui/editor_context.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>
#include <QWidget>

#include <algorithm>

namespace px316t {
namespace {

// The current control of one window; a child of the window, so it lives and dies
// with it.
class WindowFocusState final : public QObject {
public:
    explicit WindowFocusState(QWidget* window) : QObject(window) {}
    QPointer<QWidget> current;
    bool entered = false;   // the current control's GotFocus has run
};

WindowFocusState& focusStateOf(QWidget* window)
{
    for (QObject* child : window->children()) {
        if (auto* state = dynamic_cast<WindowFocusState*>(child))
            return *state;
    }
    return *new WindowFocusState(window);
}

// Follows the application's focus and runs the handlers of the fields that are
// left and entered. One for the whole application.
class FocusTracker final : public QObject {
public:
    static FocusTracker& instance()
    {
        if (!tracker_)
            tracker_ = new FocusTracker(QCoreApplication::instance());
        return *tracker_;
    }
    // The tracker while the application lives, else nullptr.
    static FocusTracker* existing() { return tracker_.data(); }

    void add(QWidget* field, FieldEvents* events) { fields_.insert(field, events); }
    void remove(QWidget* field) { fields_.remove(field); }

private:
    explicit FocusTracker(QObject* parent) : QObject(parent)
    {
        connect(qApp, &QApplication::focusChanged, this, &FocusTracker::focusChanged);
    }

    void focusChanged(QWidget*, QWidget* now)
    {
        if (!now)
            return;   // the application lost the focus: nothing is left or entered
        WindowFocusState& state = focusStateOf(now->window());
        if (state.current == now)
            return;   // back from a message box or another window
        QPointer<QWidget> previous = state.current;
        const bool previousEntered = state.entered;
        state.current = now;
        state.entered = false;
        if (previous && previousEntered) {
            if (FieldEvents* events = fields_.value(previous.data()))
                events->runLostFocus();
        }
        // A LostFocus handler may have moved the focus on (back into its field);
        // then the control that had it meanwhile is not entered.
        QPointer<QWidget> target = now;
        if (!target || state.current != target)
            return;
        state.entered = true;
        if (FieldEvents* events = fields_.value(target.data()))
            events->runGotFocus();
    }

    static inline QPointer<FocusTracker> tracker_;
    QHash<QWidget*, FieldEvents*> fields_;
};

} // namespace

FieldEvents::FieldEvents(QWidget* field, Handlers handlers)
    : QObject(field), field_(field), handlers_(std::move(handlers))
{
    field->installEventFilter(this);
    FocusTracker::instance().add(field, this);
}

FieldEvents::~FieldEvents()
{
    if (FocusTracker* tracker = FocusTracker::existing())
        tracker->remove(field_);
}

void FieldEvents::runGotFocus()
{
    if (handlers_.gotFocus)
        handlers_.gotFocus();
}

void FieldEvents::runLostFocus()
{
    if (handlers_.lostFocus)
        handlers_.lostFocus();
}

bool FieldEvents::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return false;
    switch (event->type()) {
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

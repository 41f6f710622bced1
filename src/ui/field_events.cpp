#include "ui/field_events.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QStringList>
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
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!pressedHere_.contains(key->key()))
            pressedHere_.append(key->key());
        if (handlers_.keyPress && handlers_.keyPress(key))
            return true;
        break;
    }
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!pressedHere_.removeOne(key->key()))
            break;
        if (handlers_.keyUp)
            handlers_.keyUp(key);
        break;
    }
    case QEvent::FocusOut:
        // Keys released elsewhere, or after the focus came back from a message
        // box, are not this field's.
        pressedHere_.clear();
        break;
    default:
        break;
    }
    return false;
}

namespace {
class LengthLimit final : public QValidator {
public:
    LengthLimit(int maxLength, InsertionRule rule, QObject* parent)
        : QValidator(parent), maxLength_(maxLength), rule_(std::move(rule)) {}
    void setMaximum(int maxLength) { maxLength_ = maxLength; }
    void suspend(bool suspended) { suspended_ = suspended; }

    State validate(QString& input, int& position) const override
    {
        if (suspended_) {
            longestHeld_ = input.size();   // the program filled the field
            remember(input);
            return Acceptable;
        }
        QString kept = input;
        int cursor = position;
        // An undo or redo only brings back texts the field held: the rule is not
        // asked about those, since what the program showed may hold characters
        // (a stored byte's picture) that the rule keeps out of an insertion.
        if (rule_ && !held_.contains(input)) {
            // What this edit brought: the text between what it kept of the
            // field's text at the start and at the end.
            const QString& before = held_.isEmpty() ? QString() : held_.back();
            const qsizetype common = std::min(before.size(), input.size());
            qsizetype prefix = 0;
            while (prefix < common && before[prefix] == input[prefix])
                ++prefix;
            qsizetype suffix = 0;
            while (suffix < common - prefix && before[before.size() - 1 - suffix] == input[input.size() - 1 - suffix])
                ++suffix;
            const QString brought = input.mid(prefix, input.size() - prefix - suffix);
            const QString cleaned = QString::fromStdString(rule_(brought.toStdString()));
            if (!brought.isEmpty() && cleaned != brought) {
                kept = input.left(prefix) + cleaned + input.right(suffix);
                const qsizetype dropped = brought.size() - cleaned.size();
                if (position >= input.size() - suffix)
                    cursor = static_cast<int>(position - dropped);
                else if (position > prefix)
                    cursor = static_cast<int>(prefix + cleaned.size());
            }
        }
        // Typing, a paste or a drop that grows the text too far is refused; an
        // undo or redo never is.
        if (!held_.contains(kept) && kept.size() > std::max<qsizetype>(maxLength_, longestHeld_))
            return Invalid;
        longestHeld_ = std::max(longestHeld_, kept.size());
        input = kept;
        position = cursor;
        remember(kept);
        return Acceptable;
    }

private:
    // The texts the field held, the last one last; a few are enough for undo.
    void remember(const QString& text) const
    {
        held_.removeAll(text);
        held_.append(text);
        if (held_.size() > 64)
            held_.removeFirst();
    }

    int maxLength_;
    InsertionRule rule_;
    bool suspended_ = false;
    mutable qsizetype longestHeld_ = 0;
    mutable QStringList held_;
};

LengthLimit* lengthLimitOf(QLineEdit* field)
{
    return dynamic_cast<LengthLimit*>(const_cast<QValidator*>(field->validator()));
}
} // namespace

void limitTypedLength(QLineEdit* field, int maxLength, InsertionRule rule)
{
    field->setValidator(new LengthLimit(maxLength, std::move(rule), field));
}

void setTypedLengthLimit(QLineEdit* field, int maxLength)
{
    if (LengthLimit* limit = lengthLimitOf(field))
        limit->setMaximum(maxLength);
}

void setFieldText(QLineEdit* field, const QString& text)
{
    LengthLimit* limit = lengthLimitOf(field);
    if (limit)
        limit->suspend(true);
    field->setText(text);
    if (limit)
        limit->suspend(false);
}

bool typesBeyond(const QLineEdit* field, const QKeyEvent* event, int maxLength)
{
    const bool typesACharacter = !event->text().isEmpty() && event->text().front().isPrint()
                                 && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    const qsizetype kept = field->text().size() - field->selectedText().size();
    return typesACharacter && kept >= maxLength;
}

bool typesACharacter(const QKeyEvent* event)
{
    // Tab and the arrows, and modifiers on their own, type nothing.
    return !event->text().isEmpty() && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab;
}

bool isEnterKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace px316t

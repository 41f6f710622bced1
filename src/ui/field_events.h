#pragma once
// Focus and key events of one entry field, turned into the four handlers the
// fields are written with: GotFocus, KeyPress, KeyUp and LostFocus.
//
// GotFocus and LostFocus follow the focus moving between the controls of one
// window, whatever the reason Qt gives for it: each window keeps its current
// control; a control that receives the focus while it is not the current one is
// entered (GotFocus), and the control that was current is left (LostFocus) at
// that moment. The focus going to a message box, a popup or another window, and
// coming back to the same control, runs neither, so a LostFocus handler that
// shows a message does not run again when the message closes, and a click that
// activates the window inside a field still enters it.
#include <QList>
#include <QObject>

#include <functional>
#include <string>
#include <string_view>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace px316t {

class FieldEvents : public QObject {
public:
    struct Handlers {
        std::function<void()> gotFocus;
        // Returns true when the key is consumed.
        std::function<bool(QKeyEvent*)> keyPress;
        std::function<void(QKeyEvent*)> keyUp;
        std::function<void()> lostFocus;
    };

    FieldEvents(QWidget* field, Handlers handlers);
    ~FieldEvents() override;

    void runGotFocus();
    void runLostFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* field_;
    Handlers handlers_;
    // Keys pressed while the field had the focus and not yet released. A release
    // without its press here (the Enter that closed a message box, the Tab that
    // brought the focus) is not the field's key and runs no KeyUp.
    QList<int> pressedHere_;
};

// Enter or Return, the key that commits a field.
bool isEnterKey(const QKeyEvent* event);

// Whether the key types a character into a field (Tab and the arrows do not).
bool typesACharacter(const QKeyEvent* event);

// What an insertion into a field keeps of what it brings (UTF-8 in and out).
using InsertionRule = std::function<std::string(std::string_view)>;

// Limits what the operator can type or paste into a field to `maxLength`
// characters, while the program may still show a longer stored value in it: an
// edit that would make the text longer than both the limit and the longest text
// the field held since the program last filled it is refused whole. Nothing is
// ever cut, so an undo brings back exactly what was deleted. With `rule`, an
// edit keeps what the rule keeps of what it inserted (a paste or a drop may
// bring what typing cannot); an undo or redo is left as it is.
void limitTypedLength(QLineEdit* field, int maxLength, InsertionRule rule = {});
// Changes the limit of a field limited above; the text stays as it is.
void setTypedLengthLimit(QLineEdit* field, int maxLength);
// Shows a value from the image in a field, whatever its length.
void setFieldText(QLineEdit* field, const QString& text);
// True when the key types a character that would make the field longer than
// `maxLength` (what a selection replaces does not count).
bool typesBeyond(const QLineEdit* field, const QKeyEvent* event, int maxLength);

} // namespace px316t

#pragma once
// Focus and key events of one entry field, turned into the four handlers the
// fields are written with: GotFocus, KeyPress, KeyUp and LostFocus. Focus changes
// that a message box or a popup causes are not the operator moving between fields
// and are ignored, so that a LostFocus handler that shows a message does not run
// again when the message closes.
#include <QObject>

#include <functional>

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* field_;
    Handlers handlers_;
    bool editing_ = false;   // between a GotFocus and the LostFocus that ends it
};

// Enter or Return, the key that commits a field.
bool isEnterKey(const QKeyEvent* event);

struct EditorContext;
// The key press of the capcode and frequency fields: a typed character clears
// EntryRejected; Enter is swallowed and gives the focus to the page background,
// which commits the field. True when the key is consumed.
bool entryKeyPress(EditorContext& context, const QKeyEvent* event);

// Limits what the operator can type or paste into a field to `maxLength`
// characters, while the program may still show a longer stored value in it.
void limitTypedLength(QLineEdit* field, int maxLength);
// Shows a value from the image in a field, whatever its length.
void setFieldText(QLineEdit* field, const QString& text);

} // namespace px316t

#pragma once
// A box the operator types a value into, checked while typing and stored with
// the catalogue's rules when the field says so: the frequency (checked on
// every key release, stored when left), the password (stored on every key
// release) and the prompts (stored as typed when left). A refusal shows the
// catalogue's message, shows the stored value again and returns the focus.
#include "link/message_boxes.h"
#include "ui/binding/field_binding.h"

#include <QString>

#include <functional>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace px316t {

class FieldEvents;

class TextBinding final : public FieldBinding {
public:
    struct Rules {
        enum class KeyRelease { Nothing, Check, Store };
        enum class Leave { ShowAgain, Store, Commit };
        // Entering the box empties it: the value is always typed anew.
        bool emptiedOnEntry = false;
        // A typed character clears EntryRejected; a refusal on leaving sets it.
        bool tracksRejection = false;
        // What typing may make the text; empty: no limit of the binding's own.
        std::function<int()> maxLength;
        KeyRelease keyRelease = KeyRelease::Nothing;
        Leave leave = Leave::ShowAgain;
        MessageBoxes::Icon icon = MessageBoxes::Icon::Warning;
        // How a value shows in the box, and what the box stores of its text.
        std::function<QString(const std::string&)> toBox;
        std::function<std::string(const QString&)> fromBox;
        // Runs when the box is entered, after the binding's own rule.
        std::function<void()> entered;
    };

    // `background` takes the focus on Enter, which commits the box.
    TextBinding(QLineEdit* box, PagerDocument& document, const std::string& field, MessageBoxes& messages,
                QWidget* background, Rules rules);

    // The field's Default button (a prompt): its default is stored.
    void restoreDefault();

private:
    void showValue(const std::string& value) override;
    void gotFocus();
    bool keyPress(QKeyEvent* event);
    void keyUp();
    void lostFocus();
    // The key-release rules; false when the text was refused (message shown).
    bool checkTyped();
    bool storeTyped();
    void refuse(const std::string& message);
    std::string typed() const;

    QLineEdit* box_;
    MessageBoxes& messages_;
    QWidget* background_;
    Rules rules_;
    QString checked_;   // the text the last key-release rule saw
};

} // namespace px316t

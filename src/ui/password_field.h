#pragma once
// The password box of the frame "Manual Write": it shows the stored password,
// is emptied when entered so that the password is always typed anew, and stores
// what is typed at every key release once it reads as four digits at most.
#include "ui/editor_context.h"

#include <QObject>
#include <QString>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QWidget;

namespace px316t {

class ControlFactory;

class PasswordField : public QObject {
public:
    PasswordField(EditorContext& context, ControlFactory& factory, QWidget* manualWriteFrame);

    // Shows the stored password.
    void read_pass();

    void txtPass_GotFocus();
    bool txtPass_KeyPress(QKeyEvent* event);
    void txtPass_KeyUp();
    void txtPass_LostFocus();

    QLabel* lblPass = nullptr;
    QLineEdit* txtPass = nullptr;

private:
    // Checks and stores the box's text; false when it was refused (message shown).
    bool checkAndStore();

    EditorContext& ctx_;
    QString checkedText_;   // the text the last check saw
};

} // namespace px316t

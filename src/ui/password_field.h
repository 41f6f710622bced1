#pragma once
// The password box of the frame "Manual Write": it shows the stored password,
// is emptied when entered so that the password is always typed anew, and stores
// what is typed at every key release once it reads as four digits at most.
#include "ui/editor_context.h"

#include <QObject>

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

    QLabel* lblPass = nullptr;
    QLineEdit* txtPass = nullptr;
};

} // namespace px316t

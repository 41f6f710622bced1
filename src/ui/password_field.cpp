#include "ui/password_field.h"

#include "editor/password_rules.h"
#include "ui/binding/text_binding.h"
#include "ui/control_list.h"

#include <QLabel>
#include <QLineEdit>

namespace px316t {

PasswordField::PasswordField(EditorContext& context, ControlFactory& factory, QWidget* manualWriteFrame)
    : QObject(manualWriteFrame)
{
    lblPass = factory.label(manualWriteFrame, QStringLiteral("lblPass"), QStringLiteral("Password(4 Dec)"),
                            QRect(180, 1650, 2160, 255));
    lblPass->setToolTip(QStringLiteral("The password may be required for writed or manual writed."));
    // No length limit on the box itself: typing stops at four characters (the
    // binding's key rule), while a longer paste reaches the check and is
    // refused whole instead of being cut into a different password.
    txtPass = factory.textBox(manualWriteFrame, QStringLiteral("txtPass"), 0, QRect(2460, 1620, 900, 285));
    // Emptied when entered, so that the password is always typed anew; stored
    // at every key release once it reads as four digits at most.
    TextBinding::Rules typed;
    typed.emptiedOnEntry = true;
    typed.maxLength = [] { return PasswordMaxLength; };
    typed.keyRelease = TextBinding::Rules::KeyRelease::Store;
    typed.leave = TextBinding::Rules::Leave::ShowAgain;
    new TextBinding(txtPass, context.document, "password", context.messages, context.picTabBack, std::move(typed));
}

void PasswordField::read_pass() { FieldBinding::of(txtPass)->show(); }

} // namespace px316t

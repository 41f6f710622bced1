#include "ui/password_field.h"

#include "ui/field_events.h"
#include "editor/password_rules.h"
#include "ui/control_list.h"
#include "ui/dialogs.h"
#include "ui/field_binding.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace px316t {

PasswordField::PasswordField(EditorContext& context, ControlFactory& factory, QWidget* manualWriteFrame)
    : QObject(manualWriteFrame), ctx_(context)
{
    lblPass = factory.label(manualWriteFrame, QStringLiteral("lblPass"), QStringLiteral("Password(4 Dec)"),
                            QRect(180, 1650, 2160, 255));
    lblPass->setToolTip(QStringLiteral("The password may be required for writed or manual writed."));
    // No length limit on the box itself: typing stops at four characters (key
    // press below), while a longer paste reaches the check and is refused whole
    // instead of being cut into a different password.
    txtPass = factory.textBox(manualWriteFrame, QStringLiteral("txtPass"), 0, QRect(2460, 1620, 900, 285));
    bindCatalogField(txtPass, "password");
    new FieldEvents(txtPass, {
        [this] { txtPass_GotFocus(); },
        [this](QKeyEvent* e) { return txtPass_KeyPress(e); },
        [this](QKeyEvent*) { txtPass_KeyUp(); },
        [this] { txtPass_LostFocus(); },
    });
}

void PasswordField::read_pass()
{
    txtPass->setText(QString::fromStdString(readPassword(ctx_.table)));
}

void PasswordField::txtPass_GotFocus()
{
    txtPass->clear();
    checkedText_.clear();
}

bool PasswordField::txtPass_KeyPress(QKeyEvent* event)
{
    if (isEnterKey(event)) {
        ctx_.picTabBack->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return typesBeyond(txtPass, event, PasswordMaxLength);
}

bool PasswordField::checkAndStore()
{
    const PasswordVerdict verdict = storePassword(ctx_.table, txtPass->text().toStdString());
    const std::string_view message = passwordMessage(verdict);
    if (message.empty()) {
        checkedText_ = txtPass->text();
        return true;
    }
    ctx_.messages.message(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                          MessageBoxes::Icon::Warning);
    read_pass();
    checkedText_ = txtPass->text();
    txtPass->setFocus(Qt::OtherFocusReason);
    return false;
}

void PasswordField::txtPass_KeyUp() { checkAndStore(); }

void PasswordField::txtPass_LostFocus()
{
    // Text that arrived without a key release (dropped or pasted with the mouse)
    // is checked like typed text.
    if (txtPass->text() != checkedText_ && !checkAndStore())
        return;
    read_pass();
}

} // namespace px316t

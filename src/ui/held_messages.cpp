#include "ui/held_messages.h"

namespace px316t {

void HeldMessages::message(const QString& text, Icon icon)
{
    if (!holding_) {
        shown_.message(text, icon);
        return;
    }
    if (!held_.contains(text))
        held_ << text;
    warning_ = warning_ || icon == Icon::Warning;
}

void HeldMessages::release()
{
    holding_ = false;
    if (held_.isEmpty())
        return;
    const QString text = held_.join(QStringLiteral("\n\n"));
    const Icon icon = warning_ ? Icon::Warning : Icon::None;
    held_.clear();
    warning_ = false;
    shown_.message(text, icon);
}

} // namespace px316t

#include "ui/field_binding.h"

#include "table/field_tag.h"
#include "ui/control_list.h"

#include <QCheckBox>
#include <QComboBox>

namespace px316t {
namespace {
std::optional<FieldTag> tagOf(const QObject* control)
{
    return parseFieldTag(controlTag(control).toStdString());
}
} // namespace

void showBoundField(const PagerTable& table, QObject* control)
{
    const auto tag = tagOf(control);
    if (!tag)
        return;
    const std::uint8_t v = GetBits(table, tag->byteIndex, tag->firstBit, tag->width);
    if (tag->kind == "chk") {
        if (auto* box = qobject_cast<QCheckBox*>(control))
            box->setChecked(v != 0);
    } else if (tag->kind == "chkN") {
        if (auto* box = qobject_cast<QCheckBox*>(control))
            box->setChecked(v == 0);
    } else if (tag->kind == "cbo") {
        if (auto* combo = qobject_cast<QComboBox*>(control); combo && v < combo->count())
            combo->setCurrentIndex(v);
    }
}

void writeBoundCheckBox(PagerTable& table, QObject* checkBox)
{
    const auto tag = tagOf(checkBox);
    auto* box = qobject_cast<QCheckBox*>(checkBox);
    if (!tag || !box)
        return;
    const bool ticked = box->isChecked();
    if (tag->kind == "chk")
        PutBits(table, tag->byteIndex, tag->firstBit, ticked ? 1 : 0, tag->width);
    else if (tag->kind == "chkN")
        PutBits(table, tag->byteIndex, tag->firstBit, ticked ? 0 : 1, tag->width);
}

void writeBoundComboBox(PagerTable& table, QObject* comboBox)
{
    const auto tag = tagOf(comboBox);
    auto* combo = qobject_cast<QComboBox*>(comboBox);
    if (!tag || !combo || combo->currentIndex() < 0)
        return;
    PutBits(table, tag->byteIndex, tag->firstBit, static_cast<std::uint8_t>(combo->currentIndex()), tag->width);
}

} // namespace px316t

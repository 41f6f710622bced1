#include "ui/field_binding.h"

#include "table/field_tag.h"
#include "ui/control_list.h"
#include "ui/editor_context.h"

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

namespace {
constexpr const char* CatalogFieldProperty = "catalogField";
} // namespace

void bindCatalogField(QObject* control, const std::string& name)
{
    const FieldEntry& entry = fieldCatalog().at(name);
    control->setProperty(CatalogFieldProperty, QString::fromStdString(entry.name));
}

const FieldEntry* boundCatalogEntry(const QObject* control)
{
    const QVariant name = control->property(CatalogFieldProperty);
    return name.isValid() ? fieldCatalog().find(name.toString().toStdString()) : nullptr;
}

QString catalogTag(const std::string& name) { return QString::fromStdString(fieldCatalog().at(name).tag); }

QStringList catalogItems(const std::string& name)
{
    QStringList items;
    for (const std::string& item : fieldCatalog().at(name).items)
        items << QString::fromStdString(item);
    return items;
}

EditSession windowSession(EditorContext& context)
{
    EditSession session(context.table);
    if (context.shownPairLengths)
        session.pairLong = context.shownPairLengths();
    return session;
}

std::string shownField(const EditorContext& context, const std::string& name)
{
    EditSession session(context.table);
    if (context.shownPairLengths)
        session.pairLong = context.shownPairLengths();
    return fieldCatalog().at(name).show(session);
}

void showCatalogField(const EditorContext& context, QObject* control)
{
    const FieldEntry* entry = boundCatalogEntry(control);
    if (!entry)
        return;
    const QString shown = QString::fromStdString(shownField(context, entry->name));
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        box->setChecked(shown == QLatin1String("on"));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemText(i).trimmed() == shown.trimmed()) {
                combo->setCurrentIndex(i);
                break;
            }
    }
}

SetResult storeField(EditorContext& context, const std::string& name, const std::string& value)
{
    if (context.showing)
        return {};
    EditSession session = windowSession(context);
    return fieldCatalog().at(name).set(session, value);
}

SetResult storeCatalogField(EditorContext& context, QObject* control)
{
    const FieldEntry* entry = boundCatalogEntry(control);
    if (!entry || context.showing)
        return {};
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return storeField(context, entry->name, box->isChecked() ? "on" : "off");
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->currentIndex() >= 0)
        return storeField(context, entry->name, combo->currentText().toStdString());
    return {};
}

} // namespace px316t

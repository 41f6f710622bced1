#include "ui/binding/field_binding.h"

namespace px316t {

FieldBinding::FieldBinding(QObject* control, PagerDocument& document, std::string field)
    : QObject(control), document_(document), field_(std::move(field))
{
    // A name the program itself binds: a missing one is a fault of the program.
    (void)entry();
}

FieldBinding* FieldBinding::of(const QObject* control)
{
    return control ? control->findChild<FieldBinding*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void FieldBinding::show()
{
    const bool wasShowing = showing_;
    showing_ = true;
    showValue(shownValue());
    showing_ = wasShowing;
}

SetResult FieldBinding::store(const std::string& value)
{
    if (showing_)
        return {};
    return document_.set(field_, value);
}

const FieldEntry* boundCatalogEntry(const QObject* control)
{
    const FieldBinding* binding = FieldBinding::of(control);
    return binding ? &binding->entry() : nullptr;
}

QString catalogTag(const std::string& name) { return QString::fromStdString(fieldCatalog().at(name).tag); }

QStringList catalogItems(const std::string& name)
{
    QStringList items;
    for (const std::string& item : fieldCatalog().at(name).items)
        items << QString::fromStdString(item);
    return items;
}

} // namespace px316t

#pragma once
// A control bound to a field of the catalogue: it shows the field as the pager
// document holds it and hands the operator's change to the document, which
// stores it with the catalogue's rules and messages. One class per control
// kind derives from it (check box, choice, typed text, slider, capcode row,
// shown-only label); the bindings are the window's only way to the image.
//
// Showing sets the control as the program, which runs the control's change
// handlers as an operator's change would (the window's own rules follow, such
// as which controls are visible), but the binding stores nothing meanwhile:
// showing never alters what the document holds.
#include "editor/field_catalog.h"
#include "editor/pager_document.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <string>

namespace px316t {

class FieldBinding : public QObject {
    Q_OBJECT   // so that a control's binding is found among its children

public:
    // The binding becomes a child of `control`, so it lives as long as it.
    FieldBinding(QObject* control, PagerDocument& document, std::string field);

    // The binding of a control; null for a control bound to nothing.
    static FieldBinding* of(const QObject* control);

    const std::string& field() const { return field_; }
    const FieldEntry& entry() const { return fieldCatalog().at(field_); }
    // Shows the document's value of the field.
    void show();

protected:
    // The value shown: the catalogue's, unless the kind shows it otherwise.
    virtual std::string shownValue() const { return document_.show(field_); }
    virtual void showValue(const std::string& value) = 0;
    // True while show() sets the control.
    bool showing() const { return showing_; }
    // Stores `value` through the catalogue; nothing while showing.
    SetResult store(const std::string& value);

    PagerDocument& document_;

private:
    std::string field_;
    bool showing_ = false;
};

// The catalogue entry a control is bound to, or nothing.
const FieldEntry* boundCatalogEntry(const QObject* control);
// A field's tag and list entries, as the control that shows it is created with.
QString catalogTag(const std::string& name);
QStringList catalogItems(const std::string& name);

} // namespace px316t

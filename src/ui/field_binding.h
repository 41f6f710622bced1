#pragma once
// The generic binding of check boxes and combo boxes to their bit fields through
// the field tag: showing the field in the control and writing the control back.
#include "editor/field_catalog.h"
#include "table/pager_table.h"

#include <QString>
#include <QStringList>

class QObject;

namespace px316t {

// Shows the control's field: "chk" ticked = value, "chkN" ticked = value 0,
// "cbo" list position = value. Controls without a field tag, and other kinds,
// are left alone. Setting the state runs the control's change handler only when
// the state changes.
void showBoundField(const PagerTable& table, QObject* control);

// Writes a check box back: "chk" the ticked state, "chkN" 0 when ticked, 1
// otherwise. A box without a field tag writes nothing.
void writeBoundCheckBox(PagerTable& table, QObject* checkBox);

// Writes a combo box's list position into its field, whatever its kind. Nothing
// is written without a field tag or without a selection.
void writeBoundComboBox(PagerTable& table, QObject* comboBox);

// ---- controls bound to the field catalogue -----------------------------------

struct EditorContext;

// Binds a check box or combo box to the catalogue's field `name`: the control
// carries the field's tag, and showing and storing go through the catalogue.
void bindCatalogField(QObject* control, const std::string& name);
// The catalogue entry a control is bound to, or nothing.
const FieldEntry* boundCatalogEntry(const QObject* control);
// A field's tag and list entries, as the control that shows it is created with.
QString catalogTag(const std::string& name);
QStringList catalogItems(const std::string& name);

// Shows the control's field as the catalogue shows it: a check box ticked for
// "on", a combo box on the entry of the shown text; a value without an entry
// leaves the selection as it is.
void showCatalogField(const EditorContext& context, QObject* control);
// Stores the control's state through the catalogue (nothing while the window
// shows the image).
SetResult storeCatalogField(EditorContext& context, QObject* control);
// Stores `value` into the field `name` through the catalogue, with the pair
// lengths the window shows (nothing while the window shows the image).
SetResult storeField(EditorContext& context, const std::string& name, const std::string& value);
// The field's value as the catalogue shows it for the window's image.
std::string shownField(const EditorContext& context, const std::string& name);
// An edit session over the window's image with the pair lengths it shows.
EditSession windowSession(EditorContext& context);

} // namespace px316t

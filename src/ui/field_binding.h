#pragma once
// The generic binding of check boxes and combo boxes to their bit fields through
// the field tag: showing the field in the control and writing the control back.
#include "table/pager_table.h"

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

} // namespace px316t

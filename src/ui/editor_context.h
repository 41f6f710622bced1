#pragma once
// What the editor units share with the main window: the pager image, the
// operator's message boxes, the entry-error flags, the page background that takes
// the focus to commit a field, and the window's full refresh.
#include "table/pager_table.h"

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QWidget;

namespace px316t {

class MessageBoxes;

struct EntryFlags {
    bool EntryRejected = false;   // a field refused its entry; the next Pager command drops itself
    bool CapcodeInvalid = false;  // the last capcode conversion fell in the reserved gap
};

// The check-box and combo-box arrays of the main window, shared by the units that
// create their elements.
struct ControlArrays {
    std::array<QCheckBox*, 66> chkCtl{};
    std::array<QComboBox*, 23> cboCtl{};
};

struct EditorContext {
    PagerTable& table;
    MessageBoxes& messages;
    EntryFlags& flags;
    ControlArrays& arrays;
    QWidget* picTabBack = nullptr;
    std::function<void()> init_ctl;
    // False in "Write Mode": procedures that enable controls leave them locked.
    std::function<bool()> editingAllowed;
    // The pair lengths the capcode list's selectors show.
    std::function<std::array<bool, 8>()> shownPairLengths;
    // True while the window shows the image: the change handlers that controls
    // run then write nothing, so that showing never alters what arrived.
    bool showing = false;
};

} // namespace px316t

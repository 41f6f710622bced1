#pragma once
// What the panels of the main window share: the pager document they show and
// edit, the operator's message boxes, the control arrays, the page background
// that takes the focus to commit a field, and the window's full refresh.
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QWidget;

namespace px316t {

class MessageBoxes;
class PagerDocument;

// The check-box and combo-box arrays of the main window, shared by the units that
// create their elements.
struct ControlArrays {
    std::array<QCheckBox*, 66> chkCtl{};
    std::array<QComboBox*, 23> cboCtl{};
};

struct EditorContext {
    PagerDocument& document;
    MessageBoxes& messages;
    ControlArrays& arrays;
    QWidget* picTabBack = nullptr;
    std::function<void()> init_ctl;
    // False in "Write Mode": procedures that enable controls leave them locked.
    std::function<bool()> editingAllowed;
};

} // namespace px316t

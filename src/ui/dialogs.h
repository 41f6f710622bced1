#pragma once
// The two seams through which every window talks to the operator in a modal
// way: message boxes (MessageBoxes, shared with the link) and the open/save
// file dialogs. The program installs the Qt
// implementations; tests install a recorder that keeps every message and answers
// from a script, so no test ever blocks on a real dialog.
#include "link/message_boxes.h"

#include <QString>

#include <optional>

namespace px316t {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Both return the chosen path as the dialog gives it, or nothing on Cancel.
    // `filter` is written in the "Description (*.ext)|*.ext" form.
    virtual std::optional<QString> openFile(const QString& folder, const QString& filter) = 0;
    virtual std::optional<QString> saveFile(const QString& folder, const QString& filter) = 0;
};

} // namespace px316t

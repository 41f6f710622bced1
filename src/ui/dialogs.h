#pragma once
// The two seams through which every window talks to the operator in a modal
// way: message boxes and the open/save file dialogs. The program installs the Qt
// implementations; tests install a recorder that keeps every message and answers
// from a script, so no test ever blocks on a real dialog.
#include <QString>

#include <optional>

namespace px316t {

class MessageBoxes {
public:
    enum class Icon { None, Warning };
    virtual ~MessageBoxes() = default;
    // A modal box with one OK button.
    virtual void message(const QString& text, Icon icon = Icon::None) = 0;
    // A modal question with Yes and No buttons; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Both return the chosen path as the dialog gives it, or nothing on Cancel.
    // `filter` is written in the "Description (*.ext)|*.ext" form.
    virtual std::optional<QString> openFile(const QString& folder, const QString& filter) = 0;
    virtual std::optional<QString> saveFile(const QString& folder, const QString& filter) = 0;
};

} // namespace px316t

#pragma once
// The Qt implementations of the message-box and file-dialog seams.
#include "ui/dialogs.h"

class QWidget;

namespace px316t {

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    void message(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    // The window the boxes are modal to, once it exists.
    void setParent(QWidget* parent) { parent_ = parent; }

private:
    QWidget* parent_;
};

class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<QString> openFile(const QString& folder, const QString& filter) override;
    // The program asks its own overwrite question, so the dialog must not.
    std::optional<QString> saveFile(const QString& folder, const QString& filter) override;

private:
    QWidget* parent_;
};

// "Table files (*.tbl)|*.tbl" becomes Qt's "Table files (*.tbl)".
QString toQtFilter(const QString& filter);

} // namespace px316t

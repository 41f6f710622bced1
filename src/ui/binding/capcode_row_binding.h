#pragma once
// The capcode field of one row of the capcode list: it shows the capcode the
// row shows (7 or 10 digits, nothing for a slot the display skips), empties
// when entered, stores every number typed at once in the form its pair shows,
// and refuses a number in the reserved gap when it is left. The rules are the
// pager document's; the binding shows their messages and moves the focus.
#include "link/message_boxes.h"
#include "ui/binding/field_binding.h"

#include <QString>

#include <functional>
#include <string>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace px316t {

class CapcodeRowBinding final : public FieldBinding {
public:
    // `showRows` shows every row again (a refusal puts back what the rows held);
    // `background` takes the focus on Enter.
    CapcodeRowBinding(QLineEdit* box, int row, PagerDocument& document, MessageBoxes& messages, QWidget* background,
                      std::function<void()> showRows);

private:
    std::string shownValue() const override { return document_.shownCapcodeText(row_); }
    void showValue(const std::string& value) override;
    void gotFocus();
    bool keyPress(QKeyEvent* event);
    void lostFocus();
    // The key-release check and store; false when the entry was refused (message shown).
    bool checkTyped();

    QLineEdit* box_;
    int row_;
    MessageBoxes& messages_;
    QWidget* background_;
    std::function<void()> showRows_;
    QString checked_;   // the text the key-release check last passed
    std::string entered_;   // what the row showed when its field was entered
};

} // namespace px316t

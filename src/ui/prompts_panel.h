#pragma once
// The prompt boxes: the 28 menu prompts on the page "Prompts Edit" with their
// alignment and default buttons, and the power-up logo with its own alignment
// buttons in the frame "Prompts". A box shows its record; leaving it stores the
// box's text into the record. The language and logo-font combos belong to the
// frame's option controls; this panel follows their changes.
#include "editor/pager_document.h"
#include "ui/editor_context.h"
#include "editor/prompt_rules.h"

#include <QObject>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace px316t {

class ControlFactory;
class OptionControls;

class PromptsPanel : public QObject {
public:
    // `promptsPage` is the page "Prompts Edit"; the logo goes into the frame
    // "Prompts" of `options`.
    PromptsPanel(EditorContext& context, ControlFactory& factory, QWidget* promptsPage, OptionControls& options);

    // Shows every record in its box.
    void read_prompt();

    // Index 0: the buttons of the page "Prompts Edit", acting on CurrentPrompt;
    // index 1: the buttons of the frame "Prompts", acting on the logo.
    void optLeft_Click(int index);
    void optCenter_Click(int index);
    void optRight_Click(int index);
    void optDefault_Click(int index);

    // The prompt box that last received the focus; the buttons act on it.
    int CurrentPrompt() const { return currentPrompt_; }
    // What the box takes from the keyboard: 20, or 15 for the logo in "Large Font".
    int maxLength(int index) const;
    // Makes the logo box as wide as its font's characters need, at the window's
    // present scale; after the font changes and after every scaling of the window.
    void fitLogoBox();

    std::array<QLineEdit*, PromptRecordCount> txtPrompt{};
    std::array<QLabel*, PromptRecordCount> lblPrompt{};
    std::array<QPushButton*, 2> optLeft{};
    std::array<QPushButton*, 2> optCenter{};
    std::array<QPushButton*, 2> optRight{};
    QPushButton* optDefault = nullptr;
    QLabel* lblAlign = nullptr;
    QLabel* lblLogo = nullptr;   // invisible; measures the logo box's width

private:
    void align(int index, PromptAlignment alignment);
    void showText(int index, const QString& text);
    void cbologo_Click();

    EditorContext& ctx_;
    PagerDocument::Subscription listening_;
    OptionControls& options_;
    int currentPrompt_ = 0;
    LogoFont logoFont_ = LogoFont::Large;
};

} // namespace px316t

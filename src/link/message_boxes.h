#pragma once
// How the link and the programming sequence speak to the operator: a message
// with an OK button and a Yes/No question. The window shows modal message
// boxes; the command line writes the text to stderr; tests record every
// message and answer from a script.
#include <QString>

namespace px316t {

class MessageBoxes {
public:
    enum class Icon { None, Warning };
    virtual ~MessageBoxes() = default;
    // A message the operator acknowledges (a modal box with one OK button).
    virtual void message(const QString& text, Icon icon = Icon::None) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
};

} // namespace px316t

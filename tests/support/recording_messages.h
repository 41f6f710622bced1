#pragma once
// A test stand-in for the message boxes: every message is kept, questions
// answer from a script, and nothing ever blocks.
#include "link/message_boxes.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace px316t::testing {

struct RecordedMessage {
    QString text;
    MessageBoxes::Icon icon;
};

class RecordingMessageBoxes final : public MessageBoxes {
public:
    void message(const QString& text, Icon icon) override { messages.push_back({text, icon}); }
    bool askYesNo(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }
    void clear() { messages.clear(); questions.clear(); }

    std::vector<RecordedMessage> messages;
    QStringList questions;
    std::deque<bool> answers;   // scripted answers to askYesNo; No when empty
};

} // namespace px316t::testing

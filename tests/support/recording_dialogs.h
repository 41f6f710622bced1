#pragma once
// Test stand-ins for the dialog seams: every message is kept, questions and file
// dialogs answer from a script, and nothing ever blocks.
#include "ui/dialogs.h"

#include <QStringList>

#include <deque>
#include <optional>

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

class ScriptedFileDialogs final : public FileDialogs {
public:
    std::optional<QString> openFile(const QString& folder, const QString& filter) override
    {
        lastFolder = folder;
        lastFilter = filter;
        return next();
    }
    std::optional<QString> saveFile(const QString& folder, const QString& filter) override
    {
        lastFolder = folder;
        lastFilter = filter;
        return next();
    }

    std::deque<QString> paths;   // scripted answers; an empty path, or none left, is Cancel
    QString lastFolder;
    QString lastFilter;

private:
    std::optional<QString> next()
    {
        if (paths.empty())
            return std::nullopt;
        const QString p = paths.front();
        paths.pop_front();
        if (p.isEmpty())
            return std::nullopt;
        return p;
    }
};

} // namespace px316t::testing

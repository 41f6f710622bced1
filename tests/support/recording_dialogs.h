#pragma once
// Test stand-ins for the dialog seams: every message is kept, questions and file
// dialogs answer from a script, and nothing ever blocks.
#include "support/recording_messages.h"
#include "ui/dialogs.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace px316t::testing {

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

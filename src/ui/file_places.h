#pragma once
// Where the open and save dialogs start, and which table file the program was
// started with.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace px316t {

class clsRegistryAccess;

// The dialogs start in the program's folder. An installed program's folder
// (/usr/bin, C:\Program Files\PX316T) is not the user's to write in, which is
// found out by making a file there: then they start in the folder of
// the file chosen last, kept in the registry store across runs, and the first
// time in the user's documents folder.
class FilePlaces {
public:
    using WritableTest = std::function<bool(const QString& folder)>;

    // `documentsFolder` empty: the user's documents folder (or home);
    // `writable` empty: whether a file can be made in the folder (one is made
    // and removed again).
    FilePlaces(QString appFolder, QString documentsFolder = {}, WritableTest writable = {});

    QString dialogFolder(clsRegistryAccess* registry) const;
    // Keeps the folder of a file the operator chose in a dialog.
    void remember(clsRegistryAccess* registry, const QString& chosenFile) const;

private:
    QString appFolder_;
    QString documentsFolder_;
    WritableTest writable_;
};

// The table file named on the command line ("px316t FILE.tbl", as a file
// manager or the desktop entry passes it), made absolute; nothing when none is
// named. `arguments` starts with the program's name; options and their values
// are skipped, and "--" ends the options.
std::optional<QString> tableFileArgument(const QStringList& arguments);

} // namespace px316t

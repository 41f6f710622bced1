#include "ui/file_places.h"

#include "registry/cls_registry_access.h"
#include "table/exclusive_file.h"
#include "table/path_text.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace px316t {

namespace {

const std::string kSettingsKey = "HKEY_CURRENT_USER\\Software\\PX316T\\File Places";
const std::string kLastFolder = "LastFolder";

// Tried, not asked: Qt's isWritable() on Windows looks at the read-only
// attribute only, so C:\Program Files passed for a standard user.
bool userMayWriteIn(const QString& folder)
{
    return QFileInfo(folder).isDir() && canCreateFilesIn(pathFromUtf8(folder.toStdString()));
}

bool isFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

} // namespace

FilePlaces::FilePlaces(QString appFolder, QString documentsFolder, WritableTest writable)
    : appFolder_(std::move(appFolder)), documentsFolder_(std::move(documentsFolder)), writable_(std::move(writable))
{
    if (documentsFolder_.isEmpty())
        documentsFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!writable_)
        writable_ = userMayWriteIn;
}

QString FilePlaces::dialogFolder(clsRegistryAccess* registry) const
{
    if (writable_(appFolder_))
        return appFolder_;
    if (registry) {
        const QString last = QString::fromStdString(registry->ReadText(kSettingsKey, kLastFolder, ""));
        if (isFolder(last))
            return last;
    }
    // A documents folder that was never made is no place to start: home then.
    return isFolder(documentsFolder_) ? documentsFolder_ : QDir::homePath();
}

void FilePlaces::remember(clsRegistryAccess* registry, const QString& chosenFile) const
{
    if (!registry || chosenFile.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(QFileInfo(chosenFile).absolutePath());
    registry->WriteText(kSettingsKey, kLastFolder, folder.toStdString());
}

std::optional<QString> tableFileArgument(const QStringList& arguments)
{
    static const QStringList optionsWithValue = {QStringLiteral("--lpt-simulated"), QStringLiteral("--lpt-vcd"),
                                                 QStringLiteral("--production-db"), QStringLiteral("--batch"),
                                                 QStringLiteral("--station")};
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!optionsEnded && arg == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (optionsWithValue.contains(arg))
                ++i;
            continue;
        }
        if (arg.isEmpty())
            continue;
        return QFileInfo(arg).absoluteFilePath();
    }
    return std::nullopt;
}

} // namespace px316t

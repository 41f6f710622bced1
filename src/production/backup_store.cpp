#include "production/backup_store.h"

#include "production/image_summary.h"
#include "production/utc_time.h"
#include "registry/user_folders.h"
#include "table/exclusive_file.h"
#include "table/path_text.h"

#include <string>
#include <system_error>

namespace px316t {

std::filesystem::path productionDataFolder() { return userDataHome() / "px316t"; }

std::filesystem::path defaultBackupFolder() { return productionDataFolder() / "backups"; }

std::string backupFileName(const PagerTable& table, std::chrono::system_clock::time_point when)
{
    const ImageSummary summary = summarizeImage(table);
    const std::string capcode = summary.firstCapcode ? std::to_string(*summary.firstCapcode) : "none";
    return compactUtc(when) + "-" + capcode + ".tbl";
}

Outcome<std::filesystem::path> writeBackup(const std::filesystem::path& folder, const PagerTable& table,
                                          std::chrono::system_clock::time_point when)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return Failure{"The backup folder " + utf8FromPath(folder) + " could not be created: " + ec.message()};

    const std::filesystem::path name = backupFileName(table, when);
    const std::string stem = name.stem().string();
    const std::string extension = name.extension().string();
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const std::filesystem::path path =
            folder / (attempt == 1 ? name.string() : stem + "-" + std::to_string(attempt) + extension);
        std::error_code error;
        switch (createFileExclusively(path, table.data(), table.size(), error)) {
        case ExclusiveCreate::Written:
            return path;
        case ExclusiveCreate::NameTaken:
            continue;
        case ExclusiveCreate::Failed:
            return Failure{"The backup " + utf8FromPath(path) + " could not be written: " + error.message()};
        }
    }
    return Failure{"The backup could not be written: every name for " + name.string() + " is taken."};
}

} // namespace px316t

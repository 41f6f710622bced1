#include "production/backup_store.h"

#include "production/image_summary.h"
#include "production/utc_time.h"
#include "registry/user_folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace px316t {

namespace {

enum class CreateResult { Written, NameTaken, Failed };

// Creates `path` exclusively and writes the bytes; the name of an existing file
// is never opened for writing. A failure after creation removes the new file.
CreateResult createExclusive(const std::filesystem::path& path, const PagerTable& table, std::string& reason)
{
    // "x": fail when the file exists (exclusive create), on every platform.
    std::FILE* file = std::fopen(path.string().c_str(), "wbx");
    if (!file) {
        if (errno == EEXIST)
            return CreateResult::NameTaken;
        reason = std::strerror(errno);
        return CreateResult::Failed;
    }
    bool good = std::fwrite(table.data(), 1, table.size(), file) == table.size() && std::fflush(file) == 0;
#ifndef _WIN32
    // The backup must still be there after a power loss that follows the read.
    good = good && ::fsync(::fileno(file)) == 0;
#endif
    if (!good)
        reason = std::strerror(errno);
    good = std::fclose(file) == 0 && good;
    if (!good) {
        if (reason.empty())
            reason = std::strerror(errno);
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return CreateResult::Failed;
    }
    return CreateResult::Written;
}

} // namespace

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
        return Failure{"The backup folder " + folder.string() + " could not be created: " + ec.message()};

    const std::filesystem::path name = backupFileName(table, when);
    const std::string stem = name.stem().string();
    const std::string extension = name.extension().string();
    std::string reason;
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const std::filesystem::path path =
            folder / (attempt == 1 ? name.string() : stem + "-" + std::to_string(attempt) + extension);
        switch (createExclusive(path, table, reason)) {
        case CreateResult::Written:
            return path;
        case CreateResult::NameTaken:
            continue;
        case CreateResult::Failed:
            return Failure{"The backup " + path.string() + " could not be written: " + reason};
        }
    }
    return Failure{"The backup could not be written: every name for " + name.string() + " is taken."};
}

} // namespace px316t

#pragma once
// Backups of the images read from pagers: one table file per successful read,
// so that a pager brought in for service can be put back as it came.
#include "production/outcome.h"
#include "table/pager_table.h"

#include <chrono>
#include <filesystem>

namespace px316t {

// The folder of the production data: $XDG_DATA_HOME/px316t (on Windows the
// user's application-data folder); the backups and the record live in it.
std::filesystem::path productionDataFolder();
// productionDataFolder() / "backups".
std::filesystem::path defaultBackupFolder();

// "YYYYMMDD-HHMMSSZ-<first capcode>.tbl" (UTC); "none" when slot 0 shows no capcode.
std::string backupFileName(const PagerTable& table, std::chrono::system_clock::time_point when);

// Writes the image into `folder` (created when missing) under backupFileName(),
// never replacing a file: when the name is taken, "-2", "-3", ... is added before
// the extension. Returns the path written, or why it failed; a failed backup
// leaves no partial file behind.
Outcome<std::filesystem::path> writeBackup(const std::filesystem::path& folder, const PagerTable& table,
                                          std::chrono::system_clock::time_point when =
                                              std::chrono::system_clock::now());

} // namespace px316t

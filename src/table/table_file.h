#pragma once
// Table files: the 912 bytes of the pager image, without any header.
#include "table/pager_table.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

namespace px316t {

enum class TableFileError {
    None,
    NotFound,       // no file of that name
    NotAFile,       // a folder or another non-regular file of that name
    CannotOpen,     // exists but cannot be opened (permissions, ...)
    ReadFailed,
    WriteFailed,    // creating, writing, flushing or renaming failed (full disk, ...)
};

// Reads the whole file before anything is used: at most the first 912 bytes are
// returned; a shorter file gives fewer bytes. On error nothing is returned.
std::variant<std::vector<std::uint8_t>, TableFileError> readTableFile(const std::filesystem::path& path);
// The same, also giving the system's reason for a failure when one is known.
std::variant<std::vector<std::uint8_t>, TableFileError> readTableFile(const std::filesystem::path& path,
                                                                      std::error_code& reason);

// Copies the loaded bytes over the table from index 0; the rest keeps its values.
void applyTableFileBytes(PagerTable& table, const std::vector<std::uint8_t>& bytes);

// Writes all 912 bytes. The bytes go to a temporary file beside the target, which
// replaces the target only once it is complete, so a failing save never destroys
// an existing file.
// A symbolic link is written through: the file it names is replaced. A replaced
// file keeps its permission bits.
TableFileError writeTableFile(const std::filesystem::path& path, const PagerTable& table);
TableFileError writeTableFile(const std::filesystem::path& path, const PagerTable& table,
                              std::error_code& reason);

// Whether Windows takes this name for a device (CON, PRN, AUX, NUL, COM0-9,
// LPT0-9, CONIN$, CONOUT$, with any extension, in any folder; or a \\.\ path).
// Windows builds refuse such names as NotAFile before opening anything.
bool isWindowsDeviceName(const std::filesystem::path& path);

// A short sentence for the operator, e.g. "The file could not be written." plus
// the system's reason when one is known (reason.message()). NotFound gives the
// window's own message "This file is not exit!"; None an empty text.
std::string describeTableFileError(TableFileError error, const std::string& systemReason = {});

} // namespace px316t

#pragma once
// Files that must never replace anything: backups, registry scripts, the
// temporary file beside a table file. One place makes them, on every platform:
// O_CREAT | O_EXCL on POSIX, _wopen with _O_CREAT | _O_EXCL | _O_BINARY on
// Windows (whose C runtime ignores the "x" of fopen and overwrites).
#include <cstddef>
#include <filesystem>
#include <system_error>

namespace px316t {

// Opens a new file for writing, in binary mode: a descriptor, or -1 with the
// reason (std::errc::file_exists when the name is taken, also by a link or a
// folder). `mode` gives the POSIX permission bits (less the umask).
int openNewFile(const std::filesystem::path& path, std::error_code& reason, unsigned mode = 0666);

// Writes all bytes to a descriptor; false with the reason on failure.
bool writeAllToFile(int fd, const void* data, std::size_t size, std::error_code& reason);

// Forces a descriptor's bytes to the disk (fsync, or _commit on Windows).
bool syncFile(int fd, std::error_code& reason);

// Closes a descriptor; a failure to close can be the first sign of a full disk.
bool closeFile(int fd, std::error_code& reason);

enum class ExclusiveCreate { Written, NameTaken, Failed };

// Makes `path` with these bytes, flushed to the disk, unless the name is taken.
// A failure after the file was made removes it again, so no half file stays.
ExclusiveCreate createFileExclusively(const std::filesystem::path& path, const void* data, std::size_t size,
                                      std::error_code& reason);

// Whether this user may make files in `folder`, found out by making one and
// removing it again: permission bits, Windows' access lists and read-only
// media all answer alike (Windows' read-only attribute says nothing about a
// folder, and access lists are not what Qt's isWritable() asks by default).
bool canCreateFilesIn(const std::filesystem::path& folder);

} // namespace px316t

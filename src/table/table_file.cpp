#include "table/table_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "table/exclusive_file.h"

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace px316t {
namespace {

namespace fs = std::filesystem;

std::error_code lastError() { return {errno, std::generic_category()}; }

#ifdef _WIN32
using mode_t = unsigned;
int processId() { return ::_getpid(); }
#else
int processId() { return static_cast<int>(::getpid()); }
#endif

// Closes a descriptor exactly once and removes the temporary file unless it was
// renamed into place.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        closeNow();
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove(path_, ignored);
        }
    }

    // Creates a new file beside `target` that no one else has; false on failure.
    bool create(const fs::path& target, mode_t mode, std::error_code& reason)
    {
        static unsigned counter = 0;
        const fs::path folder = target.parent_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            // Built from the wide name on Windows, so every character of it is kept.
            fs::path name = ".";
            name += target.filename();
            name += ".tmp" + std::to_string(processId()) + "-" + std::to_string(counter++);
            const fs::path candidate = folder.empty() ? name : folder / name;
            std::error_code error;
            const int fd = openNewFile(candidate, error, mode);
            if (fd >= 0) {
                fd_ = fd;
                path_ = candidate;
                return true;
            }
            if (error != std::errc::file_exists) {
                reason = error;
                return false;
            }
        }
        reason = std::make_error_code(std::errc::file_exists);
        return false;
    }

    // The umask may have dropped bits of the replaced file's mode; a failure only
    // leaves the umask's choice. Windows files have no such bits.
    void keepMode([[maybe_unused]] mode_t mode)
    {
#ifndef _WIN32
        ::fchmod(fd_, mode);
#endif
    }

    bool writeAll(const std::uint8_t* data, std::size_t size, std::error_code& reason)
    {
        return writeAllToFile(fd_, data, size, reason);
    }

    // Forces the bytes to the disk and closes; a full disk may only show here.
    bool finish(std::error_code& reason)
    {
        if (!syncFile(fd_, reason))
            return false;
        const int fd = fd_;
        fd_ = -1;
        return closeFile(fd, reason);
    }

    bool renameOver(const fs::path& target, std::error_code& reason)
    {
#ifdef _WIN32
        // rename() refuses an existing target on Windows; this replaces it in one
        // step and returns only once the move is on the disk.
        if (!::MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            reason = std::error_code(static_cast<int>(::GetLastError()), std::system_category());
            return false;
        }
#else
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            reason = lastError();
            return false;
        }
#endif
        path_.clear();
        return true;
    }

private:
    void closeNow()
    {
        std::error_code ignored;
        if (fd_ >= 0)
            closeFile(fd_, ignored);
        fd_ = -1;
    }

    int fd_ = -1;
    fs::path path_;
};

// Makes the rename itself durable; a failure here leaves a complete file either
// way, so it is not reported. (On Windows MOVEFILE_WRITE_THROUGH did it.)
void syncFolder([[maybe_unused]] const fs::path& folder)
{
#ifndef _WIN32
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

} // namespace

bool isWindowsDeviceName(const fs::path& path)
{
    // \\.\NAME reaches any device directly.
    const std::wstring whole = path.wstring();
    if (whole.rfind(L"\\\\.\\", 0) == 0 || whole.rfind(L"//./", 0) == 0)
        return true;
    // The name up to its first dot, without trailing spaces, in any letter case.
    std::wstring stem = path.filename().wstring();
    stem = stem.substr(0, stem.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$"
        || stem == L"CONOUT$")
        return true;
    return stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0)
        && ((stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == L'\u00B9' || stem[3] == L'\u00B2'
            || stem[3] == L'\u00B3');
}

std::variant<std::vector<std::uint8_t>, TableFileError> readTableFile(const fs::path& path,
                                                                      std::error_code& reason)
{
    reason.clear();
#ifdef _WIN32
    // Opening a device name opens the device, wherever the folder: the console would wait for typing.
    if (isWindowsDeviceName(path))
        return TableFileError::NotAFile;
#endif
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found || path.empty()) {
        reason = ec;
        return TableFileError::NotFound;
    }
    if (ec) {
        reason = ec;
        return TableFileError::CannotOpen;
    }
    // Checked before opening: opening a pipe or a device could block or never end.
    if (status.type() != fs::file_type::regular)
        return TableFileError::NotAFile;

#ifdef _WIN32
    std::FILE* file = ::_wfopen(path.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (!file) {
        reason = lastError();
        return TableFileError::CannotOpen;
    }
    std::vector<std::uint8_t> bytes(PagerTableSize);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    if (failed)
        reason = lastError();
    std::fclose(file);
    if (failed)
        return TableFileError::ReadFailed;
    bytes.resize(got);
    return bytes;
}

std::variant<std::vector<std::uint8_t>, TableFileError> readTableFile(const fs::path& path)
{
    std::error_code ignored;
    return readTableFile(path, ignored);
}

void applyTableFileBytes(PagerTable& table, const std::vector<std::uint8_t>& bytes)
{
    const std::size_t n = std::min(bytes.size(), table.size());
    for (std::size_t i = 0; i < n; ++i)
        table[i] = bytes[i];
}

TableFileError writeTableFile(const fs::path& path, const PagerTable& table, std::error_code& reason)
{
    reason.clear();
#ifdef _WIN32
    if (isWindowsDeviceName(path))
        return TableFileError::NotAFile;
#endif
    std::error_code ec;
    fs::path target = path;
    // Write through a link to the file it names, rather than replacing the link.
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec)
            target = resolved;
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = !ec && status.type() != fs::file_type::not_found;
    if (exists && status.type() != fs::file_type::regular)
        return TableFileError::NotAFile;
    if (target.filename().empty()) {
        reason = std::make_error_code(std::errc::is_a_directory);
        return TableFileError::NotAFile;
    }

    // A replaced file keeps its permissions; a new one gets the usual 0666 less umask.
    mode_t mode = 0666;
    if (exists)
        mode = static_cast<mode_t>(status.permissions() & fs::perms::all);

    TemporaryFile temporary;
    if (!temporary.create(target, mode, reason))
        return TableFileError::WriteFailed;
    if (exists)
        temporary.keepMode(mode);
    if (!temporary.writeAll(table.data(), table.size(), reason) || !temporary.finish(reason)
        || !temporary.renameOver(target, reason))
        return TableFileError::WriteFailed;
    syncFolder(target.parent_path());
    return TableFileError::None;
}

TableFileError writeTableFile(const fs::path& path, const PagerTable& table)
{
    std::error_code ignored;
    return writeTableFile(path, table, ignored);
}

std::string describeTableFileError(TableFileError error, const std::string& systemReason)
{
    std::string sentence;
    switch (error) {
    case TableFileError::None:
        return {};
    case TableFileError::NotFound:
        return "This file is not exit!";
    case TableFileError::NotAFile:
        sentence = "The file could not be used: that name belongs to a folder or a device.";
        break;
    case TableFileError::CannotOpen:
        sentence = "The file could not be opened.";
        break;
    case TableFileError::ReadFailed:
        sentence = "The file could not be read.";
        break;
    case TableFileError::WriteFailed:
        sentence = "The file could not be written.";
        break;
    }
    if (!systemReason.empty()) {
        std::string reason = systemReason;
        if (reason.front() >= 'a' && reason.front() <= 'z')
            reason.front() = static_cast<char>(reason.front() - 'a' + 'A');
        if (reason.back() != '.')
            reason += '.';
        sentence += " " + reason;
    }
    return sentence;
}

} // namespace px316t

#include "table/exclusive_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace px316t {

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

#ifdef _WIN32
int processId() { return ::_getpid(); }
#else
int processId() { return static_cast<int>(::getpid()); }
#endif

} // namespace

int openNewFile(const std::filesystem::path& path, std::error_code& reason, unsigned mode)
{
#ifdef _WIN32
    (void)mode;
    // The wide name keeps every character of the path; binary mode keeps every 0x0A a 0x0A.
    const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
#endif
    if (fd < 0)
        reason = lastError();
    return fd;
}

bool writeAllToFile(int fd, const void* data, std::size_t size, std::error_code& reason)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
#ifdef _WIN32
        const unsigned piece = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
        const int n = ::_write(fd, bytes, piece);
#else
        const ssize_t n = ::write(fd, bytes, size);
#endif
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = lastError();
            return false;
        }
        if (n == 0) {
            reason = std::make_error_code(std::errc::no_space_on_device);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool syncFile(int fd, std::error_code& reason)
{
#ifdef _WIN32
    const int rc = ::_commit(fd);
#else
    const int rc = ::fsync(fd);
#endif
    if (rc != 0) {
        reason = lastError();
        return false;
    }
    return true;
}

bool closeFile(int fd, std::error_code& reason)
{
#ifdef _WIN32
    const int rc = ::_close(fd);
#else
    const int rc = ::close(fd);
#endif
    if (rc != 0) {
        reason = lastError();
        return false;
    }
    return true;
}

ExclusiveCreate createFileExclusively(const std::filesystem::path& path, const void* data, std::size_t size,
                                      std::error_code& reason)
{
    reason.clear();
    const int fd = openNewFile(path, reason);
    if (fd < 0)
        return reason == std::errc::file_exists ? ExclusiveCreate::NameTaken : ExclusiveCreate::Failed;
    // The file must still be there after a power loss that follows.
    bool good = writeAllToFile(fd, data, size, reason) && syncFile(fd, reason);
    std::error_code closeReason;
    if (!closeFile(fd, closeReason) && good) {
        reason = closeReason;
        good = false;
    }
    if (!good) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return ExclusiveCreate::Failed;
    }
    return ExclusiveCreate::Written;
}

bool canCreateFilesIn(const std::filesystem::path& folder)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::filesystem::path probe =
            folder / (".px316t-probe-" + std::to_string(processId()) + "-" + std::to_string(stamp) + "-" +
                      std::to_string(counter++));
        std::error_code reason;
        const int fd = openNewFile(probe, reason);
        if (fd < 0) {
            if (reason == std::errc::file_exists)
                continue;
            return false;
        }
        closeFile(fd, reason);
        std::error_code ignored;
        std::filesystem::remove(probe, ignored);
        return true;
    }
    return false;
}

} // namespace px316t

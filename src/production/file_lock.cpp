#include "production/file_lock.h"

#include "table/path_text.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace px316t {

Outcome<std::unique_ptr<FileLock>> FileLock::tryLock(const std::filesystem::path& path)
{
#ifdef _WIN32
    // A handle opened without sharing is the lock; the system closes it when the process ends.
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        return Failure{utf8FromPath(path) + (busy ? " is held by another process." : " could not be opened."), busy};
    }
    return std::unique_ptr<FileLock>(new FileLock(path, reinterpret_cast<std::intptr_t>(h)));
#else
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure{path.string() + " could not be opened: " + std::strerror(errno)};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        const bool busy = error == EWOULDBLOCK;
        return Failure{path.string() + (busy ? " is held by another process." : " could not be locked: " +
                                                                                    std::string(std::strerror(error))),
                       busy};
    }
    return std::unique_ptr<FileLock>(new FileLock(path, fd));
#endif
}

void FileLock::release()
{
    if (handle_ == -1)
        return;
#ifdef _WIN32
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
    ::close(static_cast<int>(handle_));
#endif
    handle_ = -1;
}

FileLock::~FileLock() { release(); }

void FileLock::removeAndRelease()
{
    std::error_code ignored;
#ifdef _WIN32
    release();   // an open file cannot be removed there
    std::filesystem::remove(path_, ignored);
#else
    std::filesystem::remove(path_, ignored);
    release();
#endif
}

std::filesystem::path tableFileLockPath(const std::filesystem::path& tableFile)
{
    std::filesystem::path lock = tableFile;
    return lock += ".lock";
}

} // namespace px316t

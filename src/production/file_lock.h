#pragma once
// An exclusive lock on a file that lasts as long as this process holds it:
// the system drops it when the process ends, however it ends. Used as the
// liveness of a station instance and to keep two runs off one table file.
#include "production/outcome.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace px316t {

class FileLock {
public:
    // Creates `path` when missing and locks it without waiting: a failure (with
    // `refused` set) when another process holds it.
    static Outcome<std::unique_ptr<FileLock>> tryLock(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Removes the file while still holding the lock, then releases it.
    void removeAndRelease();
    const std::filesystem::path& path() const { return path_; }

private:
    FileLock(std::filesystem::path path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}
    void release();

    std::filesystem::path path_;
    std::intptr_t handle_;
};

// "FILE.lock" beside a table file.
std::filesystem::path tableFileLockPath(const std::filesystem::path& tableFile);

} // namespace px316t

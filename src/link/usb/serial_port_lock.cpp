#include "link/usb/serial_port_lock.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace px316t {

namespace {

namespace fs = std::filesystem;

// The folders Qt Serial Port looks at, in its order.
constexpr const char* kLockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                         "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};

std::string programOf(long long pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool running(long long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Whether process `pid` has `device` open; true when its descriptors cannot be seen.
bool hasOpen(long long pid, const fs::path& device)
{
    std::error_code ec;
    fs::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd", ec);
    if (ec)
        return ec != std::errc::no_such_file_or_directory;
    for (const auto& fd : fds) {
        std::error_code ignored;
        if (fs::read_symlink(fd.path(), ignored) == device)
            return true;
    }
    return false;
}

} // namespace

fs::path serialLockFilePath(const std::string& device)
{
    std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    for (char& c : name)
        if (c == '/')
            c = '_';
    for (const char* folder : kLockFolders) {
        const fs::path file = fs::path(folder) / ("LCK.." + name);
        std::error_code ec;
        if (::access(folder, R_OK) == 0 && (fs::exists(file, ec) || ::access(folder, W_OK) == 0))
            return file;
    }
    return {};
}

std::optional<PortHolder> clearStaleSerialLock(const std::string& device)
{
    const fs::path file = serialLockFilePath(device);
    if (file.empty())
        return std::nullopt;
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;   // no lock file: nothing to clear
    PortHolder owner;
    {
        std::ifstream in(file);
        std::string pid;
        std::getline(in, pid);
        std::getline(in, owner.program);
        owner.pid = std::strtoll(pid.c_str(), nullptr, 10);
    }
    if (owner.program.empty() && owner.pid > 0)
        owner.program = programOf(owner.pid);
    std::optional<PortHolder> holder;
    struct stat info {};
    const bool fresh = ::fstat(fd, &info) == 0 && info.st_mtime + 2 > ::time(nullptr);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        holder = owner;   // a live Qt program has the port
    } else if (running(owner.pid) && hasOpen(owner.pid, device)) {
        holder = owner;   // a program of another kind, which takes no flock
    } else if (owner.pid <= 0 && fresh) {
        // Being written this very moment by a program that is opening the port.
        holder = owner;
    } else {
        // Removed while the flock is held, as Qt removes a stale lock itself.
        ::unlink(file.c_str());
    }
    ::close(fd);
    return holder;
}

std::optional<PortHolder> processHolding(const std::string& device)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        char* end = nullptr;
        const long long pid = std::strtoll(name.c_str(), &end, 10);
        if (pid <= 0 || *end != '\0' || pid == ::getpid())
            continue;
        std::error_code denied;
        fs::directory_iterator fds(entry.path() / "fd", denied);
        if (denied)
            continue;
        for (const auto& fd : fds) {
            std::error_code ignored;
            if (fs::read_symlink(fd.path(), ignored) == device)
                return PortHolder{pid, programOf(pid)};
        }
    }
    return std::nullopt;
}

std::string holderText(const PortHolder& holder)
{
    return (holder.program.empty() ? std::string() : holder.program + ", ") + "process " + std::to_string(holder.pid);
}

} // namespace px316t

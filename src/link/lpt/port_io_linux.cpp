#include "link/lpt/port_io_linux.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace px316t {

std::map<std::uint16_t, std::filesystem::path> findParportDevices(const std::filesystem::path& procRoot,
                                                                   const std::filesystem::path& devRoot)
{
    std::map<std::uint16_t, std::filesystem::path> devices;
    std::error_code ec;
    const std::filesystem::path folder = procRoot / "dev" / "parport";
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("parport", 0) != 0 || name.size() == 7)
            continue;
        std::ifstream in(entry.path() / "base-addr");
        unsigned long base = 0;
        if (!(in >> base))
            continue;
        for (std::uint16_t address : LptAddresses)
            if (base == address && !devices.count(address))
                devices[address] = devRoot / name;
    }
    return devices;
}

std::string parportOpenProblem(const std::filesystem::path& device, int error)
{
    if (error == EACCES || error == EPERM)
        return "The parallel port " + device.string()
            + " may not be opened by this user. Add the user to the group lp "
              "(as root: adduser USER lp), then log out and in again.";
    if (error == ENOENT || error == ENXIO || error == ENODEV)
        return "The parallel port " + device.string()
            + " is missing. Load the kernel module ppdev (as root: modprobe ppdev).";
    if (error == EBUSY)
        return "The parallel port " + device.string() + " is in use by another program (a printer?).";
    return "The parallel port " + device.string() + " cannot be opened: " + std::strerror(error) + ".";
}

std::string parportSupportProblem(const std::map<std::uint16_t, std::filesystem::path>& devices,
                                  const std::filesystem::path& procRoot)
{
    if (!devices.empty())
        return {};
    std::error_code ec;
    if (!std::filesystem::is_directory(procRoot / "dev" / "parport", ec))
        return "The system has no parallel-port support loaded: the kernel module ppdev is missing "
               "(as root: modprobe ppdev; a PC's own port also needs parport_pc).";
    return "The system has no parallel port at 0x378, 0x278 or 0x3BC.";
}

PpdevPortIo::PpdevPortIo() : PpdevPortIo(findParportDevices(), {})
{
    supportProblem_ = parportSupportProblem(devices_);
}

PpdevPortIo::PpdevPortIo(std::map<std::uint16_t, std::filesystem::path> devices, std::string supportProblem)
    : devices_(std::move(devices)), supportProblem_(std::move(supportProblem))
{
}

PpdevPortIo::~PpdevPortIo() { release(); }

void PpdevPortIo::release()
{
    for (const auto& [base, fd] : open_) {
        if (fd >= 0) {
            ::ioctl(fd, PPRELEASE);
            ::close(fd);
        }
    }
    open_.clear();
}

std::string PpdevPortIo::problem() const
{
    if (devices_.empty())
        return supportProblem_;
    std::string text;
    for (std::uint16_t base : LptAddresses) {
        const auto found = problems_.find(base);
        if (found == problems_.end())
            continue;
        text += (text.empty() ? "" : "\n") + found->second;
    }
    return text;
}

int PpdevPortIo::deviceFor(std::uint16_t base)
{
    if (const auto known = open_.find(base); known != open_.end())
        return known->second;
    const auto device = devices_.find(base);
    if (device == devices_.end()) {
        open_[base] = -1;   // no port at this address
        return -1;
    }
    int fd = ::open(device->second.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        problems_[base] = parportOpenProblem(device->second, errno);
    } else if (::ioctl(fd, PPCLAIM) != 0) {
        problems_[base] = parportOpenProblem(device->second, errno);
        ::close(fd);
        fd = -1;
    } else {
        problems_.erase(base);
    }
    open_[base] = fd;
    return fd;
}

void PpdevPortIo::out(std::uint16_t address, std::uint8_t value)
{
    // Only the data registers are written; everything else is left alone.
    for (std::uint16_t base : LptAddresses) {
        if (address != base)
            continue;
        const int fd = deviceFor(base);
        if (fd >= 0)
            ::ioctl(fd, PPWDATA, &value);
        return;
    }
}

std::uint8_t PpdevPortIo::in(std::uint16_t address)
{
    for (std::uint16_t base : LptAddresses) {
        if (address != base && address != base + 1)
            continue;
        const int fd = deviceFor(base);
        unsigned char value = 0xFF;
        if (fd >= 0 && ::ioctl(fd, address == base ? PPRDATA : PPRSTATUS, &value) != 0)
            value = 0xFF;
        return value;
    }
    return 0xFF;
}

} // namespace px316t

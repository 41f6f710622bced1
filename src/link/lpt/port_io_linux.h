#pragma once
// Port access through the Linux kernel's parallel-port devices (/dev/parportN,
// ppdev). Each of the three port addresses is matched to the device whose base
// address the kernel reports as that address; the device is opened and
// claimed at its first use in an operation and given back at its end.
#include "link/lpt/port_io.h"

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace px316t {

// The device of each port address, read from the kernel's description of its
// parallel ports: `sysRoot`/dev/parport/parportN/base-addr, whose first number
// is the base address. `devRoot` holds the parportN device nodes.
std::map<std::uint16_t, std::filesystem::path> findParportDevices(const std::filesystem::path& procRoot = "/proc/sys",
                                                                   const std::filesystem::path& devRoot = "/dev");

// The text for a device that exists but cannot be opened.
std::string parportOpenProblem(const std::filesystem::path& device, int error);

// Why the system offers none of the three ports when `devices` is empty: no
// parallel-port support loaded at all (no `procRoot`/dev/parport), or no port
// at the three addresses. Empty when `devices` names a port.
std::string parportSupportProblem(const std::map<std::uint16_t, std::filesystem::path>& devices,
                                  const std::filesystem::path& procRoot = "/proc/sys");

class PpdevPortIo final : public PortIo {
public:
    // The machine's ports.
    PpdevPortIo();
    // `supportProblem`: what to say when `devices` is empty.
    explicit PpdevPortIo(std::map<std::uint16_t, std::filesystem::path> devices, std::string supportProblem = {});
    ~PpdevPortIo() override;
    PpdevPortIo(const PpdevPortIo&) = delete;
    PpdevPortIo& operator=(const PpdevPortIo&) = delete;

    void out(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t in(std::uint16_t address) override;
    // Every port's problem, one per line, in the order the probe tries them.
    std::string problem() const override;
    void release() override;

private:
    // The claimed device behind a port's base address; -1 when there is none.
    int deviceFor(std::uint16_t base);

    std::map<std::uint16_t, std::filesystem::path> devices_;
    std::string supportProblem_;
    std::map<std::uint16_t, int> open_;   // base address -> file descriptor (-1: failed)
    std::map<std::uint16_t, std::string> problems_;   // base address -> why it could not be opened
};

} // namespace px316t

#pragma once
// The parallel port's registers as the bus link sees them: write a byte to a
// register, read a register. Backends: the Linux parallel-port device, direct
// port access on Windows, and the simulated board.
#include <cstdint>
#include <string>

namespace px316t {

// Data-register addresses of the three standard printer ports, in the order the
// board probe tries them. The status register of each is at address + 1.
inline constexpr std::uint16_t LptAddresses[3] = {0x378, 0x278, 0x3BC};

// True for the data or status register of one of the three ports: the only
// addresses the link may ever touch.
constexpr bool isLptRegister(std::uint16_t address)
{
    for (std::uint16_t base : LptAddresses)
        if (address == base || address == base + 1)
            return true;
    return false;
}

class PortIo {
public:
    virtual ~PortIo() = default;
    // Writes `value` to the register at `address`; ignored for an address that
    // is not one of the three ports' registers or has no port behind it.
    virtual void out(std::uint16_t address, std::uint8_t value) = 0;
    // The register's value; FF for an address without a port behind it (what
    // an empty ISA address reads).
    virtual std::uint8_t in(std::uint16_t address) = 0;
    // Why the last access to a port could not be made, in words a technician can
    // act on (a device the user may not open, ...); empty when nothing failed.
    virtual std::string problem() const { return {}; }
    // After a write: makes what reached the memory durable where the backend
    // keeps it (the simulated board's memory file). Why that failed, or nothing.
    virtual std::string commit() { return {}; }
    // After each whole operation (a probe, a read, a write, a verify): gives back
    // what the backend claimed for it, so that a printer on the same port can
    // be used between operations. The next access claims again.
    virtual void release() {}
};

} // namespace px316t

#pragma once
// The operating system's list of serial ports, as the registry key
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM gives it: one value per port whose data
// is the port's name, "COMn".
#include "registry/cls_registry_access.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

inline constexpr const char* SerialCommKey = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

struct ListedPort {
    std::string name;                    // the registry value's name (the device)
    std::optional<std::int16_t> number;  // n of "COMn"; none when the data holds no usable number
};

// The port number of an entry: the data from its fourth character on, read as
// a decimal number. Data that is not text, holds anything but digits there, or
// a number outside 1..32767 gives none.
std::optional<std::int16_t> comPortNumber(const RegVariant& data);

// The list in the registry's own enumeration order; a missing or empty key is
// an empty list.
std::vector<ListedPort> readSerialPortList(clsRegistryAccess& registry);

// Number of entries in the list, kept to the range of SerialPortCount.
std::int16_t countSerialPorts(clsRegistryAccess& registry);

} // namespace px316t

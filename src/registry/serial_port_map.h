#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

struct SerialPortEntry {
    std::string valueName;  // the device path, e.g. "/dev/ttyUSB0"
    std::string device;     // what the serial layer opens
    int comNumber;          // n of "COMn"
};

struct SerialPortMapOptions {
    // Replaces $XDG_CONFIG_HOME; empty: the user's configuration folder.
    std::filesystem::path configHome;
    // false: list only the comN links of the link folder, never the machine's own ports.
    bool includeSystemPorts = true;
    // Where the machine's ports are looked for; tests point these at a folder of their own.
    std::filesystem::path sysClassTty = "/sys/class/tty";
    std::filesystem::path devFolder = "/dev";
    std::filesystem::path serialById = "/dev/serial/by-id";
};

// The machine's serial ports numbered as COM ports.
class SerialPortMap {
public:
    SerialPortMap();
    explicit SerialPortMap(SerialPortMapOptions options);

    std::vector<SerialPortEntry> ports();                // in the key's enumeration order
    std::optional<std::string> deviceFor(int comNumber);  // what the serial layer opens for COMn
    static std::filesystem::path linkFolder();            // $XDG_CONFIG_HOME/px316t/ports
    static std::filesystem::path linkFolder(const std::filesystem::path& configHome);

private:
    SerialPortMapOptions m_options;
};

}  // namespace px316t

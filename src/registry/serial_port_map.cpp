#include "registry/serial_port_map.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <system_error>

#include "registry/user_folders.h"

#ifdef _WIN32
#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace px316t {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxComNumber = 255;   // the highest number the command line's --port takes

// "comN" (any letter case, N from 1 to 255 without leading zeros) gives N, anything else 0.
int comNumberOf(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != "com"[i]) return 0;
    }
    if (name[3] == '0') return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number <= kMaxComNumber ? number : 0;
}

}  // namespace

SerialPortMap::SerialPortMap() : SerialPortMap(SerialPortMapOptions{}) {}

SerialPortMap::SerialPortMap(SerialPortMapOptions options) : m_options(std::move(options)) {}

fs::path SerialPortMap::linkFolder() { return linkFolder(userConfigHome()); }

fs::path SerialPortMap::linkFolder(const fs::path& configHome) { return configHome / "px316t" / "ports"; }

std::optional<std::string> SerialPortMap::deviceFor(int comNumber) {
    for (const auto& port : ports()) {
        if (port.comNumber == comNumber) return port.device;
    }
    return std::nullopt;
}

#ifdef _WIN32

// On Windows the serial drivers keep the list; COMn is opened by its name.
std::vector<SerialPortEntry> SerialPortMap::ports() {
    clsRegistryAccess registry(makeWindowsRegistryBackend());
    std::vector<std::string> names;
    std::vector<RegVariant> values;
    std::vector<SerialPortEntry> entries;
    if (registry.EnumValues("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", names, values, REG_TYPE_SZ) <= 0) return entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto* data = std::get_if<std::string>(&values[i]);
        if (!data) continue;
        const int number = comNumberOf(*data);
        if (number > 0) entries.push_back({names[i], "COM" + std::to_string(number), number});
    }
    return entries;
}

#else

namespace {

struct Device {
    std::string path;
    dev_t rdev;
};

// The character device a path leads to, following links; nothing for a dangling link or
// anything that is no character device.
std::optional<Device> characterDevice(const fs::path& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    if (ec) return std::nullopt;
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return std::nullopt;
    return Device{target.string(), info.st_rdev};
}

std::string readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

// Orders "ttyS2" before "ttyS10" so the first numbers go to the first ports.
bool naturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
        const std::string tail = s.substr(digits);
        return std::make_pair(s.substr(0, digits), tail.size() > 9 ? 0L : (tail.empty() ? -1L : std::stol(tail)));
    };
    return split(a) < split(b);
}

struct LinkedPort {
    int number;
    Device device;
};

}  // namespace

// The machine's serial ports: tty devices backed by hardware (a "device" entry in sysfs),
// except the 8250 ports that the kernel reserves without a UART behind them (type 0).
// Each is named by its stable /dev/serial/by-id link when udev made one, so an adapter
// keeps its number when it is plugged into another socket or comes back under another
// ttyUSB number.
static std::vector<std::pair<std::string, Device>> systemPorts(const SerialPortMapOptions& options) {
    std::vector<std::pair<std::string, Device>> found;  // stable path, device
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(options.sysClassTty, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(), naturalLess);

    std::vector<std::pair<fs::path, dev_t>> byId;
    for (const auto& entry : fs::directory_iterator(options.serialById, ec)) {
        if (const auto device = characterDevice(entry.path())) byId.emplace_back(entry.path(), device->rdev);
    }

    for (const auto& name : names) {
        const fs::path sys = options.sysClassTty / name;
        if (!fs::exists(sys / "device", ec)) continue;  // virtual terminals, pseudo-terminals
        if (fs::exists(sys / "type", ec) && readFirstLine(sys / "type") == "0") continue;  // no UART
        const auto device = characterDevice(options.devFolder / name);
        if (!device) continue;
        fs::path stable = options.devFolder / name;
        for (const auto& [link, rdev] : byId) {
            if (rdev == device->rdev) stable = link;
        }
        found.emplace_back(stable.string(), *device);
    }
    return found;
}

std::vector<SerialPortEntry> SerialPortMap::ports() {
    const fs::path folder =
        m_options.configHome.empty() ? linkFolder() : linkFolder(m_options.configHome);

    // Every comN entry, listed or not: a dangling link keeps its number for its device.
    std::set<int> taken;
    std::vector<LinkedPort> linked;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const int number = comNumberOf(entry.path().filename().string());
        if (number == 0) continue;
        taken.insert(number);
        if (const auto device = characterDevice(entry.path())) linked.push_back({number, *device});
    }

    if (m_options.includeSystemPorts) {
        for (const auto& [stable, device] : systemPorts(m_options)) {
            const bool known = std::any_of(linked.begin(), linked.end(),
                                           [rdev = device.rdev](const LinkedPort& p) { return p.device.rdev == rdev; });
            if (known) continue;
            // A new device gets the lowest free number, kept as a link for the next runs.
            // Without a writable folder it still gets a number, for this listing only.
            int number = 1;
            for (; number <= kMaxComNumber; ++number) {
                if (taken.count(number)) continue;
                fs::create_directories(folder, ec);
                std::error_code linkError;
                fs::create_symlink(stable, folder / ("com" + std::to_string(number)), linkError);
                if (!linkError || !fs::exists(fs::symlink_status(folder / ("com" + std::to_string(number)), ec)))
                    break;
                taken.insert(number);  // another process took it meanwhile
            }
            if (number > kMaxComNumber) continue;
            taken.insert(number);
            linked.push_back({number, device});
        }
    }

    std::sort(linked.begin(), linked.end(), [](const LinkedPort& a, const LinkedPort& b) { return a.number < b.number; });
    std::vector<SerialPortEntry> entries;
    std::set<dev_t> listed;
    for (const auto& port : linked) {
        if (!listed.insert(port.device.rdev).second) continue;  // one device, one number: the lowest
        entries.push_back({port.device.path, port.device.path, port.number});
    }
    return entries;
}

#endif

}  // namespace px316t

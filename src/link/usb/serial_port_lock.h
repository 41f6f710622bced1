#pragma once
// The lock file Qt Serial Port keeps for an open device (LCK..<name> in the
// first lock folder it may use, e.g. /var/lock/LCK..ttyUSB0), holding its
// owner's process id and program name. Qt takes such a file for held while a
// process of that id runs under that program name; after a kill, the id can
// go to another copy of the same program (ids are reused within minutes on a
// busy machine), and the port then stays "in use" for as long as that copy
// runs. Qt also holds an flock on the file while the port is open, which the
// kernel drops with the process however it ends: that, and whether the named
// process has the device open at all, is what decides here.
#include <filesystem>
#include <optional>
#include <string>

namespace px316t {

struct PortHolder {
    long long pid = 0;
    std::string program;   // empty when unknown
};

// The lock file Qt Serial Port uses for `device` ("/dev/ttyUSB0").
std::filesystem::path serialLockFilePath(const std::string& device);

// Removes the lock file of `device` when no live process holds the port: no
// flock on it, and its process (if it still runs) does not have the device
// open. The holder when one does.
std::optional<PortHolder> clearStaleSerialLock(const std::string& device);

// A process that has `device` open, other than this one, if any can be seen.
std::optional<PortHolder> processHolding(const std::string& device);

// "px316t-cli, process 1234"
std::string holderText(const PortHolder& holder);

} // namespace px316t

#pragma once
// What the system knows of a serial port besides its COM number: the name the
// Device Manager shows ("USB Serial Port (COM5)"), the USB vendor and product
// id and the serial number, so that a technician recognises the port and two
// identical boards on one station can be told apart. Windows answers through
// SetupAPI, Linux through Qt Serial Port (udev's properties); a port the
// system says nothing about (a pseudo-terminal, a port under wine) has no
// description.
#include "link/usb/serial_port_list.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace px316t {

struct PortDescription {
    std::string friendlyName;   // "USB Serial Port (COM5)", or the device's description
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    std::string serialNumber;

    bool empty() const { return friendlyName.empty() && !vendorId && !productId && serialNumber.empty(); }
};

// "USB Serial Port, 0403:6001, serial A10K3Q": what is known, the friendly
// name without the "(COM5)" it repeats; empty when nothing is known.
std::string portDetailsText(int com, const PortDescription& description);
// "COM5 — USB Serial Port, 0403:6001, serial A10K3Q", or "COM5" alone.
std::string portText(int com, const PortDescription& description);
// "0403:6001"; empty without both ids.
std::string usbIdText(const PortDescription& description);

// The USB vendor and product id named in a device or hardware id
// ("USB\VID_0403&PID_6001\A10K3Q", "FTDIBUS\VID_0403+PID_6001+A10K3QA\0000").
void usbIdsFromDeviceId(std::string_view id, PortDescription& description);

// The serial number of a device, from its instance id and those of its
// parents (the device first): the last part of the first USB device id that
// Windows did not make up itself (a made-up one holds '&'), else the part after
// the last '+' of an FTDI bus id. Empty when none of them has one.
std::string serialFromInstanceIds(const std::vector<std::string>& instanceIds);

// Every listed port the system describes, by COM number.
std::map<int, PortDescription> systemPortDescriptions(const std::vector<ListedPort>& ports);

// The COM numbers of the listed ports whose serial number is `serial`
// (letter case ignored).
std::vector<int> portsWithSerial(const std::map<int, PortDescription>& descriptions, std::string_view serial);

} // namespace px316t

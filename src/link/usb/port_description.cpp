#include "link/usb/port_description.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace px316t {

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upper(x) == upper(y);
           });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view head)
{
    return text.size() >= head.size() && equalIgnoringCase(text.substr(0, head.size()), head);
}

// Four hex digits after `key` ("VID_"), anywhere in `id`.
std::optional<std::uint16_t> hexAfter(std::string_view id, std::string_view key)
{
    for (std::size_t at = 0; at + key.size() + 4 <= id.size(); ++at) {
        if (!equalIgnoringCase(id.substr(at, key.size()), key))
            continue;
        const std::string_view digits = id.substr(at + key.size(), 4);
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
            continue;
        return static_cast<std::uint16_t>(std::stoul(std::string(digits), nullptr, 16));
    }
    return std::nullopt;
}

// The friendly name without the " (COM5)" Windows appends to it.
std::string withoutComSuffix(int com, const std::string& name)
{
    const std::string suffix = " (COM" + std::to_string(com) + ")";
    if (name.size() > suffix.size() && equalIgnoringCase(std::string_view(name).substr(name.size() - suffix.size()), suffix))
        return name.substr(0, name.size() - suffix.size());
    return name;
}

} // namespace

std::string portDetailsText(int com, const PortDescription& d)
{
    std::vector<std::string> parts;
    if (const std::string name = withoutComSuffix(com, d.friendlyName); !name.empty())
        parts.push_back(name);
    if (const std::string ids = usbIdText(d); !ids.empty())
        parts.push_back(ids);
    if (!d.serialNumber.empty())
        parts.push_back("serial " + d.serialNumber);
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string usbIdText(const PortDescription& d)
{
    if (!d.vendorId || !d.productId)
        return {};
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", *d.vendorId, *d.productId);
    return ids;
}

std::string portText(int com, const PortDescription& description)
{
    const std::string details = portDetailsText(com, description);
    return "COM" + std::to_string(com) + (details.empty() ? "" : " \u2014 " + details);
}

void usbIdsFromDeviceId(std::string_view id, PortDescription& description)
{
    const auto vendor = hexAfter(id, "VID_");
    const auto product = hexAfter(id, "PID_");
    if (vendor && product && !description.vendorId) {
        description.vendorId = vendor;
        description.productId = product;
    }
}

std::string serialFromInstanceIds(const std::vector<std::string>& instanceIds)
{
    for (const std::string& id : instanceIds) {
        if (!startsWithIgnoringCase(id, "USB\\"))
            continue;
        const std::size_t last = id.rfind('\\');
        const std::string tail = id.substr(last + 1);
        // A device without a serial number gets an id Windows makes up ("6&2b8f1c3&0&2");
        // an interface of a composite device ("...&MI_00\...") leaves it to its parent.
        if (last > 4 && !tail.empty() && tail.find('&') == std::string::npos &&
            id.substr(0, last).find("&MI_") == std::string::npos)
            return tail;
    }
    for (const std::string& id : instanceIds) {
        if (!startsWithIgnoringCase(id, "FTDIBUS\\"))
            continue;
        const std::size_t plus = id.rfind('+');
        const std::size_t end = id.find('\\', plus == std::string::npos ? 0 : plus);
        if (plus != std::string::npos && end != std::string::npos && end > plus + 1)
            return id.substr(plus + 1, end - plus - 1);
    }
    return {};
}

std::vector<int> portsWithSerial(const std::map<int, PortDescription>& descriptions, std::string_view serial)
{
    std::vector<int> found;
    for (const auto& [com, description] : descriptions)
        if (!serial.empty() && equalIgnoringCase(description.serialNumber, serial))
            found.push_back(com);
    return found;
}

} // namespace px316t

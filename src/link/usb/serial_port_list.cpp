#include "link/usb/serial_port_list.h"

#include <algorithm>
#include <limits>

namespace px316t {

std::optional<std::int16_t> comPortNumber(const RegVariant& data)
{
    const auto* text = std::get_if<std::string>(&data);
    if (!text || text->size() <= 3)
        return std::nullopt;
    int value = 0;
    for (std::size_t i = 3; i < text->size(); ++i) {
        const char c = (*text)[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int16_t>::max())
            return std::nullopt;
    }
    if (value < 1)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

std::vector<ListedPort> readSerialPortList(clsRegistryAccess& registry)
{
    std::vector<std::string> names;
    std::vector<RegVariant> values;
    std::vector<ListedPort> list;
    if (registry.EnumValues(SerialCommKey, names, values, -1) <= 0)
        return list;
    const std::size_t count = std::min(names.size(), values.size());
    list.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        list.push_back({names[i], comPortNumber(values[i])});
    return list;
}

std::int16_t countSerialPorts(clsRegistryAccess& registry)
{
    const std::size_t count = readSerialPortList(registry).size();
    return static_cast<std::int16_t>(
        std::min<std::size_t>(count, std::numeric_limits<std::int16_t>::max()));
}

} // namespace px316t

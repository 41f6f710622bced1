#include "table/field_tag.h"

#include "table/spaces.h"

#include <charconv>

namespace px316t {
namespace {

// The whole text as a number of the given base, nothing when anything is left over.
template <typename T>
std::optional<T> wholeNumber(std::string_view s, int base)
{
    if (s.empty())
        return std::nullopt;
    T value{};
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return std::nullopt;
    return value;
}

// "&H3D": hexadecimal with the "&H" prefix, up to four digits, read as a 16-bit
// signed number the way the tag language does ("&HFFFF" is -1).
std::optional<std::int16_t> hexByteIndex(std::string_view s)
{
    s = trimSpaces(s);
    if (s.size() < 3 || s[0] != '&' || (s[1] != 'H' && s[1] != 'h'))
        return std::nullopt;
    s.remove_prefix(2);
    if (s.size() > 4)
        return std::nullopt;
    for (char c : s) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)   // from_chars would also take a sign
            return std::nullopt;
    }
    const auto value = wholeNumber<std::uint16_t>(s, 16);
    if (!value)
        return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

std::optional<std::uint8_t> decimalByte(std::string_view s)
{
    s = trimSpaces(s);
    if (!s.empty() && s.front() == '+')
        return std::nullopt;
    return wholeNumber<std::uint8_t>(s, 10);
}

} // namespace

std::vector<std::string> splitTag(std::string_view tag)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = tag.find(',', start);
        if (comma == std::string_view::npos) {
            fields.emplace_back(tag.substr(start));
            return fields;
        }
        fields.emplace_back(tag.substr(start, comma - start));
        start = comma + 1;
    }
}

std::optional<FieldTag> parseFieldTag(std::string_view tag)
{
    const std::vector<std::string> fields = splitTag(tag);
    if (fields.size() < 4)
        return std::nullopt;
    const auto byteIndex = hexByteIndex(fields[0]);
    const auto firstBit = decimalByte(fields[1]);
    const auto width = decimalByte(fields[2]);
    if (!byteIndex || !firstBit || !width)
        return std::nullopt;
    return FieldTag{*byteIndex, *firstBit, *width, fields[3]};
}

} // namespace px316t

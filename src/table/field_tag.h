#pragma once
// The descriptor in a control's tag that binds the control to a bit field of the
// pager image: "&H3D,4,1,chkN" = byte 0x3D, first bit 4, width 1, kind "chkN".
// Further comma-separated fields (the geometry suffix) are ignored.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace px316t {

struct FieldTag {
    std::int16_t byteIndex = 0;
    std::uint8_t firstBit = 0;
    std::uint8_t width = 0;
    std::string kind;        // "chk", "chkN", "cbo", "Lng", compared case-sensitively
};

// Splits a tag at every comma (empty fields kept).
std::vector<std::string> splitTag(std::string_view tag);

// The field tag of a control, or nothing when the tag splits into fewer than four
// fields or its first three fields are not numbers ("&H" hexadecimal, then two
// decimals). A control without a field tag is not bound.
std::optional<FieldTag> parseFieldTag(std::string_view tag);

} // namespace px316t

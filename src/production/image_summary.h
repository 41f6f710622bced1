#pragma once
// What the production record keeps of an image: its capcodes as the window
// shows them, its operating frequency and a SHA-256 fingerprint of its bytes.
#include "table/pager_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

struct ImageSummary {
    std::optional<std::int64_t> firstCapcode;   // nothing when slot 0 shows nothing
    std::vector<std::int64_t> enabledCapcodes;  // every enabled capcode the fields show, in slot order
    std::int64_t frequencyHz = 0;               // operating frequency (bytes 0xF4..0xF7 x 100 Hz)
    std::string sha256;                         // 64 lower-case hexadecimal digits of the 912 bytes
};

ImageSummary summarizeImage(const PagerTable& table);

// SHA-256 of the bytes as lower-case hexadecimal; empty when the digest failed.
std::string sha256Hex(const std::uint8_t* data, std::size_t size);

} // namespace px316t

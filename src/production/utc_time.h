#pragma once
// UTC time stamps as the production data writes and reads them.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace px316t {

using SystemTime = std::chrono::system_clock::time_point;

// "2026-12-07T22:42:16.123Z": sorts as the times do.
std::string isoUtc(SystemTime time);
// "20261207-224216Z": for file names.
std::string compactUtc(SystemTime time);
// Reads isoUtc()'s form, and the shorter forms a user types for a date:
// "2026-12-07", "2026-12-07 22:42", "2026-12-07T22:42:16" (all UTC). Nothing for
// anything else, including impossible dates and years outside 1970..2200.
std::optional<SystemTime> parseUtc(std::string_view text);

} // namespace px316t

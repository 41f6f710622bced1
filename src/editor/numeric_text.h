#pragma once
// Reading typed numbers the way the entry fields accept them.
#include <cstdint>
#include <optional>
#include <string_view>

namespace px316t {

// A decimal number with optional surrounding spaces, an optional sign, digits with
// at most one decimal point (at least one digit), and an optional exponent
// ("1.5e3"). Anything else (letters, "&H" prefixes, thousands separators, several
// signs, an empty or all-space text) is not a number. Values beyond the range of
// double are not numbers either.
std::optional<double> parseNumber(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour.
double roundHalfEven(double value);

} // namespace px316t

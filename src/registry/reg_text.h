#pragma once

// Text helpers shared by the registry class and its script import and export.

#include <cstdint>
#include <optional>
#include <string>

namespace px316t::regtext {

std::string trimSpaces(const std::string& s);  // surrounding spaces only, as the class's buffers pad
bool iequals(const std::string& a, const std::string& b);
bool istartsWith(const std::string& s, const std::string& prefix);
int hexDigit(char c);  // -1 for a character that is no hexadecimal digit
std::string rootLongName(std::uint32_t root);  // "" for an unknown root

// Stored bytes of a value turned into what the class hands out; nothing when the type
// differs or the data does not fit the class's buffers.
std::optional<std::string> decodeString(std::uint32_t type, const std::string& data);
std::optional<std::uint32_t> decodeDword(std::uint32_t type, const std::string& data);
std::optional<std::string> decodeBinary(std::uint32_t type, const std::string& data);

}  // namespace px316t::regtext

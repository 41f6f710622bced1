#pragma once
// File names as text: the programs get them as UTF-8 (from Qt's strings and
// the command line's arguments) and show them as UTF-8. On Windows the C++
// library would read a narrow name one byte per character ("Prüfung" became
// "PrÃ¼fung"), so every path is made here: wide on Windows, the bytes
// themselves elsewhere.
#include <filesystem>
#include <string>
#include <string_view>

namespace px316t {

// A path from UTF-8 text. A byte sequence that is not UTF-8 becomes U+FFFD on
// Windows; elsewhere the bytes are the name.
std::filesystem::path pathFromUtf8(std::string_view utf8);

// The path as UTF-8 text, for messages and for libraries that take UTF-8
// names (SQLite). Never throws, unlike path::string() on Windows.
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace px316t

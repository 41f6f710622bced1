#pragma once
// Text without the spaces around it, as the tool reads typed and stored texts:
// only the space character counts, tabs and other blanks stay.
#include <string_view>

namespace px316t {

inline std::string_view trimSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace px316t

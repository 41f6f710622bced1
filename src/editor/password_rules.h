#pragma once
// The pager password: four decimal digits, one per byte, thousands at 0x36F down
// to units at 0x36C. Nothing here checks a password against anything; the pager
// does that with what is stored.
#include "table/memory_map.h"

#include <string>
#include <string_view>

namespace px316t {

constexpr int PasswordFirstByte = map::Password.last();   // thousands
constexpr int PasswordLastByte = map::Password.first;     // units
constexpr int PasswordMaxLength = 4;

enum class PasswordVerdict {
    Empty,        // nothing typed: nothing to do
    Accepted,     // stored
    NotDecimal,   // not a number, or a number written with more than digits
    OutOfRange,   // longer than four characters, above 9999 or negative
};

// The stored digits as decimal text, thousands first, without separators; a byte
// above 9 shows as its own two or three characters.
std::string readPassword(const PagerTable& table);

// Judges a typed entry. A text reads as a number the way the entry fields read
// numbers (surrounding spaces, a sign, a decimal point, an exponent); a number
// is then refused unless it is at most four characters, 0 to 9999, and only
// digits once its surrounding spaces are removed.
PasswordVerdict checkPassword(std::string_view text);

// Judges the entry and, when accepted, stores its digits padded on the left with
// zeros. Nothing changes otherwise.
PasswordVerdict storePassword(PagerTable& table, std::string_view text);

// The operator's message for a refusal; empty for Empty and Accepted.
std::string_view passwordMessage(PasswordVerdict verdict);

} // namespace px316t

#pragma once
// Storage of capcodes in the pager image. Slot k (0..15) holds 4 bytes at
// 0xB0 + 4k: an identifier that is never written, then a 21-bit word (bits 16..20
// in the low five bits of the second byte, bit 6 of that byte = long-word flag).
// A short capcode (1..2031614) is one word; a long capcode (2101249..4291000000)
// is two words in the slots of one pair (2i, 2i+1), both flagged.
#include "table/pager_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace px316t {

constexpr std::uint64_t ShortCapcodeLimit = 2031615;     // largest number offered for a short field
constexpr std::uint64_t LongCapcodeLimit = 4291000000;   // largest number offered for a long field
constexpr std::uint64_t FirstLongCapcode = 2101249;      // 2031615..2101248 is the reserved gap

// Remainder of value / divisor computed in floating point:
// (value / divisor - truncate(value / divisor)) * divisor, rounded half to even.
std::int32_t mymod(double value, double divisor);

// Enable bit of capcode k: bit k mod 8 of byte 0x73 - k div 8.
bool capcodeEnabled(const PagerTable& table, int k);
void setCapcodeEnabled(PagerTable& table, int k, bool enabled);

std::uint32_t readCapcodeWord(const PagerTable& table, int slot);
bool hasLongWordFlag(const PagerTable& table, int slot);
// Stores the word's 21 bits; bits 5 and 7 of the second byte become 0, bit 6 the
// long-word flag. The identifier byte is not touched.
void storeCapcodeWord(PagerTable& table, int slot, std::uint32_t word, bool longWord);

// Words of a long capcode; nothing outside 2101249..4291000000. A fractional
// number is rounded to the nearest integer first (halves to even).
std::optional<std::pair<std::uint32_t, std::uint32_t>> encodeLongCapcode(double value);
// The long capcode of two words, or nothing when they fit none of the three forms.
std::optional<std::uint64_t> decodeLongCapcode(std::uint32_t firstWord, std::uint32_t secondWord);

enum class CapcodeStoreResult {
    Short,         // stored as one short word
    Long,          // stored as two long words in slots k and k+1
    ReservedGap,   // 2031615 <= v < 2101249 (also a fraction that rounds to 2031615):
                   // nothing stored, the caller raises CapcodeInvalid
    TooLarge,      // nothing stored: above 4291000000, or a long number for a slot without a
                   // partner (odd k), or not storable at all (negative, not finite, k outside 0..15)
};

// Stores the number v typed for capcode k. `pairShowsLong`: k is even and the
// pair's length selector shows "Long". Enable rules: a short number in the first
// field of a Long pair disables capcode k+1; a long number carries a set enable
// bit of k over to k+1.
CapcodeStoreResult storeCapcode(PagerTable& table, int k, double v, bool pairShowsLong);

// What storing a number for capcode k may change: the words of slot k and of
// slot k + 1, and the enable bit of capcode k + 1. Kept when a capcode field is
// entered, so that a refused entry puts back the capcode the field held instead
// of a prefix stored on the way.
struct CapcodeEntry {
    int k = -1;
    std::array<std::uint8_t, 8> slotBytes{};   // bytes 0xB0 + 4k .. (those of slot k + 1 when it exists)
    bool nextEnabled = false;
};
CapcodeEntry saveCapcodeEntry(const PagerTable& table, int k);
void restoreCapcodeEntry(PagerTable& table, const CapcodeEntry& entry);

// What a field shows: "0000000" / "0000000000" patterns (at least 7 or 10 digits).
std::string formatCapcode(std::uint64_t value, int minimumDigits);

} // namespace px316t

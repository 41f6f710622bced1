#include "editor/capcode_codec.h"

#include "editor/numeric_text.h"
#include "table/memory_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace px316t {
namespace {

constexpr std::uint8_t LongWordFlag = 0x40;
constexpr std::uint32_t WordMask = 0x1FFFFF;    // 21 bits

// Origins of the three long forms.
constexpr double LowFormOrigin = 2068481.0;     // forms 1 and 2
constexpr double HighFormOrigin = 2068479.0;    // form 3
constexpr double SecondLongForm = 1075843073.0;
constexpr double ThirdLongForm = 3223326721.0;

bool validSlot(int slot) { return slot >= 0 && slot < map::CapcodeSlotCount; }

int slotByte(int slot, int offset) { return map::capcodeSlot(slot).at(offset); }

std::int16_t enableByte(int k) { return static_cast<std::int16_t>(map::capcodeEnable(k).byte); }

} // namespace

std::int32_t mymod(double value, double divisor)
{
    if (!std::isfinite(value) || !std::isfinite(divisor) || divisor == 0.0)
        return 0;
    const double quotient = value / divisor;
    const double remainder = roundHalfEven((quotient - std::trunc(quotient)) * divisor);
    // |remainder| <= |divisor|; only an absurd divisor could leave the 32-bit range.
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (!(remainder >= lo && remainder <= hi))
        return 0;
    return static_cast<std::int32_t>(remainder);
}

bool capcodeEnabled(const PagerTable& table, int k)
{
    if (!validSlot(k))
        return false;
    return GetBits(table, enableByte(k), static_cast<std::uint8_t>(k % 8), 1) != 0;
}

void setCapcodeEnabled(PagerTable& table, int k, bool enabled)
{
    if (!validSlot(k))
        return;
    PutBits(table, enableByte(k), static_cast<std::uint8_t>(k % 8), enabled ? 1 : 0, 1);
}

std::uint32_t readCapcodeWord(const PagerTable& table, int slot)
{
    if (!validSlot(slot))
        return 0;
    return (std::uint32_t(table[slotByte(slot, 1)] & 0x1F) << 16)
        | (std::uint32_t(table[slotByte(slot, 2)]) << 8) | table[slotByte(slot, 3)];
}

bool hasLongWordFlag(const PagerTable& table, int slot)
{
    return validSlot(slot) && (table[slotByte(slot, 1)] & LongWordFlag) != 0;
}

void storeCapcodeWord(PagerTable& table, int slot, std::uint32_t word, bool longWord)
{
    if (!validSlot(slot))
        return;
    table[slotByte(slot, 1)] =
        static_cast<std::uint8_t>(((word >> 16) & 0x1F) | (longWord ? LongWordFlag : 0));
    table[slotByte(slot, 2)] = static_cast<std::uint8_t>(word >> 8);
    table[slotByte(slot, 3)] = static_cast<std::uint8_t>(word);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> encodeLongCapcode(double value)
{
    if (!(value >= double(FirstLongCapcode) && value <= double(LongCapcodeLimit)))
        return std::nullopt;
    // Rounding first keeps every form exact: with a fraction left, mymod could
    // round up to 32768 and give a first word that no decoding rule accepts, and
    // numbers between two forms (1075843072.5) would fit neither.
    const double v = roundHalfEven(value);
    const double origin = v >= ThirdLongForm ? HighFormOrigin : LowFormOrigin;
    const double a = v - origin;
    const auto high = static_cast<std::uint32_t>(std::trunc(a / 32768.0));
    const auto low = static_cast<std::uint32_t>(mymod(a, 32768.0));
    if (v < SecondLongForm)
        return std::pair{low + 1, high ^ 0x1FFFFFu};
    if (v < ThirdLongForm)
        return std::pair{low + 1, high + 0x1D8000u};
    return std::pair{low + 0x1F7FFFu, high + 0x1C8000u};
}

std::optional<std::uint64_t> decodeLongCapcode(std::uint32_t firstWord, std::uint32_t secondWord)
{
    // Words are 21 bits wide; anything wider was not read from a slot.
    if (firstWord > WordMask || secondWord > WordMask)
        return std::nullopt;
    const std::uint64_t w1 = firstWord;
    const std::uint64_t w2 = secondWord;
    if (w1 <= 0x8000 && w2 >= 0x1F7FFF)
        return (w2 ^ 0x1FFFFF) * 32768 + w1 + 2068480;
    if (w1 <= 0x8000 && w2 >= 0x1E0001 && w2 <= 0x1F0000)
        return (w2 - 0x1D8000) * 32768 + w1 + 2068480;
    if (w1 >= 0x1F7FFF && w2 >= 0x1E0001 && w2 <= 0x1E8000)
        return (w2 - 0x1C8000) * 32768 + w1 - 2064383 + 2068479;
    return std::nullopt;
}

CapcodeStoreResult storeCapcode(PagerTable& table, int k, double v, bool pairShowsLong)
{
    if (!validSlot(k) || !std::isfinite(v))
        return CapcodeStoreResult::TooLarge;

    if (v < double(ShortCapcodeLimit)) {
        // Rounded once, before the offset: v + 32768 would lose the part of a
        // fraction that decides the rounding (0.500000000001 would store 0).
        const double w = roundHalfEven(v) + 32768.0;
        // A negative number would give a word below 0x8000, which reads back as a
        // negative capcode: nothing of the kind is stored.
        if (w < 32768.0)
            return CapcodeStoreResult::TooLarge;
        // 2031614.5 < v < 2031615 rounds to 2031615, the first number of the
        // reserved gap: refused like the gap itself rather than stored.
        if (w > double(ShortCapcodeLimit - 1 + 32768))
            return CapcodeStoreResult::ReservedGap;
        storeCapcodeWord(table, k, static_cast<std::uint32_t>(w), false);
        if (pairShowsLong && k % 2 == 0)
            setCapcodeEnabled(table, k + 1, false);
        return CapcodeStoreResult::Short;
    }
    if (v < double(FirstLongCapcode))
        return CapcodeStoreResult::ReservedGap;
    if (v > double(LongCapcodeLimit))
        return CapcodeStoreResult::TooLarge;

    // A long capcode needs the second slot of its pair; an odd slot has none
    // (and slot 16 would be the base frequency).
    if (k % 2 != 0)
        return CapcodeStoreResult::TooLarge;
    const auto words = encodeLongCapcode(v);
    if (!words)
        return CapcodeStoreResult::TooLarge;
    storeCapcodeWord(table, k, words->first, true);
    storeCapcodeWord(table, k + 1, words->second, true);
    if (capcodeEnabled(table, k))
        setCapcodeEnabled(table, k + 1, true);
    return CapcodeStoreResult::Long;
}

namespace {
// Slot bytes of capcode k's entry: its own slot and, when there is one, the next.
int entryByteCount(int k) { return k + 1 < map::CapcodeSlotCount ? 8 : 4; }
} // namespace

CapcodeEntry saveCapcodeEntry(const PagerTable& table, int k)
{
    CapcodeEntry entry;
    if (!validSlot(k))
        return entry;
    entry.k = k;
    std::copy_n(table.begin() + slotByte(k, 0), entryByteCount(k), entry.slotBytes.begin());
    entry.nextEnabled = capcodeEnabled(table, k + 1);
    return entry;
}

void restoreCapcodeEntry(PagerTable& table, const CapcodeEntry& entry)
{
    if (!validSlot(entry.k))
        return;
    std::copy_n(entry.slotBytes.begin(), entryByteCount(entry.k), table.begin() + slotByte(entry.k, 0));
    setCapcodeEnabled(table, entry.k + 1, entry.nextEnabled);
}

std::string formatCapcode(std::uint64_t value, int minimumDigits)
{
    std::string digits = std::to_string(value);
    if (minimumDigits > 0 && digits.size() < static_cast<std::size_t>(minimumDigits))
        digits.insert(0, static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
    return digits;
}

} // namespace px316t

#pragma once
// What the capcode fields show of the image, and the frame mask derived from it.
// Both walk the slots as the display does: a long word or a pair shown as long
// takes two slots, whose second is not shown on its own.
#include "table/pager_table.h"

#include <array>
#include <cstdint>
#include <optional>

namespace px316t {

struct ShownCapcode {
    std::int64_t value;   // negative for a short word below 0x8000 (a damaged image)
    int digits;           // 7 for a short field, 10 for a long one
};

using PairLengths = std::array<bool, 8>;   // true: the pair is shown as long

// The pair lengths as the image gives them: long when slot 2i carries the long-word flag.
PairLengths pairLengthsOf(const PagerTable& table);

// Per slot, the capcode its field shows, or nothing for a slot the display skips.
// A long pair whose words fit no long form shows 0.
std::array<std::optional<ShownCapcode>, 16> shownCapcodes(const PagerTable& table, const PairLengths& pairShowsLong);

// The frame mask of the enabled capcodes in slots 0..last, each taken as the
// display shows it; skipped slots add no frame.
std::uint16_t frameMaskOf(const PagerTable& table, const PairLengths& pairShowsLong);

} // namespace px316t

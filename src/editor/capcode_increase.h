#pragma once
// The production increase of a capcode: after every verified write the first
// capcode goes up by one, in the form its row shows it (7 digits for a short
// pair, 10 for a long pair), and the frame mask follows the new number before
// the next pager is written.
#include "table/pager_table.h"

#include <array>
#include <cstdint>
#include <string>

namespace px316t {

// The text capcode row k shows for the image: a slot with the long-word flag
// shows its pair's long capcode (0 when the words fit no long form) in 10
// digits; any other slot word - 32768 (which may be negative) in 7 digits, or
// 10 when `pairShowsLong` (k even and its pair's length selector is "Long").
std::string shownCapcodeText(const PagerTable& table, int k, bool pairShowsLong);

// Whether each of the eight pairs is long, as the image's long-word flags say.
std::array<bool, 8> pairsLongInImage(const PagerTable& table);

// Rebuilds the frame mask from the capcodes the rows show: every enabled capcode
// up to the last supported slot adds its frame, except the hidden second slot of
// a long pair; enable bits of unsupported slots are cleared.
void refreshFrameMask(PagerTable& table, const std::array<bool, 8>& pairsLong);

struct CapcodeIncrease {
    bool raised = false;
    // Not raised: the limit the refusal names. Raised: the new capcode.
    std::uint64_t value = 0;
};

// Raises capcode k (0 or another even row) from the text its row shows. The
// limit is 4291000000 for a long pair and 2031615 for a short one; a text that
// is not a whole number, a capcode at the limit, and a step into the reserved
// gap 2031615..2101248 are refused and change nothing. On success the new number
// is stored and the frame mask rebuilt.
CapcodeIncrease increaseCapcode(PagerTable& table, int k, const std::string& shownText, bool pairShowsLong);

} // namespace px316t

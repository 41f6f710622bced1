#include "editor/refresh_rules.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "editor/capcode_layout.h"
#include "editor/field_catalog.h"
#include "editor/frame_mask.h"
#include "table/memory_map.h"

namespace px316t {

void mirrorLongPairSettings(PagerTable& table)
{
    for (int k = 0; k < 16; k += 2) {
        if (!hasLongWordFlag(table, k))
            continue;
        for (const auto bitOf : {map::capcodeType, map::capcodePriority})
            map::write(table, bitOf(k + 1), map::read(table, bitOf(k)));
        if (capcodeEnabled(table, k))
            setCapcodeEnabled(table, k + 1, true);
        // Capcode 1 has no alert-length selector of its own to take the length from.
        const std::uint8_t length = table[map::mailDropAlertLength(k)];
        if (k > 0 && isMailDropAlertLength(length))
            table[map::mailDropAlertLength(k + 1)] = length;
    }
}

void applyRefreshRules(PagerTable& table)
{
    mirrorLongPairSettings(table);
    const PairLengths lengths = pairLengthsOf(table);
    int visibleRows = 16;
    for (const bool isLong : lengths)
        visibleRows -= isLong ? 1 : 0;
    applyCapcodeLayoutBits(table, visibleRows);
    for (int k = lastCapcode(table) + 1; k < 16; ++k)
        setCapcodeEnabled(table, k, false);
    writeFrameMask(table, frameMaskOf(table, lengths));
}

} // namespace px316t

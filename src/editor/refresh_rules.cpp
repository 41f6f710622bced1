#include "editor/refresh_rules.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "editor/capcode_layout.h"
#include "editor/frame_mask.h"

namespace px316t {

void mirrorLongPairSettings(PagerTable& table)
{
    for (int k = 0; k < 16; k += 2) {
        if (!hasLongWordFlag(table, k))
            continue;
        const auto bit = static_cast<std::uint8_t>(k % 8);
        for (const int byte : {0x38 - k / 8, 0x34 + k / 8})   // type, priority
            PutBits(table, static_cast<std::int16_t>(byte), static_cast<std::uint8_t>(bit + 1),
                    GetBits(table, static_cast<std::int16_t>(byte), bit, 1), 1);
        if (capcodeEnabled(table, k))
            setCapcodeEnabled(table, k + 1, true);
        // Capcode 1 has no alert-length selector of its own to take the length from.
        const std::uint8_t length = table[0x373 + k];
        if (k > 0 && (length == 0 || length == 1 || length == 16))
            table[0x374 + k] = length;
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

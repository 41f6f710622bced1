#include "editor/capcode_display.h"

#include "editor/capcode_codec.h"
#include "editor/frame_mask.h"

namespace px316t {

PairLengths pairLengthsOf(const PagerTable& table)
{
    PairLengths lengths{};
    for (int i = 0; i < 8; ++i)
        lengths[i] = hasLongWordFlag(table, 2 * i);
    return lengths;
}

std::array<std::optional<ShownCapcode>, 16> shownCapcodes(const PagerTable& table, const PairLengths& pairShowsLong)
{
    std::array<std::optional<ShownCapcode>, 16> shown{};
    int k = 0;
    while (k < 16) {
        const std::uint32_t w1 = readCapcodeWord(table, k);
        if (hasLongWordFlag(table, k)) {
            std::uint64_t value = 0;
            if (k + 1 < 16)
                value = decodeLongCapcode(w1, readCapcodeWord(table, k + 1)).value_or(0);
            shown[k] = ShownCapcode{static_cast<std::int64_t>(value), 10};
            k += 2;
            continue;
        }
        const bool showLong = k % 2 == 0 && pairShowsLong[k / 2];
        shown[k] = ShownCapcode{static_cast<std::int64_t>(w1) - 32768, showLong ? 10 : 7};
        k += showLong ? 2 : 1;
    }
    return shown;
}

std::uint16_t frameMaskOf(const PagerTable& table, const PairLengths& pairShowsLong)
{
    const auto shown = shownCapcodes(table, pairShowsLong);
    const int last = lastCapcode(table);
    std::uint16_t mask = 0;
    for (int k = 0; k <= last && k < 16; ++k) {
        if (!shown[k] || !capcodeEnabled(table, k))
            continue;
        const int f = frameOfCapcode(static_cast<double>(shown[k]->value));
        if (f >= 0 && f < 16)
            mask |= static_cast<std::uint16_t>(1u << f);
    }
    return mask;
}

} // namespace px316t

#include "editor/capcode_increase.h"

#include "editor/capcode_codec.h"
#include "editor/frame_mask.h"
#include "editor/numeric_text.h"

#include <cctype>

namespace px316t {

std::string shownCapcodeText(const PagerTable& table, int k, bool pairShowsLong)
{
    if (k < 0 || k > 15)
        return {};
    const std::uint32_t w1 = readCapcodeWord(table, k);
    if (hasLongWordFlag(table, k)) {
        std::uint64_t value = 0;
        if (k + 1 <= 15)
            value = decodeLongCapcode(w1, readCapcodeWord(table, k + 1)).value_or(0);
        return formatCapcode(value, 10);
    }
    const std::int64_t value = static_cast<std::int64_t>(w1) - 32768;
    const int digits = pairShowsLong && k % 2 == 0 ? 10 : 7;
    if (value < 0)
        return '-' + formatCapcode(static_cast<std::uint64_t>(-value), digits);
    return formatCapcode(static_cast<std::uint64_t>(value), digits);
}

std::array<bool, 8> pairsLongInImage(const PagerTable& table)
{
    std::array<bool, 8> pairs{};
    for (int p = 0; p < 8; ++p)
        pairs[p] = hasLongWordFlag(table, 2 * p);
    return pairs;
}

void refreshFrameMask(PagerTable& table, const std::array<bool, 8>& pairsLong)
{
    const int last = lastCapcode(table);
    std::uint16_t mask = 0;
    for (int k = 0; k < 16; ++k) {
        if (k > last) {
            setCapcodeEnabled(table, k, false);
            continue;
        }
        const bool hiddenSecondSlot = k % 2 == 1 && pairsLong[k / 2];
        if (!capcodeEnabled(table, k) || hiddenSecondSlot)
            continue;
        // The second slot of a long pair shown short keeps the text of its own word.
        if (const auto x = parseNumber(shownCapcodeText(table, k, pairsLong[k / 2]))) {
            const int f = frameOfCapcode(*x);
            if (f >= 0 && f < 16)
                mask |= static_cast<std::uint16_t>(1u << f);
        }
    }
    writeFrameMask(table, mask);
}

namespace {

// The whole number of a row's text (surrounding spaces allowed), as wide as ten
// digits need; nothing for signs, fractions or other characters.
std::optional<std::uint64_t> wholeNumber(const std::string& text)
{
    std::size_t a = 0;
    std::size_t b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    if (a == b || b - a > 19)
        return std::nullopt;
    std::uint64_t v = 0;
    for (std::size_t i = a; i < b; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return v;
}

} // namespace

CapcodeIncrease increaseCapcode(PagerTable& table, int k, const std::string& shownText, bool pairShowsLong)
{
    const std::uint64_t limit = pairShowsLong ? LongCapcodeLimit : ShortCapcodeLimit;
    const auto v = wholeNumber(shownText);
    // A step into the reserved gap cannot be stored; it is refused like the
    // limit itself, so that the next pager never gets the same capcode again.
    const bool intoGap = v && *v + 1 >= ShortCapcodeLimit && *v + 1 < FirstLongCapcode;
    if (!v || *v >= limit || intoGap)
        return {false, intoGap ? ShortCapcodeLimit : limit};
    const std::uint64_t next = *v + 1;
    const CapcodeStoreResult stored = storeCapcode(table, k, static_cast<double>(next), pairShowsLong && k % 2 == 0);
    if (stored != CapcodeStoreResult::Short && stored != CapcodeStoreResult::Long)
        return {false, limit};
    std::array<bool, 8> pairs = pairsLongInImage(table);
    if (k >= 0 && k < 16 && k % 2 == 0)
        pairs[k / 2] = pairShowsLong;
    refreshFrameMask(table, pairs);
    return {true, next};
}

} // namespace px316t

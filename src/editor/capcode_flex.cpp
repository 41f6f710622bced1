#include "editor/capcode_flex.h"

#include "editor/flex_address.h"
#include "editor/frame_mask.h"
#include "editor/messages.h"
#include "table/memory_map.h"

#include <algorithm>

namespace px316t {
namespace {

// The capcode row k shows, when it shows a number at all.
std::optional<ShownCapcode> shownAt(const PagerDocument& document, int k)
{
    if (k < 0 || k >= 16)
        return std::nullopt;
    const auto shown = document.shownCapcodes()[static_cast<std::size_t>(k)];
    if (!shown || shown->value < 0)
        return std::nullopt;
    return shown;
}

} // namespace

std::optional<std::string> flexDescription(const PagerDocument& document, int k)
{
    const auto shown = shownAt(document, k);
    if (!shown || k > document.lastUsableSlot() || !capcodeEnabled(document.image(), k))
        return std::nullopt;
    const auto capcode = static_cast<std::uint64_t>(shown->value);
    const FlexPlace place = flexPlaceOf(capcode);
    return capcodeLabelForm(capcode, shown->digits == 10) + " frame " + std::to_string(place.frame) + " phase " +
           std::to_string(place.phase);
}

std::optional<std::string> specialAddressWarning(const PagerDocument& document, int k)
{
    const auto shown = shownAt(document, k);
    if (!shown || shown->digits != 7)
        return std::nullopt;
    return flexSpecialAddressWarning(static_cast<std::uint64_t>(shown->value));
}

std::vector<std::string> newSpecialAddressWarnings(const PagerDocument& before, const PagerDocument& after)
{
    std::vector<std::string> warnings;
    for (int k = 0; k < 16; ++k) {
        if (before.shownCapcodeText(k) == after.shownCapcodeText(k))
            continue;
        const auto warning = specialAddressWarning(after, k);
        if (warning && std::find(warnings.begin(), warnings.end(), *warning) == warnings.end())
            warnings.push_back(*warning);
    }
    return warnings;
}

std::optional<std::string> frameMaskMismatch(const PagerTable& image)
{
    const std::uint16_t wanted = PagerDocument(image).frameMask();
    for (int j = 0; j < map::FrameRecordCount; ++j) {
        const auto stored = static_cast<std::uint16_t>((image[map::FrameMaskHigh + map::FrameRecordSize * j] << 8) |
                                                       image[map::FrameMaskLow + map::FrameRecordSize * j]);
        if (stored != wanted)
            return messages::frameMaskMismatch(stored, wanted);
    }
    return std::nullopt;
}

} // namespace px316t

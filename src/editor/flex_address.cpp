#include "editor/flex_address.h"

#include <cstdio>

namespace px316t {

FlexPlace flexPlaceOf(std::uint64_t capcode)
{
    return FlexPlace{static_cast<int>((capcode / 16) % 128), static_cast<int>((capcode / 4) % 4)};
}

std::string capcodeLabelForm(std::uint64_t capcode, bool longCapcode)
{
    char text[24];
    if (longCapcode)
        std::snprintf(text, sizeof text, "%010llu", static_cast<unsigned long long>(capcode));
    else
        std::snprintf(text, sizeof text, "A%07llu", static_cast<unsigned long long>(capcode));
    return text;
}

std::optional<std::string> flexSpecialAddressWarning(std::uint64_t capcode)
{
    if (capcode < FlexSpecialFirst || capcode > FlexSpecialLast)
        return std::nullopt;
    // What decoders make of the address, narrowest range first.
    std::string use;
    if (capcode >= 2029568 && capcode <= 2029583)
        use = "a temporary group address";
    else if (capcode >= 2029584 && capcode <= 2029599)
        use = "an operator-messaging address";
    else if (capcode <= 1998848)
        use = "half of a long address";
    else
        use = "an address FLEX reserves";
    return "Capcode " + std::to_string(capcode) + " is " + use + " in FLEX (addresses 1933313 to 2031614 are kept "
           "for the protocol): a pager given it may never ring for its own pages.";
}

} // namespace px316t

#pragma once
// What the operator is told about a pager's capcodes from the FLEX side: where
// each enabled capcode sits in the cycle and how a label writes it, which
// capcodes are addresses FLEX keeps for itself, and whether an image's stored
// frame mask is the one its capcodes give. Nothing here changes the image.
#include "editor/pager_document.h"
#include "table/pager_table.h"

#include <optional>
#include <string>
#include <vector>

namespace px316t {

// "A1000100 frame 62 phase 1" for row k when it shows an enabled capcode in a
// slot the pager uses; nothing for any other row.
std::optional<std::string> flexDescription(const PagerDocument& document, int k);

// The warning for the short capcode row k shows when FLEX keeps that address;
// nothing otherwise (a long capcode is not one of these addresses).
std::optional<std::string> specialAddressWarning(const PagerDocument& document, int k);

// The warnings for the capcodes `after` shows that `before` did not show in
// the same row: each newly entered reserved address once.
std::vector<std::string> newSpecialAddressWarnings(const PagerDocument& before, const PagerDocument& after);

// Whether the frame mask stored in `image` (with its copies) is the one its
// capcodes give by the frame-mask rule, as the image would arrive; the line
// that says it is not, or nothing when it is.
std::optional<std::string> frameMaskMismatch(const PagerTable& image);

} // namespace px316t

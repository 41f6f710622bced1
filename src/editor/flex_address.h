#pragma once
// Where a capcode sits in the FLEX air protocol, as paging decoder data sheets
// give it for the standard type A address at battery cycle 4, and the form in
// which carriers write a capcode on a label. None of this changes what the
// editor accepts or stores; it informs and warns.
#include <cstdint>
#include <optional>
#include <string>

namespace px316t {

struct FlexPlace {
    int frame = 0;   // 0..127: the frame of the cycle the pager wakes in
    int phase = 0;   // 0..3
};

// frame = (capcode div 16) mod 128, phase = (capcode div 4) mod 4.
FlexPlace flexPlaceOf(std::uint64_t capcode);

// "A1234567" for a short capcode (the type letter and seven digits);
// a long capcode keeps its ten digits ("2101249" -> "0002101249").
std::string capcodeLabelForm(std::uint64_t capcode, bool longCapcode);

// The addresses FLEX keeps for itself that a short capcode can still hold:
// 1,933,313..2,031,614. Nothing for any other capcode; otherwise one sentence
// for the operator saying what the address is used for and what that means
// for a pager given it.
std::optional<std::string> flexSpecialAddressWarning(std::uint64_t capcode);

inline constexpr std::uint64_t FlexSpecialFirst = 1933313;
inline constexpr std::uint64_t FlexSpecialLast = 2031614;

} // namespace px316t

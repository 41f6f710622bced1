#pragma once
// The frame mask: one bit per frame 0..15 that an enabled capcode falls in, kept
// in bytes 0x92 (frames 8..15) and 0x93 (frames 0..7) and copied into the seven
// other frame records.
#include "table/pager_table.h"

#include <cstdint>

namespace px316t {

// Frame of a capcode number: (truncate(x / 16) mod 128) mod 16.
int frameOfCapcode(double capcode);

// Index of the last capcode slot the pager supports (byte 0x3E bits 4..7).
int lastCapcode(const PagerTable& table);

// Writes the mask to 0x92/0x93 and to bytes 2..3 of frame records 1..7.
void writeFrameMask(PagerTable& table, std::uint16_t mask);
std::uint16_t readFrameMask(const PagerTable& table);

} // namespace px316t

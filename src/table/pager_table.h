#pragma once
// The pager image: one byte per byte of the pager's 912-byte configuration
// memory, and the bit-field accessors through which settings read and write it.
#include <array>
#include <cstdint>

namespace px316t {

constexpr int PagerTableSize = 912;          // indexes 0x000 .. 0x38F
constexpr int PagerTableLast = PagerTableSize - 1;

using PagerTable = std::array<std::uint8_t, PagerTableSize>;

// Returns the field of `width` bits that starts at `firstBit` of table[byteIndex].
// An index outside the table, a first bit above 7 or a width of 0 reads as 0;
// a field reaching past bit 7 is cut at bit 7.
std::uint8_t GetBits(const PagerTable& table, std::int16_t byteIndex, std::uint8_t firstBit,
                     std::uint8_t width);

// Stores `value` into the field of `width` bits that starts at `firstBit` of
// table[byteIndex] (value before width, as every caller writes it). Only the
// field's bits change: a value wider than the field is cut to the field's width,
// and an index outside the table or a first bit above 7 changes nothing.
void PutBits(PagerTable& table, std::int16_t byteIndex, std::uint8_t firstBit, std::uint8_t value,
             std::uint8_t width);

// Multi-byte values are big-endian, most significant byte at the lowest index.
std::uint32_t readBigEndian32(const PagerTable& table, int index);
void writeBigEndian32(PagerTable& table, int index, std::uint32_t value);

} // namespace px316t

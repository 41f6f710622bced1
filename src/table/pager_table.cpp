#include "table/pager_table.h"

namespace px316t {
namespace {

bool insideTable(int index) { return index >= 0 && index < PagerTableSize; }

// Mask of a field, kept to the 8 bits of one byte.
std::uint8_t fieldMask(std::uint8_t firstBit, std::uint8_t width)
{
    const unsigned ones = width >= 8 ? 0xFFu : ((1u << width) - 1u);
    return static_cast<std::uint8_t>((ones << firstBit) & 0xFFu);
}

} // namespace

std::uint8_t GetBits(const PagerTable& table, std::int16_t byteIndex, std::uint8_t firstBit,
                     std::uint8_t width)
{
    if (!insideTable(byteIndex) || firstBit > 7)
        return 0;
    const unsigned ones = width >= 8 ? 0xFFu : ((1u << width) - 1u);
    return static_cast<std::uint8_t>((table[byteIndex] >> firstBit) & ones);
}

void PutBits(PagerTable& table, std::int16_t byteIndex, std::uint8_t firstBit, std::uint8_t value,
             std::uint8_t width)
{
    if (!insideTable(byteIndex) || firstBit > 7)
        return;
    const std::uint8_t field = fieldMask(firstBit, width);
    const std::uint8_t keep = field ^ 0xFFu;
    const std::uint8_t shifted = static_cast<std::uint8_t>((unsigned(value) << firstBit) & field);
    table[byteIndex] = static_cast<std::uint8_t>((table[byteIndex] & keep) | shifted);
}

std::uint32_t readBigEndian32(const PagerTable& table, int index)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | (insideTable(index + i) ? table[index + i] : 0u);
    return v;
}

void writeBigEndian32(PagerTable& table, int index, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        if (insideTable(index + i))
            table[index + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

} // namespace px316t

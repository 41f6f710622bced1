#include "editor/frame_mask.h"

#include "table/memory_map.h"

#include <cmath>

namespace px316t {
int frameOfCapcode(double capcode)
{
    if (!std::isfinite(capcode))
        return 0;
    // The frame is the capcode's bits 4..7 (mod 128 then mod 16 keeps the same
    // bits). Taken as a non-negative remainder, so that a negative number shown
    // for a damaged image still names a frame 0..15 rather than a bit outside
    // the mask.
    const double group = std::trunc(capcode / 16.0);
    double frame = std::fmod(std::fmod(group, 128.0), 16.0);
    if (frame < 0)
        frame += 16.0;
    return static_cast<int>(frame);
}

int lastCapcode(const PagerTable& table) { return map::read(table, map::LastCapcodeSlot); }

void writeFrameMask(PagerTable& table, std::uint16_t mask)
{
    for (int j = 0; j < map::FrameRecordCount; ++j) {
        table[map::FrameMaskHigh + map::FrameRecordSize * j] = static_cast<std::uint8_t>(mask >> 8);
        table[map::FrameMaskLow + map::FrameRecordSize * j] = static_cast<std::uint8_t>(mask);
    }
}

std::uint16_t readFrameMask(const PagerTable& table)
{
    return static_cast<std::uint16_t>((table[map::FrameMaskHigh] << 8) | table[map::FrameMaskLow]);
}

} // namespace px316t

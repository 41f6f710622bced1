#include "editor/slider_math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace px316t::slider {

long long roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5)
        return static_cast<long long>(down) + 1;
    if (fraction < 0.5)
        return static_cast<long long>(down);
    const auto even = static_cast<long long>(down);
    return even % 2 == 0 ? even : even + 1;
}

int mirrored(int min, int max, int v)
{
    const std::int64_t result = std::int64_t{max} + min - v;
    return static_cast<int>(std::clamp<std::int64_t>(result, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

std::optional<double> thumbOffset(double trackLength, int sliderWidth, int min, int max, int position)
{
    if (max == min)
        return std::nullopt;
    return (trackLength - sliderWidth) / (static_cast<double>(max) - min) * (static_cast<double>(position) - min);
}

double pressedThumbOffset(double pointer, int sliderWidth, double trackLength)
{
    long long p = roundHalfEven(pointer - sliderWidth / 2.0);
    p -= p % 15;   // towards zero, as the integer division does
    double offset = static_cast<double>(p);
    const double last = trackLength - sliderWidth;
    if (offset < 0)
        offset = 0;
    else if (offset > last)
        offset = last;
    return offset;
}

std::optional<int> positionAt(double offset, double trackLength, double thumbLength, int min, int max)
{
    const double travel = trackLength - thumbLength;
    if (max == min || !(travel > 0))
        return std::nullopt;
    const double perStep = travel / (static_cast<double>(max) - min);
    return static_cast<int>(min + roundHalfEven(offset / perStep));
}

} // namespace px316t::slider

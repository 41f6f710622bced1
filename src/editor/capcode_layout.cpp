#include "editor/capcode_layout.h"

#include "editor/numeric_text.h"
#include "table/memory_map.h"

#include <algorithm>
#include <cmath>

namespace px316t {

CapcodeScrollRange capcodeScrollRange(int visibleRows, int pitch, double viewportHeight)
{
    const double content = double(visibleRows) * pitch;
    const double spare = 16.0 * pitch - viewportHeight;
    CapcodeScrollRange range{};
    range.maximum = static_cast<int>(std::trunc(content - viewportHeight)) - 10;
    range.smallStep = static_cast<int>(roundHalfEven(spare / 20.0));
    range.largeStep = static_cast<int>(roundHalfEven(spare / 10.0));
    // A window scaled so small that the rows fit the viewport would give a
    // negative maximum (the list would scroll downwards out of place), and a
    // viewport taller than sixteen rows negative steps.
    range.maximum = std::max(range.maximum, 0);
    range.smallStep = std::max(range.smallStep, 1);
    range.largeStep = std::max(range.largeStep, 1);
    return range;
}

int capcodeRowTop(int visibleOrdinal, int pitch, int rowOneTop)
{
    return (visibleOrdinal - 1) * pitch + rowOneTop;
}

int capcodeScrollToShow(int value, int maximum, int viewportHeight, int bandTop, int bandBottom)
{
    int shown = value;
    if (bandBottom > shown + viewportHeight)
        shown = bandBottom - viewportHeight;
    if (bandTop < shown)
        shown = bandTop;
    return std::clamp(shown, 0, std::max(maximum, 0));
}

bool applyCapcodeLayoutBits(PagerTable& table, int visibleRows)
{
    if (manualWriteSelectable(visibleRows)) {
        map::write(table, map::AllPairsLong, visibleRows == 8 ? 1 : 0);
        map::write(table, map::ManualWriteEnable, 0);
        return true;
    }
    map::write(table, map::ManualWriteEnable, 1);   // manual write off while pairs are mixed
    return false;
}

} // namespace px316t

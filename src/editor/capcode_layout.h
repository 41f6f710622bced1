#pragma once
// Arithmetic of the capcode list layout (all lengths in twips).
#include "table/pager_table.h"

namespace px316t {

struct CapcodeScrollRange {
    int maximum;
    int smallStep;
    int largeStep;
};

// visibleRows rows of `pitch` in a viewport of `viewportHeight`:
// maximum = truncate(rows * pitch - viewportHeight) - 10, steps = (16 * pitch -
// viewportHeight) / 20 and / 10, rounded half to even. The maximum never goes
// below 0 and the steps never below 1 (a window scaled very small or very tall).
CapcodeScrollRange capcodeScrollRange(int visibleRows, int pitch, double viewportHeight);

// Top of a control on the n-th visible row (n from 1), given its top on row 1.
int capcodeRowTop(int visibleOrdinal, int pitch, int rowOneTop);

// The scroll value at which the band bandTop..bandBottom of the list (a row) lies
// inside a viewport of `viewportHeight` now scrolled to `value`: `value` itself
// when the band is inside already, else the smallest move that brings it in (its
// top first when it is taller than the viewport), kept within 0..maximum.
int capcodeScrollToShow(int value, int maximum, int viewportHeight, int bandTop, int bandBottom);

// Applies the layout's rule to byte 0x3D: 8 rows (all long): bit 7 = 1, bit 4 = 0;
// 16 rows (all short): bit 7 = 0, bit 4 = 0; a mix: bit 4 = 1, bit 7 unchanged.
// Returns whether "Manual Write Enable" may be changed (false for a mix).
bool applyCapcodeLayoutBits(PagerTable& table, int visibleRows);
// Whether "Manual Write Enable" may be changed under a layout of `visibleRows`
// rows (all long or all short), without touching the image.
constexpr bool manualWriteSelectable(int visibleRows) { return visibleRows == 8 || visibleRows == 16; }

} // namespace px316t

#pragma once
// The rules a refresh applies to an image that arrived whole (a table file or a
// pager read), as functions of that image alone, so that the result never
// depends on what the window showed before.
#include "table/pager_table.h"

namespace px316t {

// For every pair whose first slot carries the long-word flag, the second slot
// follows the first: type and priority bits, a set enable bit, and (from pair 2
// on) a mail-drop alert length of 0, 1 or 16.
void mirrorLongPairSettings(PagerTable& table);

// The long-pair mirrors, the manual-write bits of the capcode layout, and the
// frame mask with its copies (enable bits of unsupported slots cleared first).
void applyRefreshRules(PagerTable& table);

} // namespace px316t

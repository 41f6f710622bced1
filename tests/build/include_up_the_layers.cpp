// Compiled by the build's tests with the include directories of the table
// library, the lowest layer: a header of a layer above must not be found.
#include "table/pager_table.h"
#ifdef PX316T_INCLUDE_UP_THE_LAYERS
#include "production/outcome.h"
#endif

int main() { return px316t::PagerTableSize == 912 ? 0 : 1; }

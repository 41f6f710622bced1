#pragma once
// px316t-cli produce: a production run over one or several boards.
#include "cli/cli_common.h"

namespace px316t::cli {

int cmdProduce(const Args& a);

} // namespace px316t::cli

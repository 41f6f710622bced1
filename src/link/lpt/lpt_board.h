#pragma once
// The parallel-port board of an "LPT" build as both programs open it: the
// machine's printer port, or the simulated board chosen by option or
// environment (see LptProgramOptions).
#include "link/lpt/lpt_delay.h"
#include "link/lpt/lpt_link.h"
#include "sim/lpt_simulated_board.h"
#include "link/lpt/port_io.h"

#include <memory>
#include <string>

namespace px316t {

struct ParallelPortBoard {
    std::unique_ptr<SimulatedBoardSession> simulated;
    std::unique_ptr<PortIo> machinePort;
    HighResolutionDelay delay;
    std::unique_ptr<LptLink> link;
};

// Opens the board the options name; nullptr with `error` set when they cannot
// be used (a file that cannot be opened, no port access on this system).
std::unique_ptr<ParallelPortBoard> openParallelPortBoard(const LptProgramOptions& options, MessageBoxes& messages,
                                                         LinkClock& clock, std::string& error);

} // namespace px316t

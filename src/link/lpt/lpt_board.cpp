#include "link/lpt/lpt_board.h"

#if defined(_WIN32)
#include "link/lpt/port_io_windows.h"
#elif defined(__linux__)
#include "link/lpt/port_io_linux.h"
#endif

namespace px316t {

std::unique_ptr<ParallelPortBoard> openParallelPortBoard(const LptProgramOptions& options, MessageBoxes& messages,
                                                         LinkClock& clock, std::string& error)
{
    auto board = std::make_unique<ParallelPortBoard>();
    PortIo* port = nullptr;
    if (options.simulatedMemory) {
        board->simulated = std::make_unique<SimulatedBoardSession>();
        if (!board->simulated->start(*options.simulatedMemory, options.vcdFile, error))
            return nullptr;
        port = &board->simulated->board;
    } else {
#if defined(_WIN32)
        board->machinePort = std::make_unique<WindowsPortIo>();
#elif defined(__linux__)
        board->machinePort = std::make_unique<PpdevPortIo>();
#endif
        port = board->machinePort.get();
    }
    if (!port) {
        error = "this system offers no parallel-port access; try --lpt-simulated FILE";
        return nullptr;
    }
    board->link = std::make_unique<LptLink>(*port, board->delay, messages, clock);
    return board;
}

} // namespace px316t

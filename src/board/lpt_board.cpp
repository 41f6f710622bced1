#include "board/lpt_board.h"

#ifdef PX316T_LINK_KIND_LPT
#include "sim/lpt_simulated_board.h"
#endif

#if defined(_WIN32)
#include "link/lpt/port_io_windows.h"
#elif defined(__linux__)
#include "link/lpt/port_io_linux.h"
#endif

namespace px316t {

LptProgramOptions parseLptOptions(const std::vector<std::string>& args, const char* simulatedEnv,
                                  const char* vcdEnv)
{
    LptProgramOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string>* target = nullptr;
        if (arg == "--lpt-simulated")
            target = &options.simulatedMemory;
        else if (arg == "--lpt-vcd")
            target = &options.vcdFile;
        if (!target)
            continue;
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            options.error = arg + " needs a file name";
            return options;
        }
        *target = args[++i];
    }
    if (!options.simulatedMemory && simulatedEnv && *simulatedEnv)
        options.simulatedMemory = simulatedEnv;
    if (!options.vcdFile && vcdEnv && *vcdEnv)
        options.vcdFile = vcdEnv;
    if (options.vcdFile && !options.simulatedMemory)
        options.error = "--lpt-vcd records the simulated board's lines; it needs --lpt-simulated FILE";
    return options;
}

std::unique_ptr<ParallelPortBoard> openParallelPortBoard(const LptProgramOptions& options, MessageBoxes& messages,
                                                         LinkClock& clock, std::string& error)
{
    auto board = std::make_unique<ParallelPortBoard>();
    PortIo* port = nullptr;
    if (options.simulatedMemory) {
#ifdef PX316T_LINK_KIND_LPT
        board->simulated = std::make_shared<SimulatedBoardSession>();
        if (!board->simulated->start(*options.simulatedMemory, options.vcdFile, error))
            return nullptr;
        port = &board->simulated->board;
#else
        error = "this build drives the USB board; it has no simulated parallel-port board";
        return nullptr;
#endif
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

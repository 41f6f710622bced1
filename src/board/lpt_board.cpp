#include "board/lpt_board.h"

#include <QString>

#include <filesystem>

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

namespace {

// The same file, whether or not it exists yet.
bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec))
        return true;
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec) && !ec;
}

} // namespace

std::string checkTraceFile(const LptProgramOptions& options, bool force, const std::vector<std::string>& commandFiles)
{
    if (!options.vcdFile)
        return {};
    const std::string& trace = *options.vcdFile;
    if (options.simulatedMemory && sameFile(trace, *options.simulatedMemory))
        return "--lpt-vcd " + trace + " is the simulated board's memory; the trace would replace it";
    for (const std::string& file : commandFiles)
        if (sameFile(trace, file))
            return "--lpt-vcd " + trace + " is a file of this command; the trace would replace it";
    std::error_code ec;
    if (std::filesystem::is_directory(trace, ec))
        return "--lpt-vcd " + trace + " is a folder";
    if (std::filesystem::exists(trace, ec) && !force)
        return "--lpt-vcd " + trace + " exists; --force replaces it";
    return {};
}

std::string finishSimulatedTrace([[maybe_unused]] ParallelPortBoard& board)
{
#ifdef PX316T_LINK_KIND_LPT
    if (board.simulated)
        return board.simulated->finishTrace();
#endif
    return {};
}

std::unique_ptr<ParallelPortBoard> openParallelPortBoard(const LptProgramOptions& options, MessageBoxes& messages,
                                                         LinkClock& clock, std::string& error)
{
    auto board = std::make_unique<ParallelPortBoard>();
    PortIo* port = nullptr;
    if (options.simulatedMemory) {
#ifdef PX316T_LINK_KIND_LPT
        board->simulated = std::make_shared<SimulatedBoardSession>();
        board->simulated->onTraceProblem = [&messages](const std::string& problem) {
            messages.message(QString::fromStdString(problem + " The transfers go on without it."), MessageBoxes::Icon::Warning);
        };
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

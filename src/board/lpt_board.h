#pragma once
// The parallel-port board of an "LPT" build as both programs open it: the
// machine's printer port, or the simulated board chosen by option or
// environment (see LptProgramOptions).
#include "link/lpt/lpt_delay.h"
#include "link/lpt/lpt_link.h"
#include "link/lpt/port_io.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

struct LptProgramOptions {
    std::optional<std::string> simulatedMemory;   // table file of the simulated board
    std::optional<std::string> vcdFile;           // trace of the bus lines
    std::string error;                            // empty when the options are usable
};

// Reads "--lpt-simulated FILE" and "--lpt-vcd FILE" from the program's
// arguments; PX316T_LPT_SIMULATED and PX316T_LPT_VCD in the environment give
// the same when the option is absent. Other arguments are left alone.
LptProgramOptions parseLptOptions(const std::vector<std::string>& args, const char* simulatedEnv,
                                  const char* vcdEnv);

inline constexpr const char* LptOptionsHelp =
    "  --lpt-simulated FILE  use a simulated parallel-port board whose memory is kept in the\n"
    "                        table FILE (loaded at start, saved after each write)\n"
    "                        (environment: PX316T_LPT_SIMULATED=FILE)\n"
    "  --lpt-vcd FILE        record the simulated bus lines scl and sda into the VCD FILE\n"
    "                        (environment: PX316T_LPT_VCD=FILE)\n";

// The simulated board lives in sim/, which only an "LPT" build links into the
// programs; a shared pointer destroys it without its type being known here.
class SimulatedBoardSession;

struct ParallelPortBoard {
    std::shared_ptr<SimulatedBoardSession> simulated;
    std::unique_ptr<PortIo> machinePort;
    HighResolutionDelay delay;
    std::unique_ptr<LptLink> link;
};

// Refuses a trace file that would replace something: an existing file unless
// `force`, the simulated board's memory, or any file the command reads or
// writes (`commandFiles`). Empty when the trace may be written.
std::string checkTraceFile(const LptProgramOptions& options, bool force, const std::vector<std::string>& commandFiles);

// Ends the simulated board's trace; the sentence saying why it is not whole,
// or empty (also when there is no trace).
std::string finishSimulatedTrace(ParallelPortBoard& board);

// Opens the board the options name; nullptr with `error` set when they cannot
// be used (a file that cannot be opened, no port access on this system).
std::unique_ptr<ParallelPortBoard> openParallelPortBoard(const LptProgramOptions& options, MessageBoxes& messages,
                                                         LinkClock& clock, std::string& error);

} // namespace px316t

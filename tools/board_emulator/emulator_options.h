#pragma once
// Command line of the board emulator.
#include "sim/board_responder.h"

#include <optional>
#include <string>
#include <vector>

namespace px316t::emulator {

struct Options {
    int com = 0;              // 0: the first free COM number
    std::string memoryFile;   // empty: memory starts erased and is not saved
    bool fast = false;        // no 9600-baud pacing
    bool logFrames = false;   // a line on stdout for every write and read frame answered
    bool help = false;
    BoardFaults faults;
};

// Parses the arguments after the program name; on a mistake returns nothing
// and puts the reason in `error`.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);

std::string usageText(const std::string& program);

} // namespace px316t::emulator

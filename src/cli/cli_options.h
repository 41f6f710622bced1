#pragma once
// The command line's options and exit statuses, held once: the parser takes
// its option names from here, --help prints them from here, and the man page
// is written from here at build time. Plain C++, so that the man page
// generator can use it without Qt.
#include <string>
#include <string_view>
#include <vector>

namespace px316t::cli {

struct CliOption {
    std::string name;      // "--port"
    std::string value;     // "N"; empty for a switch
    std::vector<std::string> commands;   // the commands that take it; empty: every command
    std::string help;      // one sentence or two, plain text
};

const std::vector<CliOption>& cliOptions();
const CliOption* findCliOption(std::string_view name);
bool commandTakes(std::string_view command, const CliOption& option);

struct ExitStatus {
    int code;
    std::vector<std::string> reasons;   // each a phrase; joined by commas in --help
};

const std::vector<ExitStatus>& exitStatuses();

// "Exit status: 0 success; 1 ...; 2 ...", wrapped at 78 columns.
std::string exitStatusHelp();
// The option list of --help: "  --port N   ...", one entry per option.
std::string optionsHelp();

} // namespace px316t::cli

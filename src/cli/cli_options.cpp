#include "cli/cli_options.h"

#include <algorithm>

namespace px316t::cli {

const std::vector<CliOption>& cliOptions()
{
    static const std::vector<CliOption> options = {
        {"-o", "FILE", {"read", "label", "batch"},
         "the table file the pager is read into; with label, the PDF file of the labels; with batch report, the report"},
        {"--port", "N", {"read", "write", "verify", "produce"},
         "the board on COM N (4 or COM4, 1 to 255), or on the port whose USB serial number is N (as ports "
         "lists it); without it the board is found as the window finds it. produce takes it more than once"},
        {"--all-boards", "", {"produce"}, "every port that answers as a programming board"},
        {"--count", "N", {"produce"}, "the number of pagers, at least 1"},
        {"--no-wait", "", {"produce"}, "go on to the next pager without waiting for Enter"},
        {"--batch", "NAME", {"produce"},
         "the batch of the shared production database whose capcodes the stations share; required with a "
         "shared database"},
        {"--capcodes", "LIST.csv", {"produce", "batch", "label"},
         "the capcodes of a carrier's allocation list, in its order; with label, a range A-B or one capcode"},
        {"--allow-special-addresses", "", {"produce", "batch"},
         "take capcodes from 1933313 to 2031614, which FLEX keeps for itself"},
        {"--labels", "FILE.pdf", {"produce"},
         "a label for each pager once its capcode is used, into this PDF file (it holds the run's labels so far)"},
        {"--label-printer", "NAME", {"produce", "label"}, "labels to this printer instead of a PDF file"},
        {"--local", "", {"label"}, "the labels of this station's own record instead of a batch's"},
        {"--watch", "", {"batch"}, "batch stats: the figures again every 5 seconds until Ctrl+C or the end of input"},
        {"--first", "N", {"batch"}, "the first capcode of a batch (batch create)"},
        {"--last", "M", {"batch"}, "the last capcode of a batch (batch create)"},
        {"--since", "DATE", {"history"}, "only entries from this UTC date (2026-12-07) or time (2026-12-07T14:30) on"},
        {"--csv", "", {"history", "batch"}, "CSV instead of aligned columns"},
        {"--shared", "", {"history"}, "the shared production database (every station) instead of this station's record"},
        {"--json", "", {"ports", "read", "write", "verify", "produce", "show", "diff", "batch"},
         "JSON on standard output (see JSON OUTPUT in the manual); messages stay on standard error"},
        {"--force", "", {"read", "new"}, "replace an existing FILE (with --lpt-vcd: an existing trace, with every command)"},
        {"--production-db", "CONNINFO", {},
         "a shared PostgreSQL production database (a libpq connection string); default $PX316T_PRODUCTION_DB"},
        {"--station", "NAME", {}, "this station in the production record; default $PX316T_STATION, else the host name"},
        {"--operator", "NAME", {}, "the operator in the production record; default $PX316T_OPERATOR, else the login name"},
        {"--lpt-simulated", "FILE", {},
         "parallel-port build: a simulated board whose memory is kept in the table FILE; default $PX316T_LPT_SIMULATED"},
        {"--lpt-vcd", "FILE", {}, "parallel-port build: record the board's bus lines into a VCD file; default $PX316T_LPT_VCD"},
    };
    return options;
}

const CliOption* findCliOption(std::string_view name)
{
    for (const CliOption& option : cliOptions())
        if (option.name == name)
            return &option;
    return nullptr;
}

bool commandTakes(std::string_view command, const CliOption& option)
{
    return option.commands.empty() ||
           std::find(option.commands.begin(), option.commands.end(), command) != option.commands.end();
}

const std::vector<ExitStatus>& exitStatuses()
{
    static const std::vector<ExitStatus> statuses = {
        {0, {"success"}},
        {1,
         {"a transfer or verify failed", "diff found differences", "produce stopped before --count pagers",
          "ports found no board"}},
        {2,
         {"bad usage (an unknown command or option, a bad --port, extra words)", "a bad or missing table file",
          "a path that is a folder", "a refused value", "a FILE that exists without --force"}},
    };
    return statuses;
}

namespace {

// Words filled into lines of at most `width` columns, each line after the first
// starting with `indent`.
std::string wrapped(const std::string& text, std::size_t width, const std::string& indent, std::size_t firstColumn)
{
    std::string out;
    std::size_t column = firstColumn;
    bool lineHasWord = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(at, end - at);
        if (lineHasWord && column + 1 + word.size() > width) {
            out += "\n" + indent;
            column = indent.size();
        } else if (lineHasWord) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineHasWord = true;
        at = end + 1;
    }
    return out;
}

std::string joined(const std::vector<std::string>& phrases, const std::string& last)
{
    std::string out;
    for (std::size_t i = 0; i < phrases.size(); ++i) {
        if (i)
            out += i + 1 == phrases.size() ? (phrases.size() > 2 ? "," : "") + last : ", ";
        out += phrases[i];
    }
    return out;
}

} // namespace

std::string exitStatusHelp()
{
    std::string text = "Exit status:";
    for (const ExitStatus& status : exitStatuses())
        text += (status.code ? "; " : " ") + std::to_string(status.code) + " " + joined(status.reasons, " or ");
    return wrapped(text + ".", 78, "", 0) + "\n";
}

std::string optionsHelp()
{
    constexpr std::size_t helpColumn = 30;
    const std::string indent(helpColumn, ' ');
    std::string out;
    for (const CliOption& option : cliOptions()) {
        std::string head = "  " + option.name + (option.value.empty() ? "" : " " + option.value);
        std::string who;
        for (const std::string& command : option.commands)
            who += (who.empty() ? "(" : ", ") + command;
        const std::string help = (who.empty() ? "" : who + ") ") + option.help;
        if (head.size() + 1 > helpColumn)
            head += "\n" + indent;
        else
            head += std::string(helpColumn - head.size(), ' ');
        out += head + wrapped(help, 78, indent, helpColumn) + "\n";
    }
    return out;
}

} // namespace px316t::cli

// Writes a man page from its template, with the field names of the command
// line's show, set and diff taken from the field catalogue itself, and its
// options and exit statuses from the command line's own table:
//
//     px316t-man-fields TEMPLATE OUTPUT
//
// The template's line `.\" @FIELD-NAMES@` becomes one tagged paragraph per
// name pattern (e.g. capcode.N.type, N = 2..16) with the values it takes;
// `.\" @OPTIONS@` one per option, `.\" @EXIT-STATUS@` one per exit status.
#include "cli/cli_options.h"
#include "editor/field_catalog.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Text that roff prints as it is.
std::string roffText(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string numbersText(const std::vector<int>& numbers)
{
    bool consecutive = true;
    for (std::size_t i = 1; i < numbers.size(); ++i)
        consecutive = consecutive && numbers[i] == numbers[i - 1] + 1;
    if (consecutive && numbers.size() > 1)
        return "N = " + std::to_string(numbers.front()) + ".." + std::to_string(numbers.back());
    std::string text = "N = ";
    for (std::size_t i = 0; i < numbers.size(); ++i)
        text += (i ? ", " : "") + std::to_string(numbers[i]);
    return text;
}

std::string fieldList()
{
    std::ostringstream out;
    for (const px316t::FieldNameGroup& g : px316t::fieldNameGroups(px316t::fieldCatalog().entries())) {
        out << ".TP\n.B " << roffText(g.pattern) << "\n";
        if (!g.numbers.empty())
            out << "(" << numbersText(g.numbers) << ") ";
        out << roffText(g.values.empty() ? "shown only" : g.values) << "\n";
    }
    return out.str();
}

std::string optionList()
{
    std::ostringstream out;
    for (const px316t::cli::CliOption& option : px316t::cli::cliOptions()) {
        out << ".TP\n";
        if (option.value.empty())
            out << ".B " << roffText(option.name) << "\n";
        else
            out << ".BI " << roffText(option.name) << " \" " << roffText(option.value) << "\"\n";
        std::string who;
        for (const std::string& command : option.commands)
            who += (who.empty() ? "(" : ", ") + command;
        out << roffText((who.empty() ? "" : who + ") ") + option.help) << ".\n";
    }
    return out.str();
}

std::string exitStatusList()
{
    std::ostringstream out;
    for (const px316t::cli::ExitStatus& status : px316t::cli::exitStatuses()) {
        out << ".TP\n.B " << status.code << "\n";
        std::string reasons;
        for (const std::string& reason : status.reasons)
            reasons += (reasons.empty() ? "" : "; ") + reason;
        reasons[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reasons[0])));
        out << roffText(reasons) << ".\n";
    }
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: px316t-man-fields TEMPLATE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "px316t-man-fields: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream page;
    bool placed = false;
    for (std::string line; std::getline(in, line);) {
        if (line == ".\\\" @FIELD-NAMES@") {
            page << fieldList();
            placed = true;
        } else if (line == ".\\\" @OPTIONS@") {
            page << optionList();
        } else if (line == ".\\\" @EXIT-STATUS@") {
            page << exitStatusList();
        } else {
            page << line << "\n";
        }
    }
    if (!placed) {
        std::fprintf(stderr, "px316t-man-fields: %s has no @FIELD-NAMES@ line\n", argv[1]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    return out.good() ? 0 : 1;
}

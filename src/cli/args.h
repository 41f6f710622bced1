#pragma once
// The command line's words: exit statuses, the help texts, the arguments of a
// command, and the one-line usage complaint.
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>

namespace px316t::cli {

enum Exit { Ok = 0, Failed = 1, Usage = 2 };

// One line on stderr.
void say(const std::string& line);
void say(const QString& line);
inline void say(const char* line) { say(std::string(line)); }

// The program's help: its commands, options (cli_options.h), exit statuses
// and files. Every command's help ends with the exit statuses too.
std::string mainHelp();
// Each command's help, by command name; the list of commands.
extern const std::map<std::string, const char*> CommandHelp;

struct Args {
    QStringList positional;
    std::map<QString, QString> options;   // --name value, or --flag with an empty value
    std::map<QString, QStringList> all;   // every value of an option given more than once
    std::optional<QString> error;
};

Args parseArgs(const QStringList& list, const QStringList& valued, const QStringList& flags);

// "px316t-cli COMMAND: PROBLEM" and where to read more; returns Usage.
int usage(const std::string& command, const QString& problem);

bool wantsJson(const Args& a);

} // namespace px316t::cli

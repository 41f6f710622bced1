// px316t-cli: the service tool's command line. It drives the same programming
// sequence and field rules as the window, without a display: for test
// stations that program pagers from a script, and for looking into table files.
//
// main() reads the command and its options and hands them to the command's
// file: args.cpp (help, parsing), board.cpp (the board), table_io.cpp,
// json_line.cpp, ports_command.cpp, read_write_commands.cpp,
// history_command.cpp, edit_commands.cpp, batch_commands.cpp, produce_command.cpp.
#include "cli/args.h"
#include "cli/board.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/paper.h"
#include "board/lpt_board.h"

#include <QCoreApplication>
#ifdef PX316T_WITH_PRINT
#include <QGuiApplication>
#endif
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#ifdef _WIN32
#include <windows.h>

namespace {

// Every text of the program is UTF-8. A console shows it as such while the
// program runs; the console's own code page comes back at the end, also after
// Ctrl+C. Output to a file or a pipe is UTF-8 as it is.
UINT consoleCodePage = 0;

BOOL WINAPI restoreConsoleCodePage(DWORD)
{
    if (consoleCodePage)
        SetConsoleOutputCP(consoleCodePage);
    return FALSE;   // the default handler ends the program
}

struct Utf8Console {
    Utf8Console()
    {
        consoleCodePage = GetConsoleOutputCP();
        if (consoleCodePage && SetConsoleOutputCP(CP_UTF8))
            SetConsoleCtrlHandler(restoreConsoleCodePage, TRUE);
    }
    ~Utf8Console() { restoreConsoleCodePage(0); }
};

} // namespace
#endif

namespace {

int runCommand(const std::string& command, const px316t::cli::Args& a)
{
    using namespace px316t::cli;
    if (command == "ports") return cmdPorts(a);
    if (command == "read") return cmdRead(a);
    if (command == "write") return cmdWriteOrVerify(a, true);
    if (command == "verify") return cmdWriteOrVerify(a, false);
    if (command == "produce") return cmdProduce(a);
    if (command == "label") return cmdLabel(a);
    if (command == "history") return cmdHistory(a);
    if (command == "show") return cmdShow(a);
    if (command == "set") return cmdSet(a);
    if (command == "diff") return cmdDiff(a);
    return cmdNew(a);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace px316t::cli;
#ifdef _WIN32
    const Utf8Console console;
#endif
    // The arguments come from QCoreApplication::arguments(), which on Windows
    // reads the wide command line (GetCommandLineW): names outside the ANSI
    // code page arrive whole.
    std::unique_ptr<QCoreApplication> app;
#ifdef PX316T_WITH_PRINT
    // Labels and reports are drawn with Qt Gui, on the offscreen platform: the
    // command line needs no display, and shows no window.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    if (drawsPaper(raw)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Without a login session Qt says it made up a runtime folder; the
        // drawing needs none, and a script reading stderr would trip on it.
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
                return;
            if (previous)
                previous(type, context, text);
            else
                std::fprintf(stderr, "%s\n", qPrintable(text));
        });
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("PX316T"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fputs(mainHelp().c_str(), stderr);
        return Usage;
    }
    // Which options take a value, and which commands take them: the one table
    // that --help and the man page are written from.
    QStringList valued;
    QStringList flags;
    for (const CliOption& option : cliOptions())
        (option.value.empty() ? flags : valued) << QString::fromStdString(option.name);
    // Options may stand before the command: they are taken as if they followed it.
    QStringList leading;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("-")) && args.first() != QLatin1String("--help") &&
           args.first() != QLatin1String("-h") && args.first() != QLatin1String("--version")) {
        const QString option = args.takeFirst();
        leading << option;
        if (valued.contains(option) && !args.isEmpty())
            leading << args.takeFirst();
    }
    if (args.isEmpty()) {
        say(std::string("px316t-cli: options but no command"));
        std::fputs(mainHelp().c_str(), stderr);
        return Usage;
    }
    const std::string command = args.takeFirst().toStdString();
    args << leading;
    if (command == "--version") {
        std::printf("px316t-cli %s\n", PX316T_VERSION);
        return Ok;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(mainHelp().c_str(), stdout);
        return Ok;
    }
    const auto help = CommandHelp.find(command);
    if (help == CommandHelp.end()) {
        say("px316t-cli: unknown command " + command);
        std::fputs(mainHelp().c_str(), stderr);
        return Usage;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(help->second, stdout);
        std::fputs("\n", stdout);
        std::fputs(exitStatusHelp().c_str(), stdout);
        return Ok;
    }
    if (command == "batch")
        return cmdBatch(args);
    // NAME=VALUE arguments of set may start with anything but "--".
    const Args a = parseArgs(args, valued, flags);
    if (a.error)
        return usage(command, *a.error);
    // An option the command does not take is refused, not ignored: a script
    // that passes --port to show has a mistake worth hearing about.
    // --force also lets --lpt-vcd replace an existing file, with every command.
    const bool traced = a.options.count(QStringLiteral("--lpt-vcd")) || std::getenv("PX316T_LPT_VCD");
    for (const auto& [option, value] : a.options) {
        const CliOption* known = findCliOption(option.toStdString());
        if ((!known || !commandTakes(command, *known)) && !(traced && option == QLatin1String("--force")))
            return usage(command, command == "set" ? QStringLiteral("takes no option ") + option
                                                   : QStringLiteral("does not take ") + option);
    }
    std::vector<std::string> lptArgs;
    for (const char* name : {"--lpt-simulated", "--lpt-vcd"})
        if (const auto it = a.options.find(QLatin1String(name)); it != a.options.end())
            lptArgs.insert(lptArgs.end(), {name, it->second.toStdString()});
    lptOptions() = px316t::parseLptOptions(lptArgs, std::getenv("PX316T_LPT_SIMULATED"), std::getenv("PX316T_LPT_VCD"));
    if (!lptOptions().error.empty())
        return usage(command, QString::fromStdString(lptOptions().error));
    // The trace never replaces a file the command reads or writes.
    std::vector<std::string> files;
    for (const QString& file : a.positional)
        files.push_back(file.toStdString());
    if (const auto out = a.options.find(QStringLiteral("-o")); out != a.options.end())
        files.push_back(out->second.toStdString());
    if (const std::string refused = px316t::checkTraceFile(lptOptions(), a.options.count(QStringLiteral("--force")) != 0, files);
        !refused.empty())
        return usage(command, QString::fromStdString(refused));
    const int status = runCommand(command, a);
    return status == Ok && traceFailed() ? Failed : status;
}

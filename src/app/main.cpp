// The program: one main window, started by the application root with the
// platform's registry and dialogs.
#include "app/application_root.h"
#include "app/screenshot_tour.h"
#include "board/lpt_board.h"
#include "link/qt_link_clock.h"
#include "ui/file_places.h"
#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QGuiApplication>
#ifdef Q_OS_WIN
#include <QDir>
#include <QFont>
#include <QFontDatabase>

#include <windows.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Qt aborts with a terse platform error when no display can be reached; say what
// to do instead.
bool displayReachable()
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

#ifdef Q_OS_WIN
// The fonts packed beside the Windows program (fonts\*.ttf) stand in for the
// window's Tahoma, Arial and Courier New on a system that lacks them; where
// the system has them, they are used as before. Without a stand-in for Courier
// New, the capcode, frequency and prompt boxes showed no text at all there.
void addPackedFonts()
{
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    for (const QString& file : folder.entryList({QStringLiteral("*.ttf")}, QDir::Files))
        QFontDatabase::addApplicationFont(folder.filePath(file));
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}
#endif

// The parallel-port board of an "LPT" build with the window's dialogs and clock.
struct WindowParallelPort {
    px316t::QtLinkClock clock;
    px316t::QtMessageBoxes messages {nullptr};
    std::unique_ptr<px316t::ParallelPortBoard> board;
};

// False (after saying why on stderr) when the options cannot be used.
bool setUpParallelPort(int argc, char** argv, WindowParallelPort& port)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const px316t::LptProgramOptions options =
        px316t::parseLptOptions(args, std::getenv("PX316T_LPT_SIMULATED"), std::getenv("PX316T_LPT_VCD"));
    if (!options.error.empty()) {
        std::fprintf(stderr, "px316t: %s\nOptions:\n%s", options.error.c_str(), px316t::LptOptionsHelp);
        return false;
    }
    // The trace never replaces the table file the window opens, nor an existing file unasked.
    std::vector<std::string> files;
    if (const auto file = px316t::tableFileArgument(QCoreApplication::arguments()))
        files.push_back(file->toStdString());
    const bool force = std::find(args.begin(), args.end(), "--force") != args.end();
    if (const std::string refused = px316t::checkTraceFile(options, force, files); !refused.empty()) {
        std::fprintf(stderr, "px316t: %s\n", refused.c_str());
        return false;
    }
    std::string error;
    port.board = px316t::openParallelPortBoard(options, port.messages, port.clock, error);
    if (!port.board)
        std::fprintf(stderr, "px316t: %s\n", error.c_str());
    return port.board != nullptr;
}

// --production-db CONNINFO, --station NAME and --batch NAME, as the command
// line takes them: the record, the station's name and the batch the
// auto-increase joins. The environment gives the defaults.
void takeProductionOptions(const QStringList& args, px316t::ApplicationOptions& services)
{
    px316t::ProductionOptions options = px316t::productionOptionsFromEnvironment();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--production-db"))
            options.databaseConninfo = args[++i].toStdString();
        else if (args[i] == QLatin1String("--station"))
            options.station = args[++i].toStdString();
        else if (args[i] == QLatin1String("--batch"))
            services.batch = args[++i].toStdString();
    }
    services.production = options;
}

// A window program on Windows has no console of its own: --help and
// --version are written to the console it was started from, unless its
// output goes to a file or a pipe.
void useParentConsole()
{
#ifdef Q_OS_WIN
    if (!GetStdHandle(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
#endif
}

// --help and --version are answered before any window or display is needed.
bool answeredInformationOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version")
            useParentConsole();
        if (arg == "--help" || arg == "-h") {
            std::printf("Usage: px316t [options] [FILE.tbl]\n\n"
                        "Service tool for the PX316T pager: edits the pager's configuration,\n"
                        "keeps it in table files (*.tbl) and reads, writes and verifies it\n"
                        "through the programming board. A table file named on the command\n"
                        "line is opened at start, as File > Open does.\n\n"
                        "Options:\n"
                        "  -h, --help            show this text\n"
                        "  --version             show the version\n"
                        "  --production-db CONNINFO  the shared production database\n"
                        "                        (default: $PX316T_PRODUCTION_DB)\n"
                        "  --batch NAME          the batch \"1st Capcode Auto Increase\" writes\n"
                        "                        (or Batch... in the programming window)\n"
                        "  --station NAME        this station in the record (default: the host name)\n%s%s"
#ifdef Q_OS_WIN
                        "\nThe connection to the shared database is not encrypted in this Windows\n"
                        "build: keep the database on the production line's own network.\n",
#else
                        "\nWithout a display: xvfb-run -a px316t\n",
#endif
                        px316t::BuildLinkKind == px316t::LinkKind::LPT ? px316t::LptOptionsHelp : "",
                        px316t::BuildLinkKind == px316t::LinkKind::LPT
                            ? "  --force               let --lpt-vcd replace an existing file\n"
                            : "");
            return true;
        }
        if (arg == "--version") {
            std::printf("px316t %s\n", PX316T_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (answeredInformationOption(argc, argv))
        return 0;
    if (!displayReachable()) {
        std::fprintf(stderr,
                     "px316t: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "Start it on a desktop, or under a virtual display:\n"
                     "    xvfb-run -a %s\n",
                     argc > 0 ? argv[0] : "px316t");
        return 2;
    }
    QApplication app(argc, argv);
#ifdef Q_OS_WIN
    addPackedFonts();
#endif
    // The window's class (X11 WM_CLASS "px316t", "PX316T") and, on Wayland, its
    // application id tie it to the desktop entry.
    QApplication::setApplicationName(QStringLiteral("PX316T"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.px316t.ServiceTool"));
    px316t::ApplicationOptions services;
    services.linkKind = px316t::BuildLinkKind;
    takeProductionOptions(QCoreApplication::arguments(), services);
    std::unique_ptr<WindowParallelPort> parallelPort;
    if (px316t::BuildLinkKind == px316t::LinkKind::LPT) {
        parallelPort = std::make_unique<WindowParallelPort>();
        if (!setUpParallelPort(argc, argv, *parallelPort))
            return 2;
        services.messages = &parallelPort->messages;
        services.linkClock = &parallelPort->clock;
        services.parallelPort = parallelPort->board->link.get();
        services.findLptBoard = [link = parallelPort->board->link.get()] { return link->FindLptBoard(); };
    }
    px316t::ApplicationRoot root(std::move(services));
    px316t::Form1& window = root.window();
    window.Form_Load();
    window.show();
    if (const auto file = px316t::tableFileArgument(QCoreApplication::arguments()))
        window.openTableFile(*file);
    if (const QString tour = qEnvironmentVariable("PX316T_SCREENSHOT_TOUR"); !tour.isEmpty())
        px316t::startScreenshotTour(app, window, tour);
    return app.exec();
}

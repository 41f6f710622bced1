#pragma once
// The programming board of a command: the board connection with the
// terminal's views, and the --port options that name it.
#include "cli/args.h"
#include "cli/cli_faces.h"
#include "board/board_connection.h"
#include "board/lpt_board.h"

#include <optional>
#include <string>
#include <vector>

namespace px316t::cli {

// The parallel-port board's options of an "LPT" build, read once from the
// command line and the environment.
LptProgramOptions& lptOptions();

// The terminal's messages; a production board holds back the sequence's
// "Verify Success!", which its run says once the pager's bookkeeping committed.
class BoardMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon icon = Icon::None) override { terminal_.message(portPrefix + text, icon); }
    bool askYesNo(const QString& text) override { return terminal_.askYesNo(text); }
    // "COM3: " when several boards run at once, so that every line names its board.
    QString portPrefix;

private:
    StderrMessages terminal_;
};

// One board: the connection with the terminal's messages and a status nobody
// reads, the command state and the programming sequence over it. The
// connection's parts go by the names the commands use.
struct Board {
    Board();
    // Ends the bus trace; a trace that is not whole is said here and makes
    // the command fail (traceFailed()).
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    BoardMessages messages;
    SilentBoardStatus status;
    BoardConnection connection;
    SerialPorts& ports;
    LinkState& state;
    clsRegistryAccess& registry;
    LinkClock& clock;
    PagerCommandState command;
    ProgrammingSequence sequence;

    // Finds the board as the window does, or takes COM `port`; false (with
    // one line said) when there is none. An "LPT" build finds its parallel-port
    // board and ignores `port`.
    bool connect(const std::optional<QString>& port);
};

// True once a board's bus trace could not be written whole: the command then
// ends with Failed, whatever the pager's result was.
bool traceFailed();

// The COM numbers of --port options; nothing (after one line) for a bad one.
std::optional<std::vector<int>> portNumbers(const Args& a);

// The one board port of a command: nothing when --port is not given. A bad
// --port is bad usage, said in one line: `bad` is set.
std::optional<QString> portOption(const Args& a, const std::string& command, bool& bad);

} // namespace px316t::cli

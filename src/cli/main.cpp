// px316t-cli: the service tool's command line. It drives the same programming
// sequence and field rules as the window, without a display: for test
// stations that program pagers from a script, and for looking into table files.
#include "cli/cli_faces.h"
#include "editor/band_rules.h"
#include "editor/capcode_increase.h"
#include "editor/field_catalog.h"
#include "editor/prompt_rules.h"
#include "link/board_detection.h"
#include "link/usb/board_port.h"
#include "link/link_kind.h"
#include "link/lpt/lpt_board.h"
#include "link/programming_sequence.h"
#include "link/qt_link_clock.h"
#ifdef _WIN32
#include "link/usb/win32_serial_ports.h"
#else
#include "link/usb/qt_serial_ports.h"
#endif
#include "link/usb/serial_port_list.h"
#include "link/usb/usb_link.h"
#include "production/backup_store.h"
#include "production/link_transfer.h"
#include "production/pg_production.h"
#include "production/production_run.h"
#include "production/file_lock.h"
#include "production/production_services.h"
#include "registry/cls_registry_access.h"
#include "table/builtin_tables.h"
#include "table/table_file.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace px316t::cli {

// batch_commands.cpp
int cmdBatch(const QStringList& args);

namespace {

enum Exit { Ok = 0, Failed = 1, Usage = 2 };

void say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }
void say(const QString& line) { say(line.toStdString()); }

// Every help ends with the exit status a script can rely on.
const char* const ExitStatusHelp =
    "Exit status: 0 success; 1 a transfer or verify failed, diff found\n"
    "differences, or produce stopped before --count pagers; 2 bad usage (an\n"
    "unknown command or option, a bad --port), a bad or missing table file, a\n"
    "path that is a folder, a refused value, or a FILE that exists without --force.\n";

const char* const MainHelp =
    "Usage: px316t-cli COMMAND [ARGS]\n"
    "\n"
    "The PX316T service tool without a window: reads, writes and verifies pagers\n"
    "through the programming board and edits table files (*.tbl, 912 bytes).\n"
    "\n"
    "Commands:\n"
    "  ports                          serial ports by COM number; which is the board\n"
    "  read -o FILE [--port N] [--force]\n"
    "                                 read the pager into a table file\n"
    "  write FILE [--port N]          write the pager and verify it\n"
    "  verify FILE [--port N]         compare the pager with a table file\n"
    "  produce FILE --count N [--port N ...|--all-boards] [--no-wait] [--batch NAME]\n"
    "                                 production run: write, verify, raise capcode 1\n"
    "  history [--since DATE] [--csv] [--shared]\n"
    "                                 the production record of every write and verify\n"
    "  batch create|list|show|release the batches of the shared production database\n"
    "  show FILE [--json]             every field by name\n"
    "  set FILE NAME=VALUE ...        change fields with the window's rules\n"
    "  diff A B                       fields that differ, then other bytes\n"
    "  new FILE [--force]             the image a newly started window holds\n"
    "\n"
    "--json (ports, read, write, verify, produce, diff) prints one JSON object per\n"
    "port or pager on stdout: port, capcode, result, and for a failed verify the\n"
    "first differing address and its field; messages stay on stderr. Keys follow\n"
    "the field catalogue's order; numbers are JSON numbers.\n"
    "\n"
    "Options may stand before or after the command; an option the command does\n"
    "not take is refused. --station, --production-db and the --lpt options are\n"
    "taken by every command.\n"
    "\n"
    "COMMAND --help describes one command. Without --port the board is found as\n"
    "the window finds it. A build for the parallel-port board takes instead:\n"
    "  --lpt-simulated FILE, --lpt-vcd FILE (or PX316T_LPT_SIMULATED, PX316T_LPT_VCD)\n"
    "\n"
    "Exit status: 0 success; 1 a transfer or verify failed, diff found\n"
    "differences, or produce stopped before --count pagers; 2 bad usage (an\n"
    "unknown command or option, a bad --port), a bad or missing table file, a\n"
    "path that is a folder, a refused value, or a FILE that exists without --force.\n"
    "\n"
    "Every read keeps a backup in $XDG_DATA_HOME/px316t/backups; every write and\n"
    "verify is recorded in $XDG_DATA_HOME/px316t/production.sqlite and, with\n"
    "--production-db CONNINFO (or $PX316T_PRODUCTION_DB, a PostgreSQL connection\n"
    "string), in that shared database too. --station NAME (or $PX316T_STATION)\n"
    "names this station in the record; the host name by default.\n"
#ifdef _WIN32
    "\n"
    "This Windows build has no PostgreSQL client: a shared production database\n"
    "(--production-db, --shared, a shared --batch) is for the Linux build only;\n"
    "the record and the backups stay in %APPDATA%\\px316t on this computer.\n"
#endif
    ;

const std::map<std::string, const char*> CommandHelp = {
    {"ports", "Usage: px316t-cli ports [--json]\n\nLists the serial ports as the program numbers them (COMn and device) and\n"
              "asks each one whether it is the programming board; every port that\n"
              "answers is marked. Exit 1 when no board answers.\n"},
    {"read", "Usage: px316t-cli read -o FILE [--port N] [--force] [--json]\n\nReads the pager's 912 bytes into the table file FILE "
             "(replaced\natomically). FILE is checked first: a folder, a FILE that exists\n"
             "(without --force) or a folder that cannot be written to is refused (exit 2)\n"
             "before the pager is read. Exit 1 when the read fails; FILE is then not touched.\n"},
    {"write", "Usage: px316t-cli write FILE [--port N] [--json]\n\nWrites the table file FILE into the pager, then verifies "
              "it. Exit 1 when\nthe write or the verification fails.\n"},
    {"verify", "Usage: px316t-cli verify FILE [--port N] [--json]\n\nCompares the pager with the table file FILE. Exit 1 on a "
               "difference or a\nfailed read.\n"},
    {"produce", "Usage: px316t-cli produce FILE --count N [--port N ...|--all-boards] [--no-wait]\n"
                "                          [--batch NAME] [--json] [--production-db CONNINFO] [--station NAME]\n\n"
                "Programs N pagers as the programming window does with \"1st Capcode Auto\n"
                "Increase\": each pager is written and verified, then capcode 1 goes up by\n"
                "one and FILE is saved (atomically), so FILE always holds the next capcode\n"
                "to write. Before each next pager it waits for Enter (end of input stops the\n"
                "run); --no-wait goes straight on. The first failure stops the run without\n"
                "raising the capcode (exit 1).\n\n"
                "Several --port options, or --all-boards (every port that answers as a\n"
                "board), drive several boards at once, each on its own thread; N counts the\n"
                "pagers of all boards. A board that fails stops alone and its capcode goes\n"
                "to the next pager of another board.\n\n"
                "Without a shared database the capcodes come from this station's record:\n"
                "the run starts at FILE's capcode 1 but skips every capcode the record holds\n"
                "as written or possibly written, and FILE only caches the next one.\n\n"
                "With a shared production database the capcodes come from the batch NAME\n"
                "(--batch, required), which must exist (px316t-cli batch create); an unknown\n"
                "batch, --batch without a database, a station name that is running already,\n"
                "or FILE in use by another run is refused (exit 2) before any pager.\n\n"
                "Each capcode is committed as `writing' before its first write frame and as\n"
                "`used' before \"Verify Success!\" is said. A run that was cut off is\n"
                "recovered by the next start: capcodes it had not begun to write go back,\n"
                "those it was writing become `uncertain' and are never handed out again\n"
                "(history and batch show list them). After a crash: just start again.\n"},
    {"batch", "Usage: px316t-cli batch create NAME --first N [--last M]\n"
              "       px316t-cli batch list\n"
              "       px316t-cli batch show NAME\n"
              "       px316t-cli batch release NAME --station S\n"
              "       (each takes --production-db CONNINFO, or $PX316T_PRODUCTION_DB)\n\n"
              "create: a batch of capcodes N..M (M: the last capcode a run from N may\n"
              "write); refused when its range overlaps another batch of the database or\n"
              "its name differs from another only in case or spaces.\n"
              "list: every batch with its next capcode and its counts.\n"
              "show: one batch: next, used, uncertain, returned, and who holds what.\n"
              "release: for a station that will never come back: its capcodes being\n"
              "written become uncertain, those only reserved go back to the batch.\n"},
    {"history", "Usage: px316t-cli history [--since DATE] [--csv] [--shared]\n\n"
                "Lists the production record: every write and verify with its time (UTC),\n"
                "station, port, capcodes, frequency (in units of 100 Hz, as show gives it:\n"
                "9310125 is 931.0125 MHz), result and the image's SHA-256.\n"
                "--since 2026-12-07 (or 2026-12-07T14:30, UTC) lists only later entries;\n"
                "Entries of capcodes given back (returned) or skipped (uncertain) say why.\n"
                "--csv prints CSV (a field beginning with =, +, - or @ gets a leading ');\n"
                "--shared lists the shared production database (every\n"
                "station) instead of this station's record.\n"},
    {"show", "Usage: px316t-cli show FILE [--json]\n\nPrints every field of the table file as NAME=VALUE, in the "
             "form the window\nshows it, one field per line: in a value, \\\\ is a backslash, \\n, \\r and \\t are\n"
             "line feed, carriage return and tab, and \\xHH is the character U+00HH (the\n"
             "pager's byte HH) for the other characters that show nothing. --json prints\n"
             "one JSON object with the values unescaped instead. Frequencies are in units\n"
             "of 100 Hz (frequency=9310125 is 931.0125 MHz), in show, set and history alike.\n"},
    {"set", "Usage: px316t-cli set FILE NAME=VALUE ...\n\nChanges fields in order, with the window's rules and "
            "messages. A refused\nvalue changes nothing (exit 2); otherwise FILE is replaced atomically.\n"
            "Values take the escapes show prints (\\\\, \\n, \\r, \\t, \\xHH), so show's lines can\n"
            "be set again. Texts are composed as the window composes them; a character\n"
            "the pager's code page (Windows-1252) does not have is refused.\n"
            "Names: see px316t-cli show, or the README.\n"},
    {"diff", "Usage: px316t-cli diff A B [--json]\n\nPrints the fields that differ (NAME: A-value -> B-value), then the other\n"
             "differing bytes by address. Exit 0 when equal, 1 when they differ.\n"},
    {"new", "Usage: px316t-cli new FILE [--force]\n\nWrites the image a newly started window holds (band 928-932MHz with its\n"
            "preset) to FILE; an existing FILE is kept unless --force.\n"},
};

// ---- arguments ---------------------------------------------------------------

struct Args {
    QStringList positional;
    std::map<QString, QString> options;   // --name value, or --flag with an empty value
    std::map<QString, QStringList> all;   // every value of an option given more than once
    std::optional<QString> error;
};

Args parseArgs(const QStringList& list, const QStringList& valued, const QStringList& flags)
{
    Args a;
    for (int i = 0; i < list.size(); ++i) {
        const QString& s = list[i];
        if (valued.contains(s)) {
            if (i + 1 >= list.size()) {
                a.error = s + QStringLiteral(" needs a value");
                return a;
            }
            a.options[s] = list[++i];
            a.all[s] << a.options[s];
        } else if (flags.contains(s)) {
            a.options[s] = QString();
        } else if (s.startsWith(QLatin1String("-")) && s.size() > 1) {
            a.error = QStringLiteral("unknown option ") + s;
            return a;
        } else {
            a.positional << s;
        }
    }
    return a;
}

int usage(const std::string& command, const QString& problem)
{
    say("px316t-cli " + command + ": " + problem.toStdString());
    say("Try 'px316t-cli " + command + " --help'.");
    return Usage;
}

// ---- table files ---------------------------------------------------------------

// The system's words for an error; nothing when there was none.
std::string systemText(const std::error_code& error) { return error ? error.message() : std::string(); }

std::optional<PagerTable> loadTable(const QString& file)
{
    const std::filesystem::path path = file.toStdString();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        say(file + QStringLiteral(": is a folder, not a table file"));
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size != PagerTableSize && std::filesystem::is_regular_file(path, ec)) {
        say(file + QStringLiteral(": not a table file (%1 bytes; a table file holds %2)").arg(size).arg(PagerTableSize));
        return std::nullopt;
    }
    std::error_code reason;
    auto result = readTableFile(path, reason);
    if (auto* error = std::get_if<TableFileError>(&result)) {
        say(file + QStringLiteral(": ") + QString::fromStdString(describeTableFileError(*error, systemText(reason))));
        return std::nullopt;
    }
    const auto& bytes = std::get<std::vector<std::uint8_t>>(result);
    if (bytes.size() != PagerTableSize) {
        say(file + QStringLiteral(": not a table file (%1 bytes; a table file holds %2)").arg(bytes.size()).arg(PagerTableSize));
        return std::nullopt;
    }
    PagerTable table{};
    applyTableFileBytes(table, bytes);
    return table;
}

bool saveTable(const QString& file, const PagerTable& table)
{
    std::error_code reason;
    const TableFileError error = writeTableFile(file.toStdString(), table, reason);
    if (error == TableFileError::None)
        return true;
    say(file + QStringLiteral(": ") + QString::fromStdString(describeTableFileError(error, systemText(reason))));
    return false;
}

// Whether FILE may be written as a table file: not a folder, not an existing
// file without `force`, and in a folder this user can write to; false after
// one line that says why.
bool canReplace(const QString& file, bool force)
{
    const std::filesystem::path path = file.toStdString();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        say(file + QStringLiteral(": is a folder; a table file is needed"));
        return false;
    }
    if (std::filesystem::exists(path, ec) && !force) {
        say(file + QStringLiteral(": exists; --force replaces it"));
        return false;
    }
    const std::filesystem::path parent = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (!std::filesystem::is_directory(parent, ec)) {
        say(file + QStringLiteral(": the folder %1 does not exist").arg(QString::fromStdString(parent.string())));
        return false;
    }
    if (!QFileInfo(QString::fromStdString(parent.string())).isWritable()) {
        say(file + QStringLiteral(": the folder %1 cannot be written to").arg(QString::fromStdString(parent.string())));
        return false;
    }
    return true;
}

// The catalogue's fields that live in byte `address`, by name ("capcode.3,
// capcode.3.type"); empty for a byte of no named field.
std::string fieldsAt(int address)
{
    std::string names;
    for (const FieldEntry& e : fieldCatalog().entries())
        if (std::find(e.addresses.begin(), e.addresses.end(), address) != e.addresses.end())
            names += (names.empty() ? "" : ", ") + e.name;
    return names;
}

// The line said after "Verify Error!": where the pager first differs.
std::string differenceLine(int address)
{
    const std::string fields = fieldsAt(address);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%03X", address);
    return std::string("First difference at address ") + hex +
           (fields.empty() ? std::string(" (a byte of no named field)") : ": " + fields);
}

// One line of JSON whose keys keep the order they were added in (QJsonObject
// sorts them): a script reads the catalogue's order, numbers as numbers.
class JsonLine {
public:
    JsonLine& text(const std::string& key, const std::string& value)
    {
        return raw(key, quoted(value));
    }
    JsonLine& number(const std::string& key, long long value) { return raw(key, std::to_string(value)); }
    JsonLine& boolean(const std::string& key, bool value) { return raw(key, value ? "true" : "false"); }
    JsonLine& raw(const std::string& key, const std::string& json)
    {
        body_ += (body_.empty() ? "" : ",") + quoted(key) + ":" + json;
        return *this;
    }
    std::string str() const { return "{" + body_ + "}"; }
    // Printed whole on stdout, one object per line, even from several boards' threads.
    void print() const
    {
        static std::mutex lock;
        const std::lock_guard<std::mutex> held(lock);
        std::printf("%s\n", str().c_str());
        std::fflush(stdout);
    }
    static std::string quoted(const std::string& value)
    {
        const QByteArray array =
            QJsonDocument(QJsonArray{QString::fromStdString(value)}).toJson(QJsonDocument::Compact);
        return array.mid(1, array.size() - 2).toStdString();
    }

private:
    std::string body_;
};

// The JSON object of one pager: port, first capcode, result, and for a failed
// verify where the pager first differs.
JsonLine pagerJson(const std::string& port, const PagerTable& image, const std::string& result,
                   std::optional<int> difference = std::nullopt)
{
    JsonLine line;
    line.text("port", port);
    if (const auto capcode = firstCapcodeOfRun(image, pairsLongInImage(image)[0]))
        line.number("capcode", static_cast<long long>(*capcode));
    else
        line.raw("capcode", "null");
    line.text("result", result);
    if (difference) {
        line.number("address", *difference);
        line.text("field", fieldsAt(*difference));
    }
    return line;
}

bool wantsJson(const Args& a) { return a.options.count(QStringLiteral("--json")) != 0; }

// ---- the board ---------------------------------------------------------------------

// The parallel-port board's options of an "LPT" build, read once from the
// command line and the environment.
LptProgramOptions& lptOptions()
{
    static LptProgramOptions options;
    return options;
}

// The terminal's messages; a production board holds back the sequence's
// "Verify Success!", which its run says once the pager's bookkeeping committed.
class BoardMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon icon = Icon::None) override
    {
        if (!(holdVerifySuccess && text == QLatin1String("Verify Success!")))
            terminal_.message(portPrefix + text, icon);
    }
    bool askYesNo(const QString& text) override { return terminal_.askYesNo(text); }
    bool holdVerifySuccess = false;
    // "COM3: " when several boards run at once, so that every line names its board.
    QString portPrefix;

private:
    StderrMessages terminal_;
};

struct Board {
#ifdef _WIN32
    Win32SerialPorts ports;
#else
    QtSerialPorts ports;
#endif
    LinkState state;
    clsRegistryAccess registry;
    SilentBoardStatus status;
    BoardMessages messages;
    QtLinkClock clock;
    UsbLink usb{ports, state, registry, status, messages, clock};
    std::string parallelPortError;
    // The board of an "LPT" build; null in a USB build, or when its options cannot be used.
    std::unique_ptr<ParallelPortBoard> parallelPort =
        BuildLinkKind == LinkKind::LPT ? openParallelPortBoard(lptOptions(), messages, clock, parallelPortError)
                                       : nullptr;
    PagerCommandState command;
    ProgrammingSequence sequence{BuildLinkKind, &usb, parallelPort ? parallelPort->link.get() : nullptr, messages,
                                 command};

    // Finds the board as the window does, or takes COM `port`; false (with
    // one line said) when there is none. An "LPT" build finds its parallel-port
    // board and ignores `port`.
    bool connect(const std::optional<QString>& port)
    {
        if (BuildLinkKind == LinkKind::LPT) {
            if (!parallelPort) {
                say(parallelPortError);
                return false;
            }
            return parallelPort->link->FindLptBoard();
        }
        if (port) {
            bool ok = false;
            const int n = port->toInt(&ok);
            if (!ok || n < 1 || n > 255) {
                say(QStringLiteral("--port needs a COM number from 1 to 255, not ") + *port);
                return false;
            }
            int result = SerialOk;
            if (!OpenBoardPort(ports, n, &result)) {
                const std::string why = ports.errorText(n);
                say(QStringLiteral("COM%1 cannot be opened").arg(n)
                    + (why.empty() ? QString() : QStringLiteral(": ") + QString::fromStdString(why)));
                return false;
            }
            ports.close(n);
            state.BoardPort = static_cast<std::int16_t>(n);
            return true;
        }
        BoardDetection detection(LinkKind::USB, ports, state, registry, status, messages, clock);
        if (detection.FindUsbBoard())
            return true;
        if (!detection.permissionProblems().isEmpty())
            say(detection.permissionProblems());
        say(QStringLiteral("The Programmed Board is not responding!"));
        return false;
    }
};

std::optional<std::vector<int>> portNumbers(const Args& a);

// The one board port of a command: nothing when --port is not given. A bad
// --port is bad usage, said in one line: `bad` is set.
std::optional<QString> portOption(const Args& a, const std::string& command, bool& bad)
{
    const auto ports = portNumbers(a);
    bad = !ports;
    if (bad || ports->empty())
        return std::nullopt;
    if (ports->size() > 1) {
        bad = true;
        usage(command, QStringLiteral("takes one --port"));
        return std::nullopt;
    }
    return QString::number(ports->front());
}

// ---- commands ------------------------------------------------------------------------

int cmdPorts(const Args& a)
{
    clsRegistryAccess registry;
    const auto list = readSerialPortList(registry);
    Board board;
    BoardDetection detection(LinkKind::USB, board.ports, board.state, board.registry, board.status,
                             board.messages, board.clock);
    // Every port is asked: a station with several boards sees them all.
    const std::vector<int> boards = detection.FindAllUsbBoards();
    auto answers = [&](const std::optional<int>& number) {
        return number && std::find(boards.begin(), boards.end(), *number) != boards.end();
    };
    for (const ListedPort& p : list) {
        const QString com = p.number ? QStringLiteral("COM%1").arg(*p.number) : QStringLiteral("COM?");
        if (wantsJson(a)) {
            JsonLine line;
            if (p.number)
                line.text("port", com.toStdString()).number("com", *p.number);
            else
                line.raw("port", "null").raw("com", "null");
            line.text("device", p.name).boolean("board", answers(p.number)).print();
            continue;
        }
        std::printf("%-7s %s%s\n", com.toLocal8Bit().constData(), p.name.c_str(),
                    answers(p.number) ? "  programming board" : "");
    }
    if (!detection.permissionProblems().isEmpty())
        say(detection.permissionProblems());
    if (boards.empty()) {
        say(QStringLiteral("The Programmed Board is not responding!"));
        return Failed;
    }
    return Ok;
}

// ---- production data -------------------------------------------------------------

ProductionOptions productionOptions(const Args& a)
{
    ProductionOptions options = productionOptionsFromEnvironment();
    if (const auto it = a.options.find(QStringLiteral("--production-db")); it != a.options.end())
        options.databaseConninfo = it->second.toStdString();
    if (const auto it = a.options.find(QStringLiteral("--station")); it != a.options.end())
        options.station = it->second.toStdString();
    return options;
}

// The record and backups of this station; nothing (after one line) when the
// record cannot be opened, so that no transfer goes unrecorded.
std::unique_ptr<ProductionServices> openProduction(const Args& a)
{
    std::vector<std::string> notices;
    auto services = ProductionServices::open(productionOptions(a), notices);
    for (const std::string& notice : notices)
        say(notice);
    if (!services.ok()) {
        say(services.message());
        return nullptr;
    }
    return std::move(services.value());
}

// A progress view for boards that run side by side: one progress line cannot
// show several boards.
class NoProgress final : public ProgressView {
public:
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}
    void setProgressColor(ProgressColor) override {}
    void setStatusText(const QString&) override {}
};

// ---- commands, continued ------------------------------------------------------------

int cmdRead(const Args& a)
{
    const auto out = a.options.find(QStringLiteral("-o"));
    if (out == a.options.end() || !a.positional.isEmpty())
        return usage("read", QStringLiteral("expected -o FILE"));
    bool badPort = false;
    const auto port = portOption(a, "read", badPort);
    if (badPort)
        return Usage;
    // FILE is checked before the pager is read: a read that cannot be kept
    // would only cost the technician its time.
    if (!canReplace(out->second, a.options.count(QStringLiteral("--force")) != 0))
        return Usage;
    Board board;
    if (!board.connect(port))
        return Failed;
    PagerTable table = makeDefaultPagerTable();
    TerminalProgress progress;
    const std::string portText = portName(BuildLinkKind, board.state.BoardPort);
    if (!board.sequence.read(table, progress)) {
        if (wantsJson(a))
            pagerJson(portText, table, resultText(recordResultOf(board.sequence.lastFailure())))
                .raw("capcode", "null")
                .print();
        return Failed;
    }
    progress.finishLine();
    // The pager as it came; a backup that cannot be written is said once and
    // does not fail the read.
    if (auto backup = writeBackup(defaultBackupFolder(), table); !backup.ok())
        say(backup.message());
    const bool saved = saveTable(out->second, table);
    if (wantsJson(a))
        pagerJson(portText, table, saved ? "success" : "not saved").print();
    return saved ? Ok : Failed;
}

int cmdWriteOrVerify(const Args& a, bool write)
{
    const std::string name = write ? "write" : "verify";
    if (a.positional.size() != 1)
        return usage(name, QStringLiteral("expected one table file"));
    bool badPort = false;
    const auto boardPort = portOption(a, name, badPort);
    if (badPort)
        return Usage;
    const auto table = loadTable(a.positional[0]);
    if (!table)
        return Usage;
    auto production = openProduction(a);
    if (!production)
        return Failed;
    Board board;
    if (!board.connect(boardPort))
        return Failed;
    const std::string port = portName(BuildLinkKind, board.state.BoardPort);
    TerminalProgress progress;
    bool ok = false;
    Status recorded;
    if (write) {
        const PagerTransfer transfer = writeAndVerifyPager(board.sequence, *table, progress);
        ok = transfer.succeeded();
        recorded = recordPagerTransfer(*production, *table, transfer, port);
    } else {
        ok = board.sequence.verify(*table, progress);
        recorded = production->recordTransfer(*table, RecordOperation::Verify,
                                              recordResultOf(board.sequence.lastFailure()), port);
    }
    const auto difference = ok ? std::nullopt : board.sequence.lastDifference();
    if (difference)
        say(differenceLine(*difference));
    if (wantsJson(a))
        pagerJson(port, *table, ok ? "success" : resultText(recordResultOf(board.sequence.lastFailure())), difference)
            .print();
    if (!recorded.ok()) {
        say(recorded.message());
        return Failed;
    }
    return ok ? Ok : Failed;
}

// One board of a production run, made on its own thread.
class BoardProgrammer final : public PagerProgrammer {
public:
    BoardProgrammer(bool terminalProgress, const std::string& portPrefix, const std::string& port, bool json)
        : port_(port), json_(json)
    {
        board_.messages.holdVerifySuccess = true;
        board_.messages.portPrefix = QString::fromStdString(portPrefix);
        if (terminalProgress)
            terminal_ = std::make_unique<TerminalProgress>();
    }
    bool connect(int port) { return board_.connect(QString::number(port)); }
    PagerTransfer writeAndVerify(const PagerTable& image) override
    {
        const PagerTransfer transfer =
            writeAndVerifyPager(board_.sequence, image, terminal_ ? static_cast<ProgressView&>(*terminal_) : none_);
        if (terminal_)
            terminal_->finishLine();
        const auto difference = transfer.succeeded() ? std::nullopt : board_.sequence.lastDifference();
        if (difference)
            say(board_.messages.portPrefix.toStdString() + differenceLine(*difference));
        // A success is printed by the run once the pager's bookkeeping committed.
        if (json_ && !transfer.succeeded())
            pagerJson(port_, image, resultText(transfer.verify ? *transfer.verify : transfer.write), difference).print();
        return transfer;
    }

private:
    Board board_;
    std::string port_;
    bool json_;
    std::unique_ptr<TerminalProgress> terminal_;
    NoProgress none_;
};

// The COM numbers of --port options; nothing (after one line) for a bad one.
std::optional<std::vector<int>> portNumbers(const Args& a)
{
    std::vector<int> ports;
    const auto it = a.all.find(QStringLiteral("--port"));
    if (it == a.all.end())
        return ports;
    for (const QString& text : it->second) {
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || n < 1 || n > 255) {
            say(QStringLiteral("--port needs a COM number from 1 to 255, not ") + text);
            return std::nullopt;
        }
        if (std::find(ports.begin(), ports.end(), n) != ports.end()) {
            say(QStringLiteral("COM%1 is named twice").arg(n));
            return std::nullopt;
        }
        ports.push_back(n);
    }
    return ports;
}

int cmdProduce(const Args& a)
{
    if (a.positional.size() != 1)
        return usage("produce", QStringLiteral("expected one table file"));
    const auto countIt = a.options.find(QStringLiteral("--count"));
    if (countIt == a.options.end())
        return usage("produce", QStringLiteral("--count N is needed: the number of pagers to program"));
    bool countOk = false;
    const qlonglong wanted = countIt->second.trimmed().toLongLong(&countOk);
    if (!countOk)
        return usage("produce", QStringLiteral("--count needs a whole number of pagers, not ") + countIt->second);
    if (wanted < 1)
        return usage("produce", QStringLiteral("--count needs a number of pagers of at least 1"));
    if (wanted > std::numeric_limits<int>::max())
        return usage("produce", QStringLiteral("--count %1 is more pagers than one run counts (at most %2)")
                                    .arg(wanted)
                                    .arg(std::numeric_limits<int>::max()));
    const int count = static_cast<int>(wanted);
    const bool allBoards = a.options.count(QStringLiteral("--all-boards")) != 0;
    auto ports = portNumbers(a);
    if (!ports)
        return Usage;
    if (allBoards && !ports->empty())
        return usage("produce", QStringLiteral("--all-boards and --port exclude each other"));
    const QString file = a.positional[0];
    const auto loaded = loadTable(file);
    if (!loaded)
        return Usage;
    const PagerTable base = *loaded;
    const bool wait = a.options.count(QStringLiteral("--no-wait")) == 0;
    const bool firstPairLong = pairsLongInImage(base)[0];
    const auto first = firstCapcodeOfRun(base, firstPairLong);
    if (!first) {
        say("Capcode 1 (" + shownCapcodeText(base, 0, firstPairLong) + ") is not a capcode that can be raised.");
        return Failed;
    }

    auto production = openProduction(a);
    if (!production)
        return Failed;
    const auto batchIt = a.options.find(QStringLiteral("--batch"));
    const std::string batch = batchIt == a.options.end() ? std::string() : batchIt->second.toStdString();
    if (batchIt != a.options.end() && batch.empty())
        return usage("produce", QStringLiteral("--batch needs a name"));

    // One run per table file: the file is the run's cache of its next capcode.
    auto fileLock = FileLock::tryLock(tableFileLockPath(file.toStdString()));
    if (!fileLock.ok()) {
        say(fileLock.refused() ? file.toStdString() + " is in use by another produce run (" +
                                     tableFileLockPath(file.toStdString()).string() + " is held); nothing was written."
                               : fileLock.message());
        return fileLock.refused() ? Usage : Failed;
    }

    // The sequence before the boards: a refused batch or station touches no pager.
    std::vector<std::string> notices;
    auto opened = production->openSequence(*first, lastCapcodeOfRun(*first, firstPairLong), batch, notices);
    for (const std::string& notice : notices)
        say(notice);
    if (!opened.ok()) {
        say(opened.message());
        return opened.refused() ? Usage : Failed;
    }
    CapcodeSequence& sequence = *opened.value();
    const std::optional<std::uint64_t> startsAt = sequence.peekNext();
    if (!startsAt) {
        say(production->shared() ? "The batch " + batch + " has no capcode left; nothing was written."
                                 : capcodeLimitMessage(lastCapcodeOfRun(*first, firstPairLong)));
        return Failed;
    }
    if (!production->shared() && *startsAt != *first)
        say("Capcode " + std::to_string(*first) + " of " + file.toStdString() +
            " is on this station's record already; the run starts at " + std::to_string(*startsAt) + ".");

    // The boards: those named, every one that answers, or the one the window would find.
    if (ports->empty()) {
        Board probe;
        if (allBoards) {
            BoardDetection detection(LinkKind::USB, probe.ports, probe.state, probe.registry, probe.status,
                                     probe.messages, probe.clock);
            *ports = detection.FindAllUsbBoards();
            if (!detection.permissionProblems().isEmpty())
                say(detection.permissionProblems());
            if (ports->empty()) {
                say(QStringLiteral("The Programmed Board is not responding!"));
                return Failed;
            }
        } else {
            if (!probe.connect(std::nullopt))
                return Failed;
            ports->push_back(probe.state.BoardPort);
        }
    }
    const bool several = ports->size() > 1;
    const bool json = wantsJson(a);

    auto shown = [&](std::uint64_t capcode) {
        return shownCapcodeText(imageWithFirstCapcode(base, capcode, firstPairLong), 0, firstPairLong);
    };
    auto prefix = [several](const std::string& port) { return several ? port + ": " : std::string(); };
    int done = 0;
    bool stoppedByOperator = false;
    bool saveFailed = false;
    bool limitReached = false;
    std::uint64_t inFile = *first;   // the capcode FILE holds

    ProductionPlan plan;
    plan.count = count;
    plan.station = production->station();
    plan.batch = batch;
    plan.imageFor = [&](std::uint64_t capcode) { return imageWithFirstCapcode(base, capcode, firstPairLong); };
    if (wait) {
        plan.beforeNextPager = [&](const std::string& port) {
            const auto next = sequence.peekNext();
            std::fprintf(stderr, "%sNext pager (%d of %d, 1st capcode %s): press Enter ", prefix(port).c_str(),
                         done + 1, count, next ? shown(*next).c_str() : "?");
            std::string line;
            if (!std::getline(std::cin, line)) {
                stoppedByOperator = true;
                return false;
            }
            return true;
        };
    }
    plan.startingPager = [&](const std::string& port, int pager, std::uint64_t capcode) {
        say(prefix(port) + "Pager " + std::to_string(pager) + " of " + std::to_string(count) +
            ": 1st capcode : " + shown(capcode));
    };
    plan.pagerDone = [&](const std::string& port, std::uint64_t capcode) {
        ++done;
        // Said only now: the pager is recorded and its capcode marked used.
        say(prefix(port) + "Verify Success!");
        if (json)
            pagerJson(port, imageWithFirstCapcode(base, capcode, firstPairLong), "success").print();
        const auto next = sequence.peekNext();
        if (!next) {
            // No capcode left: the record says so to the next run before it writes.
            limitReached = true;
            return false;
        }
        // FILE always holds the next capcode to write.
        if (!saveTable(file, imageWithFirstCapcode(base, *next, firstPairLong))) {
            saveFailed = true;
            return false;
        }
        inFile = *next;
        return true;
    };

    std::vector<BoardPlan> boards;
    for (int port : *ports) {
        const std::string name = portName(BuildLinkKind, port);
        boards.push_back({name, [port, several, name, json, linePrefix = prefix(name)]() -> std::unique_ptr<PagerProgrammer> {
                              auto programmer = std::make_unique<BoardProgrammer>(!several, linePrefix, name, json);
                              if (!programmer->connect(port))
                                  return nullptr;
                              return programmer;
                          }});
    }
    const ProductionReport report = runProduction(boards, plan, sequence, production->record());

    // After a failure the file shows the capcode the record gives next.
    if (const auto next = sequence.peekNext(); next && *next != inFile && !saveFailed)
        saveFailed = !saveTable(file, imageWithFirstCapcode(base, *next, firstPairLong));
    const std::string noneLeft = production->shared()
                                     ? "The batch " + batch + " has no capcode left."
                                     : capcodeLimitMessage(lastCapcodeOfRun(*first, firstPairLong));
    bool failed = saveFailed;
    bool exhausted = limitReached;
    for (const BoardReport& b : report.boards) {
        if (b.stop == StepStop::NoCapcodeLeft) {
            exhausted = true;
        } else if (b.failedPager) {
            failed = true;
            say(prefix(b.port) + b.stopReason);
            say(prefix(b.port) +
                QStringLiteral("Stopped at pager %1 of %2.").arg(b.failedPager).arg(count).toStdString());
        } else if (!b.stopReason.empty()) {
            failed = true;
            say(prefix(b.port) + b.stopReason);
        }
    }
    if (exhausted) {
        say(noneLeft);
        // The pagers asked for that could not be written are a failure.
        failed = failed || report.written < count;
    }
    if (stoppedByOperator) {
        say(QStringLiteral("\nStopped after %1 pagers.").arg(done));
        // Fewer pagers than asked for: a script must not take the run as done.
        failed = failed || done < count;
    }
    if (several)
        say(QStringLiteral("%1 pagers written on %2 boards.").arg(report.written).arg(boards.size()));
    return failed ? Failed : Ok;
}

int cmdHistory(const Args& a)
{
    if (!a.positional.isEmpty())
        return usage("history", QStringLiteral("takes no file"));
    std::optional<SystemTime> since;
    if (const auto it = a.options.find(QStringLiteral("--since")); it != a.options.end()) {
        since = parseUtc(it->second.trimmed().toStdString());
        if (!since)
            return usage("history", QStringLiteral("--since needs a UTC date such as 2026-12-07 or 2026-12-07T14:30, not ")
                                        + it->second);
    }
    Outcome<std::vector<RecordEntry>> entries = std::vector<RecordEntry>{};
    if (a.options.count(QStringLiteral("--shared"))) {
        const ProductionOptions options = productionOptions(a);
        if (options.databaseConninfo.empty())
            return usage("history", QStringLiteral("--shared needs --production-db or PX316T_PRODUCTION_DB"));
        auto shared = PgRecordStore::open(options.databaseConninfo);
        if (!shared.ok()) {
            say(shared.message());
            return Failed;
        }
        entries = shared.value()->list(since);
    } else {
        std::string notice;
        auto local = SqliteRecordStore::open(SqliteRecordStore::defaultPath(), &notice);
        if (!notice.empty())
            say(notice);
        if (!local.ok()) {
            say(local.message());
            return Failed;
        }
        entries = local.value()->list(since);
    }
    if (!entries.ok()) {
        say(entries.message());
        return Failed;
    }
    const std::string text = a.options.count(QStringLiteral("--csv")) ? formatRecordCsv(entries.value())
                                                                       : formatRecordTable(entries.value());
    std::fputs(text.c_str(), stdout);
    return Ok;
}

int cmdShow(const Args& a)
{
    if (a.positional.size() != 1)
        return usage("show", QStringLiteral("expected one table file"));
    auto table = loadTable(a.positional[0]);
    if (!table)
        return Usage;
    const EditSession session(*table);
    if (a.options.count(QStringLiteral("--json"))) {
        // Keys in the catalogue's order, as the text form lists them.
        JsonLine object;
        for (const FieldEntry& e : fieldCatalog().entries())
            object.text(e.name, e.show(session));
        object.print();
        return Ok;
    }
    // One line per field: a value's line breaks, NULs and other hidden
    // characters are escaped, so no value can pass for another field.
    for (const FieldEntry& e : fieldCatalog().entries())
        std::printf("%s=%s\n", e.name.c_str(), escapedText(e.show(session)).c_str());
    return Ok;
}

int cmdSet(const Args& a)
{
    if (a.positional.size() < 2)
        return usage("set", QStringLiteral("expected a table file and NAME=VALUE"));
    const QString file = a.positional[0];
    auto table = loadTable(file);
    if (!table)
        return Usage;
    EditSession session(*table);
    for (int i = 1; i < a.positional.size(); ++i) {
        const QString& assignment = a.positional[i];
        const int eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return usage("set", QStringLiteral("expected NAME=VALUE, not ") + assignment);
        const std::string name = assignment.left(eq).trimmed().toStdString();
        const std::string written = assignment.mid(eq + 1).toStdString();
        // The escapes show prints are taken back, so its lines can be set again.
        const auto unescaped = unescapedText(written);
        if (!unescaped) {
            say(name + "=" + written + ": a backslash starts one of \\\\, \\n, \\r, \\t or \\xHH");
            return Usage;
        }
        const std::string& value = *unescaped;
        const FieldEntry* entry = fieldCatalog().find(name);
        if (!entry) {
            say("unknown field name: " + name);
            return Usage;
        }
        if (!entry->set) {
            say(name + ": shown only; it follows from other fields");
            return Usage;
        }
        const SetResult result = entry->set(session, value);
        if (result.outcome != SetOutcome::Changed) {
            say(name + "=" + written + ": " + result.message);
            return Usage;
        }
    }
    return saveTable(file, *table) ? Ok : Failed;
}

int cmdDiff(const Args& a)
{
    if (a.positional.size() != 2)
        return usage("diff", QStringLiteral("expected two table files"));
    auto left = loadTable(a.positional[0]);
    auto right = loadTable(a.positional[1]);
    if (!left || !right)
        return Usage;
    const EditSession l(*left);
    const EditSession r(*right);
    std::vector<bool> explained(PagerTableSize, false);
    bool differ = false;
    const bool json = wantsJson(a);
    JsonLine fields;
    std::string bytes;
    for (const FieldEntry& e : fieldCatalog().entries()) {
        const std::string a1 = e.show(l);
        const std::string b1 = e.show(r);
        if (a1 == b1)
            continue;
        differ = true;
        if (json)
            fields.raw(e.name, JsonLine().text("a", a1).text("b", b1).str());
        else
            std::printf("%s: %s -> %s\n", e.name.c_str(), escapedText(a1).c_str(), escapedText(b1).c_str());
        for (int address : e.addresses)
            if (address >= 0 && address < PagerTableSize)
                explained[address] = true;
    }
    for (int i = 0; i < PagerTableSize; ++i) {
        if ((*left)[i] == (*right)[i])
            continue;
        differ = true;
        if (explained[i])
            continue;
        if (json)
            bytes += (bytes.empty() ? "" : ",") +
                     JsonLine().number("address", i).number("a", (*left)[i]).number("b", (*right)[i]).str();
        else
            std::printf("0x%03X: %02X -> %02X\n", i, (*left)[i], (*right)[i]);
    }
    if (json)
        JsonLine()
            .text("a", a.positional[0].toStdString())
            .text("b", a.positional[1].toStdString())
            .boolean("equal", !differ)
            .raw("fields", fields.str())
            .raw("bytes", "[" + bytes + "]")
            .print();
    return differ ? Failed : Ok;
}

int cmdNew(const Args& a)
{
    if (a.positional.size() != 1)
        return usage("new", QStringLiteral("expected one table file"));
    const QString file = a.positional[0];
    if (!canReplace(file, a.options.count(QStringLiteral("--force")) != 0))
        return Usage;
    return saveTable(file, startupPagerTable()) ? Ok : Failed;
}

} // namespace
} // namespace px316t::cli

int main(int argc, char** argv)
{
    using namespace px316t::cli;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("PX316T"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fputs(MainHelp, stderr);
        return Usage;
    }
    const QStringList valued = {QStringLiteral("--port"),  QStringLiteral("-o"),
                                QStringLiteral("--count"), QStringLiteral("--batch"),
                                QStringLiteral("--since"), QStringLiteral("--production-db"),
                                QStringLiteral("--station"), QStringLiteral("--lpt-simulated"),
                                QStringLiteral("--lpt-vcd"), QStringLiteral("--first"),
                                QStringLiteral("--last")};
    const QStringList flags = {QStringLiteral("--json"), QStringLiteral("--no-wait"), QStringLiteral("--force"),
                               QStringLiteral("--all-boards"), QStringLiteral("--csv"), QStringLiteral("--shared")};
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
        std::fputs(MainHelp, stderr);
        return Usage;
    }
    const std::string command = args.takeFirst().toStdString();
    args << leading;
    if (command == "--version") {
        std::printf("px316t-cli %s\n", PX316T_VERSION);
        return Ok;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(MainHelp, stdout);
        return Ok;
    }
    const auto help = CommandHelp.find(command);
    if (help == CommandHelp.end()) {
        say("px316t-cli: unknown command " + command);
        std::fputs(MainHelp, stderr);
        return Usage;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(help->second, stdout);
        std::fputs("\n", stdout);
        std::fputs(ExitStatusHelp, stdout);
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
    static const QStringList everyCommand = {QStringLiteral("--station"), QStringLiteral("--production-db"),
                                             QStringLiteral("--lpt-simulated"), QStringLiteral("--lpt-vcd")};
    static const std::map<std::string, QStringList> commandOptions = {
        {"ports", {"--json"}},
        {"read", {"-o", "--port", "--force", "--json"}},
        {"write", {"--port", "--json"}},
        {"verify", {"--port", "--json"}},
        {"produce", {"--count", "--port", "--all-boards", "--no-wait", "--batch", "--json"}},
        {"history", {"--since", "--csv", "--shared"}},
        {"show", {"--json"}},
        {"set", {}},
        {"diff", {"--json"}},
        {"new", {"--force"}},
    };
    for (const auto& [option, value] : a.options)
        if (!everyCommand.contains(option) && !commandOptions.at(command).contains(option))
            return usage(command, command == "set" ? QStringLiteral("takes no option ") + option
                                                   : QStringLiteral("does not take ") + option);
    std::vector<std::string> lptArgs;
    for (const char* name : {"--lpt-simulated", "--lpt-vcd"})
        if (const auto it = a.options.find(QLatin1String(name)); it != a.options.end())
            lptArgs.insert(lptArgs.end(), {name, it->second.toStdString()});
    lptOptions() = px316t::parseLptOptions(lptArgs, std::getenv("PX316T_LPT_SIMULATED"), std::getenv("PX316T_LPT_VCD"));
    if (!lptOptions().error.empty())
        return usage(command, QString::fromStdString(lptOptions().error));
    if (command == "ports") return cmdPorts(a);
    if (command == "read") return cmdRead(a);
    if (command == "write") return cmdWriteOrVerify(a, true);
    if (command == "verify") return cmdWriteOrVerify(a, false);
    if (command == "produce") return cmdProduce(a);
    if (command == "history") return cmdHistory(a);
    if (command == "show") return cmdShow(a);
    if (command == "set") return cmdSet(a);
    if (command == "diff") return cmdDiff(a);
    return cmdNew(a);
}

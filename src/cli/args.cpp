#include "cli/args.h"

#include "cli/cli_options.h"

#include <cstdio>

namespace px316t::cli {

void say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }
void say(const QString& line) { say(line.toStdString()); }

namespace {

const char* const CommandsHelp =
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
    "  produce FILE --count N [--port N ...|--all-boards] [--no-wait]\n"
    "          [--batch NAME | --capcodes LIST.csv]\n"
    "                                 production run: write, verify, raise capcode 1\n"
    "  history [--since DATE] [--csv] [--shared]\n"
    "                                 the production record of every write and verify\n"
    "  label BATCH|--local [--capcodes A-B] -o FILE.pdf|--label-printer NAME\n"
    "                                 labels of the pagers the record holds as used\n"
    "  batch create|list|show|release|export|report|stats\n"
    "                                 the batches of the shared production database\n"
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
    "Every command opens a table file as the window's File > Open does: in each\n"
    "long pair the second slot follows the first, the layout bits and the frame\n"
    "mask are made again from the capcodes, and capcodes past the last usable\n"
    "slot are disabled. write, verify and produce send that image (FILE is not\n"
    "rewritten by write or verify); show, diff and set see it; read saves what\n"
    "the window holds after Pager > Read (its backup keeps the bytes as read).\n"
    "\n"
    "Options may stand before or after the command; an option the command does\n"
    "not take is refused. --station, --production-db, --operator and the --lpt\n"
    "options are taken by every command.\n"
    "\n"
    "COMMAND --help describes one command. Without --port the board is found as\n"
    "the window finds it. --port takes a COM number (4 or COM4) or the serial\n"
    "number of the board's USB port (ports lists them), so that identical boards\n"
    "on one station can be named. A build for the parallel-port board takes instead:\n"
    "  --lpt-simulated FILE, --lpt-vcd FILE (or PX316T_LPT_SIMULATED, PX316T_LPT_VCD)\n";

const char* const FilesHelp =
#ifdef _WIN32
    "Every read keeps a backup in %APPDATA%\\px316t\\backups; every write and\n"
    "verify is recorded in %APPDATA%\\px316t\\production.sqlite and, with\n"
    "--production-db CONNINFO (or %PX316T_PRODUCTION_DB%, a PostgreSQL connection\n"
    "string), in that shared database too. --station NAME (or %PX316T_STATION%)\n"
#else
    "Every read keeps a backup in $XDG_DATA_HOME/px316t/backups; every write and\n"
    "verify is recorded in $XDG_DATA_HOME/px316t/production.sqlite and, with\n"
    "--production-db CONNINFO (or $PX316T_PRODUCTION_DB, a PostgreSQL connection\n"
    "string), in that shared database too. --station NAME (or $PX316T_STATION)\n"
#endif
    "names this station in the record; the host name by default. --operator NAME\n"
    "(or $PX316T_OPERATOR) names the operator; the login name by default.\n"
#ifdef _WIN32
    "\n"
    "The connection to the shared database is NOT encrypted in this Windows build\n"
    "(its PostgreSQL client has no TLS): keep the database on the production\n"
    "line's own network.\n"
#endif
    ;

} // namespace

std::string mainHelp()
{
    return std::string(CommandsHelp) + "\nOptions:\n" + optionsHelp() + "\n" + exitStatusHelp() + "\n" + FilesHelp;
}

const std::map<std::string, const char*> CommandHelp = {
    {"ports", "Usage: px316t-cli ports [--json]\n\nLists the serial ports as the program numbers them (COMn and device), with\n"
              "the name, USB vendor:product id and serial number the system gives for\n"
              "each, and asks each one whether it is the programming board; every port\n"
              "that answers is marked. Exit 1 when no board answers.\n"},
    {"read", "Usage: px316t-cli read -o FILE [--port N] [--force] [--json]\n\nReads the pager's 912 bytes into the table file FILE "
             "(replaced\natomically). FILE is checked first: a folder, a FILE that exists\n"
             "(without --force) or a folder that cannot be written to is refused (exit 2)\n"
             "before the pager is read. Exit 1 when the read fails; FILE is then not touched.\n"
             "FILE holds what the window holds after Pager > Read: in each long pair the\n"
             "second slot follows the first, and the layout bits and the frame mask are\n"
             "made from the capcodes; the backup keeps the bytes as they came. A pager\n"
             "whose frame mask is not the one its capcodes give is said on a line of its own.\n"},
    {"write", "Usage: px316t-cli write FILE [--port N] [--json]\n\nWrites the table file FILE into the pager, then verifies "
              "it. Exit 1 when\nthe write or the verification fails. The pager gets what the window writes\n"
              "after File > Open of FILE: in each long pair the second slot follows the\n"
              "first, the layout bits and the frame mask (and its copies) are made again\n"
              "from the capcodes, and capcodes past the last usable slot are disabled.\n"
              "FILE itself is not rewritten.\n"},
    {"verify", "Usage: px316t-cli verify FILE [--port N] [--json]\n\nCompares the pager with the table file FILE as the "
               "window opens it (see\nwrite). Exit 1 on a difference or a failed read. A FILE\n"
               "whose frame mask is not the one its capcodes give is said on a line of its own.\n"},
    {"produce", "Usage: px316t-cli produce FILE --count N [--port N ...|--all-boards] [--no-wait]\n"
                "                          [--batch NAME | --capcodes LIST.csv [--allow-special-addresses]]\n"
                "                          [--json] [--production-db CONNINFO] [--station NAME]\n"
                "                          [--operator NAME] [--labels FILE.pdf | --label-printer NAME]\n\n"
                "Programs N pagers as the programming window does with \"1st Capcode Auto\n"
                "Increase\" after File > Open of FILE (see write: the same rules make the\n"
                "image every pager gets): each pager is written and verified, then capcode 1 goes up by\n"
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
                "as written or possibly written, and FILE only caches the next one. A record\n"
                "that lost capcodes the capcode journal (in the backups folder) holds as\n"
                "written gets them back as uncertain, and that run stops before any pager\n"
                "(exit 1); run it again to go on after them.\n\n"
                "With a shared production database the capcodes come from the batch NAME\n"
                "(--batch, required), which must exist (px316t-cli batch create); an unknown\n"
                "batch, --batch without a database, a station name that is running already,\n"
                "or FILE in use by another run is refused (exit 2) before any pager.\n\n"
                "--capcodes LIST.csv (no shared database) takes the capcodes from a carrier's\n"
                "allocation list in its order instead (columns by header name: capcode, and\n"
                "customer, order, label, others kept; see docs/example-allocation.csv):\n"
                "each pager gets the list's earliest capcode the record holds nothing for,\n"
                "and a later run with the same list goes on where this one stopped. A list\n"
                "with a bad line (each named FILE:LINE: reason), or a list new to the record\n"
                "that holds capcodes it holds as used or uncertain (named), is refused\n"
                "(exit 2). FLEX's own addresses (1933313 to 2031614) need\n"
                "--allow-special-addresses.\n\n"
                "Each entry of the record names the operator (--operator, $PX316T_OPERATOR,\n"
                "else the login name), the program version and FILE with its SHA-256.\n\n"
                "Each capcode is committed as `writing' before its first write frame and as\n"
                "`used' before \"Verify Success!\" is said. A run that was cut off is\n"
                "recovered by the next start: capcodes it had not begun to write go back,\n"
                "those it was writing become `uncertain' and are never handed out again\n"
                "(history and batch show list them). After a crash: just start again.\n\n"
                "--labels FILE.pdf (every label of the run so far, the file written again\n"
                "after each pager) or --label-printer NAME (a job per label) makes a label\n"
                "for each pager once its capcode is used, never for an uncertain one. A\n"
                "label that fails is said (with --json as {\"label\":\"not printed\"}); the\n"
                "pager stands, the exit status stays the pagers', and px316t-cli label\n"
                "prints it again.\n"},
    {"label", "Usage: px316t-cli label BATCH [--capcodes A-B] (-o FILE.pdf | --label-printer NAME)\n"
              "       px316t-cli label --local [--capcodes A-B] (-o FILE.pdf | --label-printer NAME)\n\n"
              "A label for each pager the record holds as written, verified and used: of\n"
              "the batch BATCH of the shared database (--production-db or\n"
              "$PX316T_PRODUCTION_DB), or with --local of this station's own record; only\n"
              "capcodes A to B with --capcodes. Uncertain, returned or later failed\n"
              "capcodes get none. The label size is a setting of the window (62 x 29 mm\n"
              "unless changed there).\n"},
    {"batch", "Usage: px316t-cli batch create NAME --first N [--last M] [--allow-special-addresses]\n"
              "       px316t-cli batch create NAME --capcodes LIST.csv [--allow-special-addresses]\n"
              "       px316t-cli batch list\n"
              "       px316t-cli batch show NAME\n"
              "       px316t-cli batch release NAME --station S\n"
              "       px316t-cli batch export NAME [--csv]\n"
              "       px316t-cli batch report NAME (-o FILE.pdf | --csv [-o FILE.csv])\n"
              "       px316t-cli batch stats NAME [--json] [--watch]\n"
              "       (each takes --production-db CONNINFO, or $PX316T_PRODUCTION_DB)\n\n"
              "create: a batch of capcodes N..M (without --last: up to 1933312, before the\n"
              "addresses FLEX keeps for itself, 1933313 to 2031614, which a batch reaches\n"
              "into only with --allow-special-addresses; from a long N: up to 4291000000),\n"
              "or of a carrier's allocation list, walked in its order (columns by header\n"
              "name: capcode, and customer, order, label, others kept; every bad line is\n"
              "named FILE:LINE: reason and nothing is created). Refused when it shares a\n"
              "capcode with another batch (the capcodes are named) or its name differs\n"
              "from another only in case or spaces.\n"
              "list: every batch with its next capcode and its counts.\n"
              "show: one batch: its range or list, how many are left, the next ones (with\n"
              "their customers), used, uncertain, returned, and who holds what.\n"
              "export: CSV on stdout: every capcode of a list (never handed out: left) or\n"
              "every capcode a range handed out, with its customer, order, label, other\n"
              "columns, state, station, operator, port, time, image SHA-256, table file\n"
              "and its SHA-256, program version and reason.\n"
              "release: for a station that will never come back: its database session\n"
              "is ended (it can be started again under its name at once), its capcodes\n"
              "being written become uncertain, those only reserved go back to the batch.\n"
              "report: the report a customer signs: range or list, counts, each uncertain\n"
              "or returned capcode with its reason, stations and operators with their\n"
              "pagers and times, table files with their SHA-256, the program version; as\n"
              "PDF, or with --csv as CSV (on stdout without -o).\n"
              "stats: pagers, failures and uncertain capcodes per station over the last 8\n"
              "hours and each station's rate now against its boards' limit (990 pagers an\n"
              "hour each); --json as one object; --watch again every 5 seconds until\n"
              "Ctrl+C or the end of input.\n"},
    {"history", "Usage: px316t-cli history [--since DATE] [--csv] [--shared]\n\n"
                "Lists the production record: every write and verify with its time (UTC),\n"
                "station, port, capcodes, frequency (in units of 100 Hz, as show gives it:\n"
                "9310125 is 931.0125 MHz), result, the image's SHA-256, the operator, the\n"
                "program version, the table file and its SHA-256, and for a capcode from an\n"
                "allocation list the list, customer, order, label and its other columns.\n"
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
             "of 100 Hz (frequency=9310125 is 931.0125 MHz), in show, set and history alike.\n"
             "FILE is seen as the window opens it (see write): a stale frame mask shows\n"
             "the mask made from the capcodes. Then, for each enabled capcode, a comment\n"
             "line with its label form and FLEX frame and phase, which set passes over:\n"
             "# capcode.1.flex=A1000100 frame 42 phase 1\n"},
    {"set", "Usage: px316t-cli set FILE NAME=VALUE ...\n\nChanges fields in order, with the window's rules and "
            "messages. A refused\nvalue changes nothing (exit 2); otherwise FILE is replaced atomically.\n"
            "Values take the escapes show prints (\\\\, \\n, \\r, \\t, \\xHH), so show's lines can\n"
            "be set again. Texts are composed as the window composes them; a character\n"
            "the pager's code page (Windows-1252) does not have is refused. A choice or\n"
            "switch set to the value it shows changes nothing, as in the window. FILE is\n"
            "opened as the window opens it (see write) and saved with the changes.\n"
            "Arguments starting with # (show's comment lines) are passed over. A capcode\n"
            "FLEX keeps for itself (1933313 to 2031614) is stored, with a warning.\n"
            "Names: see px316t-cli show, or the README.\n"},
    {"diff", "Usage: px316t-cli diff A B [--json]\n\nPrints the fields that differ (NAME: A-value -> B-value), then the other\n"
             "differing bytes by address, of A and B as the window opens them (see\n"
             "write). Exit 0 when equal, 1 when they differ.\n"},
    {"new", "Usage: px316t-cli new FILE [--force]\n\nWrites the image a newly started window holds (band 928-932MHz with its\n"
            "preset) to FILE; an existing FILE is kept unless --force.\n"},
};

// ---- arguments ---------------------------------------------------------------

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

bool wantsJson(const Args& a) { return a.options.count(QStringLiteral("--json")) != 0; }

} // namespace px316t::cli

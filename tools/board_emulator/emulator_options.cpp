#include "emulator_options.h"

#include <charconv>

namespace px316t::emulator {

namespace {

bool parseCount(const std::string& text, int low, int high, int& value)
{
    int parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto number = [&](int low, int high, int& value) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a number";
                return false;
            }
            if (!parseCount(args[++i], low, high, value)) {
                error = arg + " takes a number from " + std::to_string(low) + " to " + std::to_string(high)
                    + ", not \"" + args[i] + "\"";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--com") {
            if (!number(1, 255, options.com))
                return std::nullopt;
        } else if (arg == "--memory") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--memory needs a file name";
                return std::nullopt;
            }
            options.memoryFile = args[++i];
        } else if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "--log-frames") {
            options.logFrames = true;
        } else if (arg == "--silent") {
            options.faults.silent = true;
        } else if (arg == "--delay") {
            if (!number(0, 600000, options.faults.replyDelayMs))
                return std::nullopt;
        } else if (arg == "--bad-checksum") {
            options.faults.badChecksum = true;
        } else if (arg == "--bad-ack") {
            options.faults.badAck = true;
        } else if (arg == "--noise") {
            if (!number(0, 100000, options.faults.noiseBytes))
                return std::nullopt;
        } else if (arg == "--short-reply") {
            if (!number(1, 300, options.faults.cutBytes))
                return std::nullopt;
        } else if (arg == "--unplug-after") {
            if (!number(1, 1000000, options.faults.unplugAfterFrames))
                return std::nullopt;
        } else {
            error = "unknown option \"" + arg + "\" (see --help)";
            return std::nullopt;
        }
    }
    return options;
}

std::string usageText(const std::string& program)
{
    return "Usage: " + program + " [options]\n"
        "\n"
        "Plays the PX316T USB programming board on a pseudo-terminal and registers it\n"
        "as a COM port (a link comN in $XDG_CONFIG_HOME/px316t/ports, by default\n"
        "~/.config/px316t/ports). It answers the board query (5R), the board setting\n"
        "(5S), memory writes (3S) and memory reads (3R) over a 2 KiB pager memory,\n"
        "pacing its replies like a 9600-baud line.\n"
        "\n"
        "Using it with the program: start the emulator first and wait for the line\n"
        "  px316t-board-emulator: COMn on /dev/pts/K (link ...)\n"
        "then start px316t as the same user (and with the same XDG_CONFIG_HOME). The\n"
        "program finds the board at start-up, or within 3 seconds when it is already\n"
        "running, shows \"The Programmed Board Connect !\" and enables the Pager menu.\n"
        "Stopping the emulator (Ctrl+C, SIGTERM) removes the link: the program sees the\n"
        "board unplugged; starting it again plugs it back in.\n"
        "\n"
        "Options:\n"
        "  --com N            register as COMN (1..255; default: the first free number)\n"
        "  --memory FILE      load the pager memory from the 912-byte table FILE at\n"
        "                     start if it exists, and write it back after every\n"
        "                     accepted write frame\n"
        "  --fast             reply at once instead of at 9600 baud (~1.04 ms a byte)\n"
        "  --log-frames       print a line for every frame answered, once it took\n"
        "                     effect: \"write ADDRESS HEXDATA\" or \"read ADDRESS COUNT\"\n"
        "                     (addresses in hexadecimal): what reached the pager\n"
        "  --help             show this text\n"
        "\n"
        "Faults:\n"
        "  --silent           never reply (a serial device that is not the board)\n"
        "  --delay MS         hold every reply MS milliseconds (over 2000: time-outs)\n"
        "  --bad-checksum     send replies with a wrong checksum\n"
        "  --bad-ack          acknowledge writes and settings with NAK instead of ACK\n"
        "  --noise N          send N noise bytes before every reply\n"
        "  --short-reply N    cut N bytes off the end of every reply\n"
        "  --unplug-after N   vanish (remove the link, close the port) once N frames\n"
        "                     were answered, as an unplugged board\n";
}

} // namespace px316t::emulator

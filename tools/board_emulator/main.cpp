// px316t-board-emulator: plays the USB programming board on a pseudo-terminal
// registered as a COM port, so the program (and the end-to-end tests) can talk
// to a board without hardware. See --help.
#include "emulator_options.h"
#include "sim/board_responder.h"
#include "registry/serial_port_map.h"
#include "table/pager_table.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

namespace fs = std::filesystem;
using namespace px316t;
using Clock = std::chrono::steady_clock;

namespace {

// One byte on a 9600-baud line: start bit, 8 data bits, stop bit.
constexpr auto ByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 9600);
constexpr const char* Name = "px316t-board-emulator";

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char c = 's';
    [[maybe_unused]] const auto ignored = ::write(stopPipe[1], &c, 1);
}

struct Pty {
    int master = -1;
    int slave = -1;   // held open so the master never sees a hang-up between clients
    std::string device;
};

bool openPty(Pty& pty, std::string& error)
{
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty.master < 0 || ::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(pty.master, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    pty.device = name;
    pty.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0) {
        error = "cannot open " + pty.device + ": " + std::strerror(errno);
        return false;
    }
    // Raw from the start: no echo or line editing before a client sets the line.
    termios raw {};
    ::tcgetattr(pty.slave, &raw);
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    ::tcsetattr(pty.slave, TCSANOW, &raw);
    return true;
}

void closePty(Pty& pty)
{
    if (pty.slave >= 0)
        ::close(pty.slave);
    if (pty.master >= 0)
        ::close(pty.master);
    pty.slave = pty.master = -1;
}

bool linkTaken(const fs::path& link)
{
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(link, ec)) || fs::exists(fs::symlink_status(link, ec));
}

// The lowest number without a comN entry. Only the folder is consulted: listing
// the machine's ports would register them there as a side effect.
int firstFreeCom(const fs::path& folder)
{
    for (int n = 1; n <= 255; ++n) {
        if (!linkTaken(folder / ("com" + std::to_string(n))))
            return n;
    }
    return 0;
}

bool registerLink(const fs::path& link, const std::string& device, std::string& error)
{
    std::error_code ec;
    fs::create_directories(link.parent_path(), ec);
    if (fs::is_symlink(fs::symlink_status(link, ec))) {
        // A link left by a board that is gone may be taken over; a live one not.
        if (fs::exists(link, ec)) {
            error = link.filename().string() + " is registered already (" + fs::read_symlink(link, ec).string()
                + "); choose another --com";
            return false;
        }
        fs::remove(link, ec);
    } else if (fs::exists(fs::symlink_status(link, ec))) {
        error = link.string() + " exists and is not a link; choose another --com";
        return false;
    }
    fs::create_symlink(device, link, ec);
    if (ec) {
        error = "cannot create " + link.string() + ": " + ec.message();
        return false;
    }
    return true;
}

void removeLink(const fs::path& link, const std::string& device)
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == fs::path(device))
        fs::remove(link, ec);
}

bool loadMemory(const std::string& file, BoardResponder::Memory& memory, std::string& error)
{
    std::error_code ec;
    if (!fs::exists(file, ec))
        return true;
    if (fs::file_size(file, ec) != static_cast<std::uintmax_t>(PagerTableSize) || ec) {
        error = file + " is not a " + std::to_string(PagerTableSize) + "-byte table file";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(memory.data()), PagerTableSize)) {
        error = "cannot read " + file;
        return false;
    }
    return true;
}

// Written to a neighbour and renamed, so a reader never sees half a table.
void saveMemory(const std::string& file, const BoardResponder::Memory& memory)
{
    const std::string temporary = file + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(memory.data()), PagerTableSize);
        if (!out.flush()) {
            std::cerr << Name << ": cannot write " << temporary << "\n";
            return;
        }
    }
    std::error_code ec;
    fs::rename(temporary, file, ec);
    if (ec)
        std::cerr << Name << ": cannot replace " << file << ": " << ec.message() << "\n";
}

struct Outgoing {
    Clock::time_point at;
    std::uint8_t byte;
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<emulator::Options> parsed = emulator::parseOptions(args, error);
    if (!parsed) {
        std::cerr << Name << ": " << error << "\n";
        return 2;
    }
    const emulator::Options& options = *parsed;
    if (options.help) {
        std::cout << emulator::usageText(Name);
        return 0;
    }

    BoardResponder board(options.faults);
    if (!options.memoryFile.empty() && !loadMemory(options.memoryFile, board.memory(), error)) {
        std::cerr << Name << ": " << error << "\n";
        return 1;
    }
    if (!options.memoryFile.empty())
        board.onMemoryWritten = [&] { saveMemory(options.memoryFile, board.memory()); };
    if (options.logFrames) {
        board.onWriteFrame = [](std::size_t address, std::span<const std::uint8_t> data) {
            std::printf("write %04zx ", address);
            for (std::uint8_t b : data)
                std::printf("%02x", b);
            std::printf("\n");
            std::fflush(stdout);
        };
        board.onReadFrame = [](std::size_t address, std::size_t count) {
            std::printf("read %04zx %zu\n", address, count);
            std::fflush(stdout);
        };
    }

    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::cerr << Name << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Pty pty;
    if (!openPty(pty, error)) {
        std::cerr << Name << ": " << error << "\n";
        return 1;
    }
    const fs::path folder = SerialPortMap::linkFolder();
    const int com = options.com > 0 ? options.com : firstFreeCom(folder);
    if (com == 0) {
        std::cerr << Name << ": no free COM number between 1 and 255\n";
        closePty(pty);
        return 1;
    }
    const fs::path link = folder / ("com" + std::to_string(com));
    if (!registerLink(link, pty.device, error)) {
        std::cerr << Name << ": " << error << "\n";
        closePty(pty);
        return 1;
    }
    std::cout << Name << ": COM" << com << " on " << pty.device << " (link " << link.string() << ")"
              << std::endl;

    std::deque<Outgoing> out;
    Clock::time_point lineIn = Clock::now();    // when the last received byte finished arriving
    Clock::time_point lineOut = Clock::now();   // when the last queued reply byte is sent
    const auto byteTime = options.fast ? Clock::duration::zero()
                                       : std::chrono::duration_cast<Clock::duration>(ByteTime);
    bool plugged = true;
    bool blocked = false;   // the terminal's buffer is full: wait until it drains
    bool stop = false;
    // A real port's exclusive mode (which Qt sets) ends with its last opener;
    // the emulator holds the slave open itself, so it ends it whenever the
    // line has gone quiet, or a client killed while it held the port would
    // keep every later one out (the superuser aside).
    bool exclusiveCleared = true;
    std::uint8_t buffer[4096];

    while (!stop) {
        const short events = static_cast<short>(POLLIN | (blocked ? POLLOUT : 0));
        pollfd fds[2] = {{stopPipe[0], POLLIN, 0}, {plugged ? pty.master : -1, events, 0}};
        timespec timeout {};
        timespec* wait = nullptr;
        if (!out.empty() && !blocked) {
            const auto left = std::max(Clock::duration::zero(), out.front().at - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            wait = &timeout;
        } else if (!exclusiveCleared) {
            timeout.tv_nsec = 100'000'000;
            wait = &timeout;
        }
        const int ready = ::ppoll(fds, 2, wait, nullptr);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready == 0 && out.empty() && plugged && !exclusiveCleared) {
            ::ioctl(pty.slave, TIOCNXCL);
            exclusiveCleared = true;
        }
        if (fds[0].revents & POLLIN) {
            stop = true;
            break;
        }

        if (plugged && (fds[1].revents & POLLIN)) {
            const ssize_t got = ::read(pty.master, buffer, sizeof buffer);
            exclusiveCleared = exclusiveCleared && got <= 0;
            const Clock::time_point now = Clock::now();
            for (ssize_t i = 0; i < got; ++i) {
                lineIn = std::max(lineIn, now) + byteTime;
                const Bytes reply = board.receive(buffer[i]);
                if (reply.empty())
                    continue;
                Clock::time_point at = std::max(lineIn, lineOut) + std::chrono::milliseconds(board.faults().replyDelayMs);
                for (const std::uint8_t b : reply) {
                    at += byteTime;
                    out.push_back({at, b});
                }
                lineOut = at;
            }
        }

        // Send every byte that is due, as one write.
        const Clock::time_point now = Clock::now();
        std::size_t due = 0;
        while (due < out.size() && due < sizeof buffer && out[due].at <= now) {
            buffer[due] = out[due].byte;
            ++due;
        }
        if (due > 0 && plugged) {
            const ssize_t sent = ::write(pty.master, buffer, due);
            if (sent > 0)
                out.erase(out.begin(), out.begin() + sent);
            blocked = sent < static_cast<ssize_t>(due);
        }

        if (plugged && board.unplugged() && out.empty()) {
            removeLink(link, pty.device);
            closePty(pty);
            plugged = false;
            std::cout << Name << ": COM" << com << " unplugged" << std::endl;
        }
    }

    if (plugged) {
        removeLink(link, pty.device);
        closePty(pty);
    }
    return 0;
}

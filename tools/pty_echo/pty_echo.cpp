// A pseudo-terminal that sends back every byte it receives: the far end of a
// COM port for the Windows serial tests under wine. Prints the terminal's name,
// then echoes until it is stopped.
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

int main()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("pty-echo");
        return 1;
    }
    const char* name = ::ptsname(master);
    // Held open so the terminal stays while wine opens and closes it; raw, so
    // no byte is changed on its way.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    termios settings{};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0) {
        std::perror("pty-echo");
        return 1;
    }
    ::cfmakeraw(&settings);
    ::tcsetattr(slave, TCSANOW, &settings);
    std::printf("%s\n", name);
    std::fflush(stdout);
    unsigned char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            ::usleep(10000);
            continue;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(master, buffer + done, static_cast<size_t>(n - done));
            if (w > 0)
                done += w;
        }
    }
}

// The Win32 serial backend, under wine in the Windows stage of the tests. The
// stage script gives a COM port whose far end echoes every byte (a
// pseudo-terminal behind wine's COM mapping) in PX316T_TEST_ECHO_COM.
#include "link/usb/win32_serial_ports.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace px316t {
namespace {

TEST(Win32SerialPorts, OpenFailuresSayWhatToDo)
{
    struct Case {
        unsigned long error;
        int result;
        const char* words;
    };
    for (const Case& c : {Case{ERROR_SHARING_VIOLATION, SerialBusy, "COM3 is in use by another program"},
                          Case{ERROR_FILE_NOT_FOUND, SerialBadPort, "COM3 is not a serial port of this computer"},
                          Case{ERROR_ACCESS_DENIED, SerialPermissionDenied, "Access to COM3 was denied"},
                          Case{ERROR_GEN_FAILURE, SerialOpenFailed, "Cannot open COM3: "}}) {
        std::string text;
        EXPECT_EQ(win32OpenFailure(3, c.error, text), c.result) << c.error;
        EXPECT_NE(text.find(c.words), std::string::npos) << text;
    }
}

TEST(Win32SerialPorts, APortThatIsNotThereIsRefusedWithItsNumber)
{
    Win32SerialPorts ports;
    EXPECT_EQ(ports.open(219), SerialBadPort);
    EXPECT_NE(ports.errorText(219).find("COM219 is not a serial port"), std::string::npos) << ports.errorText(219);
    EXPECT_EQ(ports.open(0), SerialBadPort);
    std::uint8_t byte = 0;
    EXPECT_EQ(ports.write(219, &byte, 1), SerialNotOpen);
    EXPECT_EQ(ports.read(219, &byte, 1), SerialNotOpen);
    EXPECT_EQ(ports.lstatus(219), SerialNotOpen);
    EXPECT_EQ(ports.close(219), SerialNotOpen);
}

TEST(Win32SerialPorts, BytesGoOutAndComeBackUnchangedWithoutBlocking)
{
    const char* echo = std::getenv("PX316T_TEST_ECHO_COM");
    if (!echo || !*echo)
        GTEST_SKIP() << "no echoing COM port (PX316T_TEST_ECHO_COM)";
    const int port = std::atoi(echo);
    Win32SerialPorts ports;
    ASSERT_EQ(ports.open(port), SerialOk) << ports.errorText(port);
    EXPECT_EQ(ports.open(port), SerialOpenFailed);
    ASSERT_EQ(ports.ioctl(port, BaudCode9600, Mode8N1), SerialOk) << ports.errorText(port);
    EXPECT_EQ(ports.ioctl(port, BaudCode9600, 0), SerialBadParameter);
    ASSERT_EQ(ports.flush(port, FlushBoth), SerialOk);
    EXPECT_GE(ports.lstatus(port), 0);

    // Nothing waiting: a read returns at once.
    std::uint8_t buffer[600];
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(ports.getch(port), SerialNoData);
    EXPECT_EQ(ports.read(port, buffer, sizeof buffer), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));

    // Every byte value, line ends and flow-control characters included.
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 512; ++i)
        sent.push_back(static_cast<std::uint8_t>(i));
    ASSERT_EQ(ports.write(port, sent.data(), static_cast<int>(sent.size())), 512) << ports.errorText(port);
    std::vector<std::uint8_t> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received.size() < sent.size() && std::chrono::steady_clock::now() < deadline) {
        const int waiting = ports.iqueue(port);
        ASSERT_GE(waiting, 0) << ports.errorText(port);
        if (waiting == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const int first = ports.getch(port);
        ASSERT_GE(first, 0);
        received.push_back(static_cast<std::uint8_t>(first));
        const int got = ports.read(port, buffer, sizeof buffer);
        ASSERT_GE(got, 0) << ports.errorText(port);
        received.insert(received.end(), buffer, buffer + got);
    }
    EXPECT_EQ(received, sent);
    EXPECT_EQ(ports.close(port), SerialOk);
    EXPECT_EQ(ports.lstatus(port), SerialNotOpen);
}

} // namespace
} // namespace px316t

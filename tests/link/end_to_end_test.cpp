// The link end to end: the Qt serial layer on real pseudo-terminals, served by
// the board emulator program, found through the registry's serial-port list.
#include "link/board_detection.h"
#include "link/qt_link_clock.h"
#include "link/usb/qt_serial_ports.h"
#include "link/usb/serial_port_lock.h"
#include "link/usb/usb_link.h"

#include "registry/registry_backend.h"
#include "support/link_emulator_process.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>

namespace px316t {
namespace {

using testing::EmulatorProcess;

const QString ConnectText = QStringLiteral("  The Programmed Board Connect !");
const QString DisconnectText = QStringLiteral("  The Programmed Board Disconnect !");

class EndToEndTest : public ::testing::Test {
protected:
    EndToEndTest()
    {
        std::iota(table.begin(), table.end(), 0x40);
    }

    SerialPortMapOptions portOptions() const
    {
        SerialPortMapOptions options;
        options.configHome = configHome().toStdString();
        options.includeSystemPorts = false;   // only the emulators' links
        return options;
    }
    QString configHome() const { return dir.filePath(QStringLiteral("config")); }

    std::unique_ptr<EmulatorProcess> startEmulator(const QStringList& arguments)
    {
        auto emulator = std::make_unique<EmulatorProcess>(QStringLiteral(PX316T_BOARD_EMULATOR), configHome(), arguments);
        EXPECT_TRUE(emulator->ready) << emulator->output.join('\n').toStdString()
                                     << emulator->process.readAllStandardError().toStdString();
        return emulator;
    }

    QTemporaryDir dir;
    clsRegistryAccess registry{makePortableRegistryBackend(
        {dir.filePath(QStringLiteral("registry.sqlite")).toStdString(), portOptions()})};
    QtSerialPorts ports{portOptions()};
    QtLinkClock clock;
    LinkState state;
    testing::RecordingBoardStatusView status;
    testing::RecordingMessageBoxes boxes;
    testing::RecordingProgressView progress;
    UsbLink link{ports, state, registry, status, boxes, clock};
    BoardDetection detection{LinkKind::USB, ports, state, registry, status, boxes, clock};
    PagerTable table{};
};

TEST_F(EndToEndTest, SilentPortBeforeTheBoardThenAWholeWriteAndRead)
{
    const QString memoryFile = dir.filePath(QStringLiteral("pager.tbl"));
    const auto silent = startEmulator({"--com", "1", "--silent", "--fast"});
    const auto board = startEmulator({"--com", "4", "--fast", "--memory", memoryFile});
    ASSERT_TRUE(silent->ready && board->ready);

    EXPECT_TRUE(detection.runStartupProbe());
    EXPECT_EQ(state.BoardPort, 4);
    EXPECT_EQ(state.SerialPortCount, 2);
    EXPECT_TRUE(boxes.messages.empty()) << boxes.texts().join('|').toStdString();
    EXPECT_LT(ports.lstatus(1), 0);
    EXPECT_LT(ports.lstatus(4), 0);

    ASSERT_TRUE(link.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress));
    QFile saved(memoryFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), PagerTableSize);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), reinterpret_cast<const std::uint8_t*>(bytes.constData())));

    ASSERT_TRUE(link.UsbReadRange(0, PagerTableLast, UsbBlockSize, &progress));
    EXPECT_TRUE(std::equal(table.begin(), table.end(), link.ReadBuffer().begin()));
    EXPECT_EQ(progress.position, 1024);
    EXPECT_TRUE(boxes.messages.empty()) << boxes.texts().join('|').toStdString();
    EXPECT_LT(ports.lstatus(4), 0);
}

TEST_F(EndToEndTest, NoiseBeforeThePacedReplyIsDiscarded)
{
    const auto board = startEmulator({"--noise", "64"});
    ASSERT_TRUE(board->ready);
    EXPECT_TRUE(detection.runStartupProbe());
    EXPECT_EQ(state.BoardPort, board->com);
    EXPECT_EQ(state.SerialPortCount, 1);
    EXPECT_TRUE(boxes.messages.empty()) << boxes.texts().join('|').toStdString();
}

TEST_F(EndToEndTest, TimerNoticesUnplugAndReplug)
{
    auto board = startEmulator({"--com", "3", "--fast"});
    ASSERT_TRUE(board->ready);
    ASSERT_TRUE(detection.runStartupProbe());
    ASSERT_TRUE(detection.Timer1().isActive());
    EXPECT_EQ(status.lineUpdates, 0);   // nothing shown until the first tick

    EXPECT_TRUE(QTest::qWaitFor([&] { return status.text == ConnectText; }, 4000));
    EXPECT_TRUE(status.pagerEnabled);

    board->stop();   // unplugged: its port leaves the list
    EXPECT_TRUE(QTest::qWaitFor([&] { return status.text == DisconnectText; }, 4000));
    EXPECT_FALSE(status.pagerEnabled);
    EXPECT_EQ(state.BoardPort, -1);

    board = startEmulator({"--com", "3", "--fast"});
    ASSERT_TRUE(board->ready);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status.text == ConnectText; }, 4500));
    EXPECT_EQ(state.BoardPort, 3);
    EXPECT_TRUE(status.pagerEnabled);
    EXPECT_TRUE(boxes.messages.empty()) << boxes.texts().join('|').toStdString();
}

TEST_F(EndToEndTest, NoSerialPortAtAll)
{
    EXPECT_FALSE(detection.runStartupProbe());
    EXPECT_EQ(boxes.texts(), QStringList{"The Programmed Board is not responding!"});
    detection.Timer1_Timer();
    EXPECT_EQ(status.text, DisconnectText);
    EXPECT_FALSE(status.pagerEnabled);
    EXPECT_EQ(state.SerialPortCount, 0);
}

TEST_F(EndToEndTest, BoardUnpluggedInMidWrite)
{
    const auto board = startEmulator({"--fast", "--unplug-after", "3"});
    ASSERT_TRUE(board->ready);
    state.BoardPort = static_cast<std::int16_t>(board->com);
    state.SerialPortCount = 1;

    EXPECT_FALSE(link.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress));
    EXPECT_EQ(boxes.texts(), QStringList{"Write error!"});
    EXPECT_EQ(status.text, DisconnectText);
    EXPECT_FALSE(status.pagerEnabled);
    EXPECT_EQ(state.BoardPort, -1);
    EXPECT_EQ(state.SerialPortCount, 0);
    EXPECT_LT(ports.lstatus(board->com), 0);
}

TEST_F(EndToEndTest, DeviceTheUserMayNotOpenIsRecognised)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    ASSERT_EQ(::chmod(device.c_str(), 0), 0);
    const std::filesystem::path folder = SerialPortMap::linkFolder(configHome().toStdString());
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(device, folder / "com9");

    EXPECT_EQ(ports.open(9), SerialPermissionDenied);
    EXPECT_NE(ports.errorText(9).find("No permission to open"), std::string::npos) << ports.errorText(9);
    EXPECT_FALSE(detection.runStartupProbe());
    EXPECT_TRUE(detection.permissionProblems().contains(QStringLiteral("COM9")));
    ::close(master);
}

TEST_F(EndToEndTest, APortLockLeftByAKilledProcessDoesNotHoldThePort)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    const std::filesystem::path folder = SerialPortMap::linkFolder(configHome().toStdString());
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(device, folder / "com7");
    const std::filesystem::path lock = serialLockFilePath(device);
    ASSERT_FALSE(lock.empty());

    // The killed owner's process id now belongs to another program of the
    // name in the file: Qt alone would take the port for held by it.
    QProcess reused;
    reused.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(reused.waitForStarted());
    { std::ofstream(lock) << reused.processId() << "\nsleep\n"; }
    EXPECT_EQ(ports.open(7), SerialOk) << ports.errorText(7);

    // While it is open here, another opener is told who holds it.
    QtSerialPorts other{portOptions()};
    EXPECT_EQ(other.open(7), SerialBusy);
    EXPECT_NE(other.errorText(7).find("in use by another program (test_link, process " +
                                      std::to_string(::getpid()) + ")"),
              std::string::npos)
        << other.errorText(7);
    ports.close(7);
    EXPECT_FALSE(std::filesystem::exists(lock));
    reused.kill();
    reused.waitForFinished();
    ::close(master);
}

TEST(PermissionDeniedText, NamesTheGroupThatGrantsAccess)
{
    QTemporaryDir dir;
    const std::string device = dir.filePath(QStringLiteral("ttyUSB0")).toStdString();
    QFile file(QString::fromStdString(device));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
    const std::string text = permissionDeniedText(3, device);
    EXPECT_NE(text.find("No permission to open " + device + " (COM3)."), std::string::npos) << text;
    // The file belongs to our own group here; the advice names a group only
    // when it is not root's.
    const bool rootGroup = ::getegid() == 0;
    EXPECT_EQ(text.find("usermod -aG") != std::string::npos, !rootGroup) << text;

    ASSERT_EQ(::chmod(device.c_str(), 0600), 0);   // the group may not use it: joining is no help
    EXPECT_NE(permissionDeniedText(3, device).find("Ask the administrator"), std::string::npos);
}

} // namespace
} // namespace px316t

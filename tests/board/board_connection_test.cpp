// The board connection both programs wire their board with, against the board
// emulator program on a pseudo-terminal and the simulated parallel-port board:
// it finds the board, transfers through it, and a board that vanishes is a
// failed transfer and then no board, never a success.
#include "board/board_connection.h"
#include "board/lpt_board.h"
#include "link/lpt/lpt_delay.h"
#include "link/lpt/lpt_link.h"
#include "link/qt_link_clock.h"
#include "sim/lpt_simulated_board.h"
#include "link/usb/qt_serial_ports.h"

#include "registry/registry_backend.h"
#include "support/link_emulator_process.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <numeric>

namespace px316t {
namespace {

class BoardConnectionTest : public ::testing::Test {
protected:
    BoardConnectionTest() { std::iota(table.begin(), table.end(), 0x21); }

    SerialPortMapOptions portOptions() const
    {
        SerialPortMapOptions options;
        options.configHome = dir.filePath(QStringLiteral("config")).toStdString();
        options.includeSystemPorts = false;   // only the emulator's link
        return options;
    }
    BoardConnectionParts parts()
    {
        BoardConnectionParts p;
        p.registry = &registry;
        p.makeSerialPorts = [this] { return std::make_unique<QtSerialPorts>(portOptions()); };
        return p;
    }
    std::unique_ptr<testing::EmulatorProcess> startEmulator(const QStringList& arguments)
    {
        auto emulator = std::make_unique<testing::EmulatorProcess>(
            QStringLiteral(PX316T_BOARD_EMULATOR), dir.filePath(QStringLiteral("config")), arguments);
        EXPECT_TRUE(emulator->ready) << emulator->output.join('\n').toStdString();
        return emulator;
    }
    QByteArray fileBytes(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray bytesOf(const PagerTable& t)
    {
        return QByteArray(reinterpret_cast<const char*>(t.data()), PagerTableSize);
    }

    QTemporaryDir dir;
    clsRegistryAccess registry{makePortableRegistryBackend(
        {dir.filePath(QStringLiteral("registry.sqlite")).toStdString(), portOptions()})};
    testing::RecordingBoardStatusView status;
    testing::RecordingMessageBoxes boxes;
    testing::RecordingProgressView progress;
    PagerCommandState command;
    PagerTable table{};
    std::string problem;
};

TEST_F(BoardConnectionTest, FindsTheUsbBoardAndProgramsThePager)
{
    const auto emulator = startEmulator({"--com", "5", "--fast", "--memory", dir.filePath("pager.tbl")});
    ASSERT_TRUE(emulator->ready);
    BoardConnection board(LinkKind::USB, boxes, status, parts());
    ASSERT_TRUE(board.connect(std::nullopt, problem)) << problem;
    EXPECT_EQ(board.state().BoardPort, 5);

    ProgrammingSequence sequence = board.sequence(command);
    ASSERT_TRUE(sequence.write(table, progress) && sequence.verify(table, progress)) << boxes.texts().join('|').toStdString();
    EXPECT_EQ(fileBytes("pager.tbl"), bytesOf(table));
    EXPECT_FALSE(command.TransferFailed);
}

TEST_F(BoardConnectionTest, ABoardLostInMidWriteFailsAndIsThenNoBoard)
{
    const auto emulator = startEmulator({"--fast", "--unplug-after", "3"});
    ASSERT_TRUE(emulator->ready);
    BoardConnection board(LinkKind::USB, boxes, status, parts());
    ASSERT_TRUE(board.connect(emulator->com, problem)) << problem;

    ProgrammingSequence sequence = board.sequence(command);
    EXPECT_FALSE(sequence.write(table, progress));
    EXPECT_EQ(sequence.lastFailure(), TransferFailure::BoardLost);
    EXPECT_TRUE(command.TransferFailed);
    EXPECT_TRUE(boxes.texts().contains(QStringLiteral("Write error!"))) << boxes.texts().join('|').toStdString();
    EXPECT_FALSE(boxes.texts().contains(QStringLiteral("Verify Success!")));
    EXPECT_EQ(board.state().BoardPort, -1);
    EXPECT_EQ(status.text, QStringLiteral("  The Programmed Board Disconnect !"));
    EXPECT_FALSE(status.pagerEnabled);

    // The next command finds no board, by scan or by number, and says so.
    EXPECT_FALSE(board.connect(std::nullopt, problem));
    EXPECT_EQ(problem, "The Programmed Board is not responding!");
    EXPECT_FALSE(board.connect(emulator->com, problem));
    EXPECT_EQ(problem.rfind("COM" + std::to_string(emulator->com) + " cannot be opened", 0), 0u) << problem;
}

TEST_F(BoardConnectionTest, TheParallelPortBoardIsFoundByItsProbeAndBadOptionsGiveNoBoard)
{
    QFile memory(dir.filePath(QStringLiteral("lpt.tbl")));
    ASSERT_TRUE(memory.open(QIODevice::WriteOnly));
    memory.write(bytesOf(table));
    memory.close();
    LptProgramOptions options;
    options.simulatedMemory = memory.fileName().toStdString();

    // A USB build leaves the parallel-port options alone.
    EXPECT_EQ(BoardConnection(LinkKind::USB, boxes, status, parts()).parallelPort(), nullptr);
    {
        BoardConnectionParts usbParts = parts();
        usbParts.lptOptions = &options;
        EXPECT_EQ(BoardConnection(LinkKind::USB, boxes, status, std::move(usbParts)).parallelPort(), nullptr);
    }

    // A board the program opened itself: the connection finds it by its probe.
    SimulatedBoardSession session;
    std::string error;
    ASSERT_TRUE(session.start(memory.fileName().toStdString(), std::nullopt, error)) << error;
    HighResolutionDelay delay;
    QtLinkClock clock;
    LptLink link(session.board, delay, boxes, clock);
    BoardConnectionParts opened = parts();
    opened.parallelPort = &link;
    opened.findLptBoard = [&link] { return link.FindLptBoard(); };
    BoardConnection board(LinkKind::LPT, boxes, status, std::move(opened));
    ASSERT_EQ(board.parallelPort(), &link);
    ASSERT_TRUE(board.connect(std::nullopt, problem)) << problem << boxes.texts().join('|').toStdString();
    ProgrammingSequence sequence = board.sequence(command);
    PagerTable read{};
    ASSERT_TRUE(sequence.read(read, progress)) << boxes.texts().join('|').toStdString();
    EXPECT_EQ(read, table);

    // A memory file the simulated board cannot use: no board, and why.
    QFile shortFile(dir.filePath(QStringLiteral("short.tbl")));
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write("0123456789");
    shortFile.close();
    options.simulatedMemory = shortFile.fileName().toStdString();
    BoardConnectionParts refusedParts = parts();
    refusedParts.lptOptions = &options;
    BoardConnection refused(LinkKind::LPT, boxes, status, std::move(refusedParts));
    EXPECT_EQ(refused.parallelPort(), nullptr);
    EXPECT_FALSE(refused.connect(std::nullopt, problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(problem, refused.parallelPortError());
}

} // namespace
} // namespace px316t

// Finding the board at start-up and from the polling timer, against the
// in-process board on a virtual clock.
#include "link/board_detection.h"

#include "link/usb/board_frame.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

using testing::FakeBoardPorts;
using testing::FakeClock;

const QString ConnectText = QStringLiteral("  The Programmed Board Connect !");
const QString DisconnectText = QStringLiteral("  The Programmed Board Disconnect !");

class BoardDetectionTest : public ::testing::Test {
protected:
    BoardDetection& detection(LinkKind kind = LinkKind::USB, BoardDetection::LptProbe lpt = {})
    {
        detection_ = std::make_unique<BoardDetection>(kind, ports, state, registry.registry, status, boxes, clock,
                                                      std::move(lpt));
        return *detection_;
    }
    // A board on `com`, listed in the registry.
    BoardResponder& plugBoard(int com, BoardFaults faults = {})
    {
        registry.backend->addPort(com);
        return ports.addBoard(com, faults);
    }
    void plugSilentPort(int com)
    {
        registry.backend->addPort(com);
        ports.addSilentPort(com);
    }
    std::size_t queriesSent(int com)
    {
        const auto& writes = ports.log(com).writes;
        return static_cast<std::size_t>(std::count(writes.begin(), writes.end(), QueryCommand()));
    }

    FakeClock clock;
    FakeBoardPorts ports{clock};
    testing::MemoryRegistry registry;
    testing::RecordingBoardStatusView status;
    testing::RecordingMessageBoxes boxes;
    LinkState state;
    std::unique_ptr<BoardDetection> detection_;
};

TEST_F(BoardDetectionTest, SilentPortIsGivenUpAndTheBoardBehindItFound)
{
    plugSilentPort(1);
    BoardResponder& board = plugBoard(4);
    BoardDetection& d = detection();
    bool timerRanDuringScan = false;
    clock.onEvents = [&] { timerRanDuringScan |= d.Timer1().isActive(); };
    d.Timer1().start();   // the scan stops a running timer and starts it afterwards

    EXPECT_TRUE(d.runStartupProbe());
    EXPECT_FALSE(timerRanDuringScan);
    EXPECT_EQ(state.BoardPort, 4);
    EXPECT_EQ(state.SerialPortCount, 2);
    EXPECT_FALSE(state.StartupProbe);
    EXPECT_TRUE(d.Timer1().isActive());

    // COM1 got one query, no answer within 500 ms, and was closed.
    EXPECT_EQ(ports.log(1).writes, std::vector<Bytes>{QueryCommand()});
    EXPECT_EQ(ports.log(1).opens, 1);
    EXPECT_FALSE(ports.isOpen(1));
    EXPECT_GE(clock.now, 500);
    EXPECT_LT(clock.now, 520);
    // The board got the query and the setting, and its port is closed.
    EXPECT_EQ(ports.log(4).writes, (std::vector<Bytes>{QueryCommand(), buildSettingFrame(0x01)}));
    EXPECT_EQ(board.lastSetting(), 0x01);
    EXPECT_FALSE(ports.isOpen(4));
    // The scan itself changes neither the line nor the menu, and says nothing.
    EXPECT_EQ(status.lineUpdates, 0);
    EXPECT_TRUE(status.pagerEnabled);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(BoardDetectionTest, NoBoardAtStartUpWarnsOnceAndStillStartsTheTimer)
{
    plugSilentPort(2);
    state.BoardPort = 7;
    BoardDetection& d = detection();
    EXPECT_FALSE(d.runStartupProbe());
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, QStringLiteral("The Programmed Board is not responding!"));
    EXPECT_EQ(boxes.messages[0].icon, MessageBoxes::Icon::Warning);
    EXPECT_EQ(state.BoardPort, -1);
    EXPECT_EQ(state.SerialPortCount, 0);   // a failed scan leaves the count alone
    EXPECT_TRUE(d.Timer1().isActive());
    // Outside start-up a failed scan is silent and leaves the timer alone.
    boxes.clear();
    d.Timer1().stop();
    EXPECT_FALSE(d.BoardPresent());
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_FALSE(d.Timer1().isActive());
}

TEST_F(BoardDetectionTest, BytesBeforeTheReplyAreDiscarded)
{
    plugBoard(6, {.noiseBytes = 700});
    EXPECT_TRUE(detection().runStartupProbe());
    EXPECT_EQ(state.BoardPort, 6);
    EXPECT_TRUE(boxes.messages.empty());
    // 700 noise bytes are drained at once, not one per poll interval.
    EXPECT_LT(clock.now, 50);
}

TEST_F(BoardDetectionTest, PortsWithBadRepliesAreSkipped)
{
    // COM1 answers with a broken checksum, COM2 with a good checksum but a
    // foreign header, COM3 sends only part of the reply, COM5 is the board.
    plugBoard(1, {.badChecksum = true});
    registry.backend->addPort(2);
    ports.addScriptedPort(2, [](const Bytes&) { return encodeBoardFrame("5X", Bytes{1, 2}); });
    plugBoard(3, {.cutBytes = 2});
    plugBoard(5);
    EXPECT_TRUE(detection().runStartupProbe());
    EXPECT_EQ(state.BoardPort, 5);
    EXPECT_EQ(state.SerialPortCount, 4);
    for (const int com : {1, 2, 3}) {
        EXPECT_EQ(queriesSent(com), 1u) << com;
        EXPECT_EQ(ports.log(com).writes.size(), 1u) << com;   // no setting for a failed port
        EXPECT_FALSE(ports.isOpen(com)) << com;
    }
}

TEST_F(BoardDetectionTest, UnusableEntriesAndRefusedPortsDoNotStopTheScan)
{
    registry.backend->entries.push_back({"/dev/odd", std::string("COMx")});
    registry.backend->entries.push_back({"/dev/dword", std::uint32_t{5}});
    registry.backend->addPort(8);   // listed, but its device is gone
    registry.backend->addPort(9);
    ports.refuseOpen(9, SerialPermissionDenied, "No permission to open /dev/ttyACM0 (COM9).");
    plugBoard(11);
    BoardDetection& d = detection();
    EXPECT_TRUE(d.runStartupProbe());
    EXPECT_EQ(state.BoardPort, 11);
    EXPECT_EQ(state.SerialPortCount, 5);   // every entry counts
    EXPECT_EQ(d.permissionProblems(), QStringLiteral("No permission to open /dev/ttyACM0 (COM9)."));
}

TEST_F(BoardDetectionTest, RefusedSettingIsReportedAndTheBoardStillCounts)
{
    plugBoard(2, {.badAck = true});
    EXPECT_TRUE(detection().runStartupProbe());
    EXPECT_EQ(boxes.texts(), QStringList{"Programmer Initial Error !"});
    EXPECT_EQ(boxes.messages[0].icon, MessageBoxes::Icon::None);
    EXPECT_EQ(state.BoardPort, 2);
    EXPECT_FALSE(ports.isOpen(2));
}

TEST_F(BoardDetectionTest, SettingWithoutAnyReplyIsReportedToo)
{
    registry.backend->addPort(3);
    BoardResponder board;
    int frames = 0;
    // Answers the query, then nothing.
    ports.addScriptedPort(3, [&](const Bytes& frame) {
        Bytes reply;
        for (const std::uint8_t b : frame) {
            const Bytes r = board.receive(b);
            reply.insert(reply.end(), r.begin(), r.end());
        }
        return ++frames == 1 ? reply : Bytes{};
    });
    EXPECT_TRUE(detection().runStartupProbe());
    EXPECT_EQ(boxes.texts(), QStringList{"Programmer Initial Error !"});
    EXPECT_EQ(state.BoardPort, 3);
}

TEST_F(BoardDetectionTest, FirstTickAfterStartUpShowsTheBoardConnected)
{
    plugBoard(4);
    BoardDetection& d = detection();
    d.runStartupProbe();
    d.Timer1_Timer();
    EXPECT_EQ(status.text, ConnectText);
    EXPECT_EQ(status.color, QColor(0, 0, 0));
    EXPECT_TRUE(status.pagerEnabled);
    EXPECT_TRUE(d.Timer1().isActive());
    // Confirming the board does not touch its port.
    EXPECT_EQ(ports.log(4).opens, 1);
}

TEST_F(BoardDetectionTest, UnplugAndReplugAreNoticedByTheTicks)
{
    plugBoard(4);
    plugSilentPort(1);
    BoardDetection& d = detection();
    d.runStartupProbe();
    d.Timer1_Timer();
    ASSERT_EQ(status.text, ConnectText);

    registry.backend->removePort(4);
    ports.unplug(4);
    d.Timer1_Timer();
    EXPECT_EQ(status.text, DisconnectText);
    EXPECT_EQ(status.color, QColor(255, 0, 0));
    EXPECT_FALSE(status.pagerEnabled);
    EXPECT_EQ(state.BoardPort, -1);
    EXPECT_EQ(state.SerialPortCount, 1);

    // Same list again: no scan, still disconnected.
    d.Timer1_Timer();
    EXPECT_EQ(queriesSent(1), 0u);
    EXPECT_EQ(status.text, DisconnectText);

    plugBoard(5);   // plugged back in, under a new number
    d.Timer1_Timer();
    EXPECT_EQ(status.text, ConnectText);
    EXPECT_TRUE(status.pagerEnabled);
    EXPECT_EQ(state.BoardPort, 5);
    EXPECT_EQ(state.SerialPortCount, 2);
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_TRUE(d.Timer1().isActive());
}

TEST_F(BoardDetectionTest, MessageLineNamesTheBoardsPortAsTheSystemDescribesIt)
{
    plugBoard(4);
    plugSilentPort(1);
    std::vector<int> asked;
    BoardDetection& d = detection();
    d.describePortsWith([&](int com) {
        asked.push_back(com);
        return QStringLiteral("COM%1 \u2014 USB Serial Port, 0403:6001, serial A10K3Q").arg(com);
    });
    d.runStartupProbe();
    d.Timer1_Timer();
    d.Timer1_Timer();
    EXPECT_EQ(status.text, ConnectText + QStringLiteral("   COM4 \u2014 USB Serial Port, 0403:6001, serial A10K3Q"));
    EXPECT_EQ(asked, std::vector<int>{4}) << "asked again only when the port changes";

    registry.backend->removePort(4);
    ports.unplug(4);
    d.Timer1_Timer();
    EXPECT_EQ(status.text, DisconnectText);
    plugBoard(5);   // back under another number: described afresh
    d.Timer1_Timer();
    EXPECT_EQ(asked, (std::vector<int>{4, 5}));
    EXPECT_EQ(status.text, ConnectText + QStringLiteral("   COM5 \u2014 USB Serial Port, 0403:6001, serial A10K3Q"));
}

TEST_F(BoardDetectionTest, FailedStartUpScanIsRepeatedByTheFirstTickOnly)
{
    plugSilentPort(1);
    BoardDetection& d = detection();
    d.runStartupProbe();
    boxes.clear();
    d.Timer1_Timer();   // count 1 > 0 and no board: scans again, silently
    EXPECT_EQ(queriesSent(1), 2u);
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(status.text, DisconnectText);
    d.Timer1_Timer();   // nothing new listed: no scan
    EXPECT_EQ(queriesSent(1), 2u);
}

TEST_F(BoardDetectionTest, WithNoSerialPortTheTickShowsDisconnectAndNeverScans)
{
    registry.backend->keyMissing = true;
    BoardDetection& d = detection();
    EXPECT_FALSE(d.runStartupProbe());
    d.Timer1_Timer();
    EXPECT_EQ(status.text, DisconnectText);
    EXPECT_FALSE(status.pagerEnabled);
    EXPECT_EQ(state.SerialPortCount, 0);
    EXPECT_EQ(clock.now, 0);   // no port was ever waited on
}

TEST_F(BoardDetectionTest, ParallelPortBuildUsesItsProbeAndNeverPolls)
{
    int probes = 0;
    plugBoard(4);
    BoardDetection& d = detection(LinkKind::LPT, [&] {
        ++probes;
        return true;
    });
    EXPECT_TRUE(d.runStartupProbe());
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(ports.log(4).opens, 0);
    EXPECT_FALSE(d.Timer1().isActive());
    d.Timer1_Timer();
    EXPECT_FALSE(d.Timer1().isActive());
    EXPECT_EQ(status.lineUpdates, 0);

    BoardDetection& unsupplied = detection(LinkKind::LPT);
    EXPECT_FALSE(unsupplied.BoardPresent());
}

} // namespace
} // namespace px316t

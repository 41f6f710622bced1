// Writing and reading the pager's memory through the USB board, against the
// in-process board on a virtual clock.
#include "link/usb/usb_link.h"

#include "link/usb/board_frame.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <numeric>

namespace px316t {
namespace {

using testing::FakeBoardPorts;
using testing::FakeClock;
using testing::FakeOp;

constexpr int BoardCom = 3;

class UsbLinkTest : public ::testing::Test {
protected:
    UsbLinkTest()
    {
        registry.backend->setPorts({1, BoardCom});
        state.BoardPort = BoardCom;
        state.SerialPortCount = 2;
        std::iota(table.begin(), table.end(), 7);
    }

    BoardResponder& plugBoard(BoardFaults faults = {})
    {
        BoardResponder& board = ports.addBoard(BoardCom, faults);
        ports.onUnplug = [this](int com) { registry.backend->removePort(com); };
        return board;
    }
    std::vector<int> frameSizes(int com)
    {
        std::vector<int> sizes;
        for (const Bytes& w : ports.log(com).writes)
            sizes.push_back(static_cast<int>(w.size()));
        return sizes;
    }
    void expectBoardKept()
    {
        EXPECT_EQ(state.BoardPort, BoardCom);
        EXPECT_EQ(status.lineUpdates, 0);
        EXPECT_TRUE(status.pagerEnabled);
        EXPECT_FALSE(ports.isOpen(BoardCom));
    }
    void expectBoardLost()
    {
        EXPECT_EQ(state.BoardPort, -1);
        EXPECT_EQ(status.text, QStringLiteral("  The Programmed Board Disconnect !"));
        EXPECT_EQ(status.color, QColor(255, 0, 0));
        EXPECT_FALSE(status.pagerEnabled);
        EXPECT_FALSE(ports.isOpen(BoardCom));
    }

    FakeClock clock;
    FakeBoardPorts ports{clock};
    testing::MemoryRegistry registry;
    testing::RecordingBoardStatusView status;
    testing::RecordingMessageBoxes boxes;
    testing::RecordingProgressView progress;
    LinkState state;
    PagerTable table{};
    UsbLink link{ports, state, registry.registry, status, boxes, clock};
};

TEST_F(UsbLinkTest, WritesTheWholeTableInEightFrames)
{
    BoardResponder& board = plugBoard();
    ASSERT_TRUE(link.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress));

    EXPECT_EQ(frameSizes(BoardCom), (std::vector<int>{145, 145, 145, 145, 145, 145, 145, 33}));
    const auto& writes = ports.log(BoardCom).writes;
    for (int i = 0; i < 8; ++i) {
        const int address = i * 128;
        EXPECT_EQ(writes[i][13], address >> 8);
        EXPECT_EQ(writes[i][14], address & 0xFF);
        EXPECT_EQ(writes[i][12], i < 7 ? 130 : 18);
    }
    EXPECT_TRUE(std::equal(table.begin(), table.end(), board.memory().begin()));
    EXPECT_EQ(board.memory()[PagerTableSize], 0xFF);   // nothing written past the table

    EXPECT_EQ(progress.maximum, PagerTableLast - 16);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 128, 256, 384, 512, 640, 768, 896, 912}));
    EXPECT_EQ(progress.status, QStringLiteral("Writing Now......."));
    EXPECT_EQ(progress.color, QGuiApplication::palette().color(QPalette::Highlight));
    EXPECT_TRUE(boxes.messages.empty());
    expectBoardKept();
    EXPECT_EQ(ports.log(BoardCom).opens, 1);
    EXPECT_EQ(ports.log(BoardCom).flushes, 1);
}

TEST_F(UsbLinkTest, ReadsTheWholeTableWithAPauseAfterEveryFrame)
{
    BoardResponder& board = plugBoard();
    std::copy(table.begin(), table.end(), board.memory().begin());
    ASSERT_TRUE(link.UsbReadRange(0, PagerTableLast, UsbBlockSize, &progress));

    const auto& writes = ports.log(BoardCom).writes;
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes.front(), buildReadFrame(0, 128));
    EXPECT_EQ(Bytes(writes.back().end() - 6, writes.back().end()), (Bytes{0x03, 0x03, 0x80, 0x10, 0x01, 0x1B}));
    ASSERT_EQ(link.ReadBuffer().size(), static_cast<std::size_t>(PagerTableSize));
    EXPECT_TRUE(std::equal(table.begin(), table.end(), link.ReadBuffer().begin()));
    // A read from 0 moves the bar to the next block address, past the last one.
    EXPECT_EQ(progress.positions, (std::vector<int>{128, 256, 384, 512, 640, 768, 896, 1024}));
    EXPECT_GE(clock.now, 8 * ReadPauseMs);
    EXPECT_TRUE(boxes.messages.empty());
    expectBoardKept();
}

TEST_F(UsbLinkTest, ReadFromInsideTheTableLeavesTheStartZeroAndTheBarStill)
{
    BoardResponder& board = plugBoard();
    std::copy(table.begin(), table.end(), board.memory().begin());
    ASSERT_TRUE(link.UsbReadRange(300, 420, 100, &progress));
    ASSERT_EQ(link.ReadBuffer().size(), 421u);
    EXPECT_TRUE(std::all_of(link.ReadBuffer().begin(), link.ReadBuffer().begin() + 300, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::equal(table.begin() + 300, table.begin() + 421, link.ReadBuffer().begin() + 300));
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_EQ(frameSizes(BoardCom), (std::vector<int>{18, 18}));
    EXPECT_EQ(ports.log(BoardCom).writes[1][15], 21);   // the last block asks only for what is left
}

TEST_F(UsbLinkTest, FirstAboveLastOpensFlushesClosesAndSucceeds)
{
    plugBoard();
    EXPECT_TRUE(link.UsbWriteRange(table, 10, 9, UsbBlockSize, &progress));
    EXPECT_TRUE(link.UsbReadRange(10, 9, UsbBlockSize, &progress));
    EXPECT_TRUE(ports.log(BoardCom).writes.empty());
    EXPECT_EQ(ports.log(BoardCom).opens, 2);
    EXPECT_EQ(ports.log(BoardCom).flushes, 2);
    EXPECT_EQ(ports.log(BoardCom).closes, 2);
    EXPECT_EQ(link.ReadBuffer().size(), 10u);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(UsbLinkTest, ProtocolFailuresKeepTheBoard)
{
    struct Case {
        const char* name;
        BoardFaults faults;
        QString writeMessage;
        QString readMessage;
    };
    const Case cases[] = {
        {"silent", {.silent = true}, "Write error!", "Read Time Out!"},
        {"late", {.replyDelayMs = 2500}, "Write error!", "Read Time Out!"},
        {"bad checksum", {.badChecksum = true}, "Write error!", "Read error!"},
        {"noise", {.noiseBytes = 5}, "Write error!", "Read error!"},
        {"cut short", {.cutBytes = 1}, "Write error!", "Read Time Out!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            FakeClock clock2;
            FakeBoardPorts ports2{clock2};
            testing::RecordingMessageBoxes boxes2;
            testing::RecordingBoardStatusView status2;
            LinkState state2{BoardCom, 2, false};
            ports2.addBoard(BoardCom, c.faults);
            UsbLink link2{ports2, state2, registry.registry, status2, boxes2, clock2};

            EXPECT_FALSE(link2.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize));
            EXPECT_EQ(boxes2.texts(), QStringList{c.writeMessage});
            EXPECT_EQ(ports2.log(BoardCom).writes.size(), 1u);   // the first failure ends it

            boxes2.clear();
            EXPECT_FALSE(link2.UsbReadRange(0, PagerTableLast, UsbBlockSize));
            EXPECT_EQ(boxes2.texts(), QStringList{c.readMessage});
            EXPECT_EQ(boxes2.messages[0].icon, MessageBoxes::Icon::None);

            EXPECT_EQ(state2.BoardPort, BoardCom);
            EXPECT_EQ(status2.lineUpdates, 0);
            EXPECT_FALSE(ports2.isOpen(BoardCom));
        }
    }
}

TEST_F(UsbLinkTest, LateButInTimeRepliesAreAccepted)
{
    plugBoard({.replyDelayMs = 1900});
    EXPECT_TRUE(link.UsbWriteRange(table, 0, 200, UsbBlockSize));
    EXPECT_TRUE(link.UsbReadRange(0, 200, UsbBlockSize));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(UsbLinkTest, NegativeAcknowledgementIsAWriteError)
{
    BoardResponder& board = plugBoard({.badAck = true});
    EXPECT_FALSE(link.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress));
    EXPECT_EQ(boxes.texts(), QStringList{"Write error!"});
    EXPECT_EQ(progress.positions, std::vector<int>{0});
    EXPECT_EQ(board.framesAnswered(), 1);
    expectBoardKept();
}

TEST_F(UsbLinkTest, FailedReadKeepsTheBlocksReadSoFar)
{
    BoardResponder& board = plugBoard();
    std::copy(table.begin(), table.end(), board.memory().begin());
    int frames = 0;
    ports.addScriptedPort(5, [&](const Bytes& frame) {
        // Answers the first two read frames as the board would, then goes quiet.
        Bytes reply;
        for (const std::uint8_t b : frame) {
            const Bytes r = board.receive(b);
            reply.insert(reply.end(), r.begin(), r.end());
        }
        return ++frames <= 2 ? reply : Bytes{};
    });
    state.BoardPort = 5;
    EXPECT_FALSE(link.UsbReadRange(0, PagerTableLast, UsbBlockSize));
    EXPECT_EQ(boxes.texts(), QStringList{"Read Time Out!"});
    EXPECT_TRUE(std::equal(table.begin(), table.begin() + 256, link.ReadBuffer().begin()));
    EXPECT_TRUE(std::all_of(link.ReadBuffer().begin() + 256, link.ReadBuffer().end(), [](auto b) { return b == 0; }));
}

TEST_F(UsbLinkTest, ReadReplyIsJudgedByItsChecksumAlone)
{
    // A reply with a foreign tag, command and length byte but a good checksum.
    ports.addScriptedPort(BoardCom, [](const Bytes& frame) {
        const int n = frame[15];
        Bytes reply(static_cast<std::size_t>(n) + 15, 0x33);
        std::fill_n(reply.begin(), 10, 'z');
        reply[12] = 0xEE;
        const std::uint16_t sum = boardChecksum(std::span<const std::uint8_t>(reply).subspan(10, n + 3));
        reply[n + 13] = static_cast<std::uint8_t>(sum >> 8);
        reply[n + 14] = static_cast<std::uint8_t>(sum & 0xFF);
        return reply;
    });
    ASSERT_TRUE(link.UsbReadRange(0, 99, 50));
    EXPECT_TRUE(std::all_of(link.ReadBuffer().begin(), link.ReadBuffer().end(), [](auto b) { return b == 0x33; }));
}

TEST_F(UsbLinkTest, FloodsOfBytesEndInTheProtocolError)
{
    ports.addScriptedPort(BoardCom, [](const Bytes&) { return Bytes(100000, 0x51); });
    EXPECT_FALSE(link.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize));
    EXPECT_FALSE(link.UsbReadRange(0, PagerTableLast, UsbBlockSize));
    EXPECT_EQ(boxes.texts(), (QStringList{"Write error!", "Read error!"}));
    expectBoardKept();
}

TEST_F(UsbLinkTest, UnplugInMidWriteShowsTheBoardLostBeforeTheMessage)
{
    BoardResponder& board = plugBoard({.unplugAfterFrames = 3});
    QString lineWhenMessageShown;
    bool menuWhenMessageShown = true;
    struct Boxes : MessageBoxes {
        std::function<void(const QString&)> seen;
        void message(const QString& text, Icon) override { seen(text); }
        bool askYesNo(const QString&) override { return false; }
    } orderedBoxes;
    QStringList shown;
    orderedBoxes.seen = [&](const QString& text) {
        shown << text;
        lineWhenMessageShown = status.text;
        menuWhenMessageShown = status.pagerEnabled;
    };
    UsbLink orderedLink{ports, state, registry.registry, status, orderedBoxes, clock};

    EXPECT_FALSE(orderedLink.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress));
    EXPECT_EQ(shown, QStringList{"Write error!"});
    EXPECT_EQ(lineWhenMessageShown, QStringLiteral("  The Programmed Board Disconnect !"));
    EXPECT_FALSE(menuWhenMessageShown);
    expectBoardLost();
    EXPECT_EQ(state.SerialPortCount, 1);   // recounted: the board's port is gone from the list
    EXPECT_EQ(board.framesAnswered(), 3);
    EXPECT_EQ(progress.positions.back(), 384);
}

TEST_F(UsbLinkTest, UnplugInMidReadIsAReadError)
{
    plugBoard({.unplugAfterFrames = 1});
    EXPECT_FALSE(link.UsbReadRange(0, PagerTableLast, UsbBlockSize));
    EXPECT_EQ(boxes.texts(), QStringList{"Read error!"});
    expectBoardLost();
    EXPECT_EQ(state.SerialPortCount, 1);
}

TEST_F(UsbLinkTest, EveryFailingPortOperationIsALinkFailure)
{
    struct Case {
        FakeOp op;
        std::size_t framesSent;
    };
    for (const Case c : {Case{FakeOp::Flush, 0}, Case{FakeOp::Write, 0}, Case{FakeOp::Iqueue, 1},
                         Case{FakeOp::Read, 1}, Case{FakeOp::Close, 8}}) {
        SCOPED_TRACE(static_cast<int>(c.op));
        for (const TransferKind kind : {TransferKind::Write, TransferKind::Read}) {
            FakeClock clock2;
            FakeBoardPorts ports2{clock2};
            testing::RecordingMessageBoxes boxes2;
            testing::RecordingBoardStatusView status2;
            LinkState state2{BoardCom, 9, false};
            ports2.addBoard(BoardCom);
            ports2.failOp(BoardCom, c.op);
            UsbLink link2{ports2, state2, registry.registry, status2, boxes2, clock2};

            const bool ok = kind == TransferKind::Write ? link2.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize)
                                                        : link2.UsbReadRange(0, PagerTableLast, UsbBlockSize);
            EXPECT_FALSE(ok);
            EXPECT_EQ(boxes2.texts(), QStringList{kind == TransferKind::Write ? "Write error!" : "Read error!"});
            EXPECT_EQ(state2.BoardPort, -1);
            EXPECT_EQ(state2.SerialPortCount, 2);   // from the registry, not the old 9
            EXPECT_EQ(status2.text, QStringLiteral("  The Programmed Board Disconnect !"));
            EXPECT_FALSE(status2.pagerEnabled);
            EXPECT_EQ(ports2.log(BoardCom).writes.size(), c.framesSent);
            EXPECT_FALSE(ports2.isOpen(BoardCom));
        }
    }
}

TEST_F(UsbLinkTest, WithoutABoardATransferFailsAsALostLink)
{
    state.BoardPort = -1;
    registry.backend->keyMissing = true;
    EXPECT_FALSE(link.UsbReadRange(0, PagerTableLast, UsbBlockSize));
    EXPECT_EQ(boxes.texts(), QStringList{"Read error!"});
    EXPECT_EQ(state.SerialPortCount, 0);
    EXPECT_FALSE(status.pagerEnabled);
}

TEST_F(UsbLinkTest, ArgumentsThatWouldRunPastTheTableOrNeverEndAreRefused)
{
    plugBoard();
    EXPECT_FALSE(link.UsbWriteRange(table, 0, PagerTableSize, UsbBlockSize));   // past the table
    EXPECT_FALSE(link.UsbWriteRange(table, -1, 10, UsbBlockSize));
    EXPECT_FALSE(link.UsbWriteRange(table, 0, 10, 0));                         // would never end
    EXPECT_FALSE(link.UsbWriteRange(table, 0, 10, 254));                       // L would not fit a byte
    EXPECT_FALSE(link.UsbReadRange(0, 0x10000, UsbBlockSize));
    EXPECT_FALSE(link.UsbReadRange(0, 10, 256));
    EXPECT_EQ(boxes.messages.size(), 6u);
    EXPECT_EQ(ports.log(BoardCom).opens, 0);
    expectBoardKept();
    // The largest blocks that fit a frame still work.
    EXPECT_TRUE(link.UsbWriteRange(table, 0, PagerTableLast, WriteFrameMaxData));
    EXPECT_TRUE(link.UsbReadRange(0, PagerTableLast, ReadFrameMaxCount));
    EXPECT_TRUE(std::equal(table.begin(), table.end(), link.ReadBuffer().begin()));
}

TEST_F(UsbLinkTest, WaitsLetEventsRunAndPollWithoutSpinning)
{
    plugBoard({.replyDelayMs = 400});
    ASSERT_TRUE(link.UsbReadRange(0, 127, UsbBlockSize));
    // The reply comes 400 ms after the frame: a 300 ms pause, then 100 ms of
    // polling, one idle per millisecond.
    EXPECT_GE(clock.idles, 400);
    EXPECT_LE(clock.idles, 402);
    EXPECT_GE(clock.eventRuns, 1);
}

} // namespace
} // namespace px316t

namespace px316t {

// The waits measured in the link's own milliseconds, at their exact edges.
TEST_F(UsbLinkTest, ReadFramePausesThreeHundredMilliseconds)
{
    plugBoard();
    ASSERT_TRUE(link.UsbReadRange(0, 15, 16));
    EXPECT_EQ(clock.now, 300) << "an instant reply costs only the pause";
}

TEST_F(UsbLinkTest, ReplyWaitEndsAfterTwoThousandMilliseconds)
{
    // Each transfer on a board of its own, so that a late reply of one cannot
    // reach the next.
    auto transfer = [this](int delayMs, bool write) {
        FakeClock edgeClock;
        FakeBoardPorts edgePorts{edgeClock};
        edgePorts.addBoard(BoardCom, {.replyDelayMs = delayMs});
        testing::RecordingMessageBoxes edgeBoxes;
        LinkState edgeState{BoardCom, 2, false};
        UsbLink edgeLink{edgePorts, edgeState, registry.registry, status, edgeBoxes, edgeClock};
        return write ? edgeLink.UsbWriteRange(table, 0, 15, 16) : edgeLink.UsbReadRange(0, 15, 16);
    };
    EXPECT_TRUE(transfer(2000, true));
    EXPECT_FALSE(transfer(2001, true));
    // A read's reply wait starts after its 300 ms pause.
    EXPECT_TRUE(transfer(2300, false));
    EXPECT_FALSE(transfer(2301, false));
}

} // namespace px316t

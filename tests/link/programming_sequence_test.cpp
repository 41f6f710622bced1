// The programming sequence that both faces drive, against the in-process board
// on a virtual clock: what reaches the face, what the image becomes, and that a
// failure never raises the capcode.
#include "link/programming_sequence.h"

#include "editor/capcode_codec.h"
#include "editor/frame_mask.h"
#include "editor/pager_document.h"
#include "link/usb/usb_link.h"
#include "link/usb/usb_pager_link.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <numeric>

namespace px316t {
namespace {

using testing::FakeBoardPorts;
using testing::FakeClock;
using testing::FakeOp;

constexpr int BoardCom = 3;

// Keeps the status and bar position the face shows when each message appears.
class MessagesInContext final : public MessageBoxes {
public:
    explicit MessagesInContext(const testing::RecordingProgressView& progress) : progress_(progress) {}
    void message(const QString& text, Icon) override
    {
        texts << text;
        statusAtMessage << progress_.status;
        maximumAtMessage.push_back(progress_.maximum);
    }
    bool askYesNo(const QString&) override { return false; }

    QStringList texts;
    QStringList statusAtMessage;
    std::vector<int> maximumAtMessage;

private:
    const testing::RecordingProgressView& progress_;
};

class ProgrammingSequenceTest : public ::testing::Test {
protected:
    ProgrammingSequenceTest()
    {
        registry.backend->setPorts({1, BoardCom});
        state.BoardPort = BoardCom;
        state.SerialPortCount = 2;
        table.fill(0);
        table[0x3E] = 0xF0;                        // all sixteen capcode slots supported
        storeCapcode(table, 0, 1234567, false);
        setCapcodeEnabled(table, 0, true);
        command.AutoIncrease = true;
    }
    BoardResponder& plugBoard(BoardFaults faults = {}) { return ports.addBoard(BoardCom, faults); }
    QString firstShown() const { return QString::fromStdString(PagerDocument(table).shownCapcodeText(0)); }

    FakeClock clock;
    FakeBoardPorts ports{clock};
    testing::MemoryRegistry registry;
    testing::RecordingBoardStatusView status;
    testing::RecordingProgressView progress;
    MessagesInContext boxes{progress};
    LinkState state;
    PagerCommandState command;
    PagerTable table{};
    UsbLink link{ports, state, registry.registry, status, boxes, clock};
    UsbPagerLink pagerLink{link, boxes};
    ProgrammingSequence sequence{&pagerLink, boxes, command};
};

TEST_F(ProgrammingSequenceTest, WriteWhoseStartFailsReportsUnderItsOwnStatus)
{
    // No board behind COM3: the port cannot be opened.
    ASSERT_FALSE(sequence.write(table, progress));
    EXPECT_TRUE(command.TransferFailed);
    ASSERT_EQ(boxes.texts, QStringList{"Write error!"});
    EXPECT_EQ(boxes.statusAtMessage, QStringList{"Writing Now......."});
    EXPECT_EQ(boxes.maximumAtMessage, std::vector<int>{PagerTableLast - 16});
    EXPECT_EQ(state.BoardPort, -1);
    EXPECT_FALSE(sequence.lastWriteStarted()) << "the pager was not touched";
}

TEST_F(ProgrammingSequenceTest, ABadChecksumIsAWrongReplyNotATimeOut)
{
    plugBoard();
    ASSERT_TRUE(sequence.write(table, progress));
    ports.board(BoardCom)->faults().badChecksum = true;
    EXPECT_FALSE(sequence.verify(table, progress));
    EXPECT_EQ(sequence.lastFailure(), TransferFailure::BadReply);
    ports.board(BoardCom)->faults().badChecksum = false;
    ports.board(BoardCom)->faults().silent = true;
    state.BoardPort = BoardCom;
    EXPECT_FALSE(sequence.verify(table, progress));
    EXPECT_EQ(sequence.lastFailure(), TransferFailure::NoAnswer);
}

TEST_F(ProgrammingSequenceTest, WriteAndVerifySayTheSuccessOnlyWhenItIsNotHeld)
{
    BoardResponder& board = plugBoard();
    const PagerTable written = table;
    // A production step holds the success until its bookkeeping committed.
    sequence.holdVerifySuccess(true);
    ASSERT_TRUE(sequence.write(table, progress) && sequence.verify(table, progress));
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), board.memory().begin()));
    EXPECT_EQ(table, written);

    sequence.holdVerifySuccess(false);
    storeCapcode(table, 0, 1234568, false);
    ASSERT_TRUE(sequence.write(table, progress) && sequence.verify(table, progress));
    EXPECT_EQ(boxes.texts, QStringList{"Verify Success!"});
    PagerTable second{};
    std::copy_n(board.memory().begin(), PagerTableSize, second.begin());
    EXPECT_EQ(PagerDocument(second).shownCapcodeText(0), "1234568");
}

TEST_F(ProgrammingSequenceTest, FailedWriteOrVerifySaysWhyAndLeavesTheImage)
{
    const PagerTable before = table;
    {
        BoardFaults faults;
        faults.badAck = true;
        plugBoard(faults);
        EXPECT_FALSE(sequence.write(table, progress) && sequence.verify(table, progress));
        EXPECT_EQ(boxes.texts, QStringList{"Write error!"});
        // A refused acknowledgement is a wrong reply, not a time-out, and the
        // frame it answered went out.
        EXPECT_EQ(sequence.lastFailure(), TransferFailure::BadReply);
        EXPECT_TRUE(sequence.lastWriteStarted());
    }
    boxes.texts.clear();
    boxes.statusAtMessage.clear();
    BoardResponder& board = *ports.board(BoardCom);
    board.faults().badAck = false;
    board.faults().unplugAfterFrames = board.framesAnswered() + 8;   // gone after the eight write frames
    state.BoardPort = BoardCom;
    EXPECT_FALSE(sequence.write(table, progress) && sequence.verify(table, progress));
    // Nothing was compared: the board is said to be gone, never a difference.
    EXPECT_EQ(boxes.texts, (QStringList{"Read error!", "The Programmed Board is not responding!"}));
    EXPECT_EQ(boxes.statusAtMessage, (QStringList{"Verifying Now.....", "Verifying Now....."}));
    EXPECT_EQ(sequence.lastFailure(), TransferFailure::BoardLost);
    EXPECT_TRUE(command.TransferFailed);
    EXPECT_EQ(table, before);
}

TEST_F(ProgrammingSequenceTest, VerifyFindsTheFirstDifference)
{
    BoardResponder& board = plugBoard();
    ASSERT_TRUE(sequence.write(table, progress));
    board.memory()[501] ^= 0x01;
    board.memory()[500] ^= 0x01;
    EXPECT_FALSE(sequence.verify(table, progress));
    EXPECT_EQ(boxes.texts.back(), "Verify Error!");
    EXPECT_EQ(sequence.lastDifference(), 500) << "the first of the differing addresses";
    board.memory()[500] ^= 0x01;
    board.memory()[501] ^= 0x01;
    EXPECT_TRUE(sequence.verify(table, progress));
    EXPECT_EQ(sequence.lastDifference(), std::nullopt);
}

TEST_F(ProgrammingSequenceTest, ReadReplacesTheImageOnlyWhenItSucceeds)
{
    BoardResponder& board = plugBoard();
    std::iota(board.memory().begin(), board.memory().begin() + PagerTableSize, 3);
    const PagerTable before = table;
    board.faults().badChecksum = true;
    EXPECT_FALSE(sequence.read(table, progress));
    EXPECT_EQ(table, before);
    board.faults().badChecksum = false;
    boxes.texts.clear();
    ASSERT_TRUE(sequence.read(table, progress));
    EXPECT_EQ(boxes.texts, QStringList{"Read success!"});
    EXPECT_TRUE(std::equal(table.begin(), table.end(), board.memory().begin()));
    EXPECT_EQ(progress.status, "Reading Now.......");
}

} // namespace
} // namespace px316t

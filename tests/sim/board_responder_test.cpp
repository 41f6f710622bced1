// The board's side of the protocol: replies, memory and fault switches.
#include "sim/board_responder.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

Bytes tagged(std::initializer_list<std::uint8_t> tail)
{
    Bytes b(MakerTag.size() + tail.size());
    std::copy(tail.begin(), tail.end(), std::copy(MakerTag.begin(), MakerTag.end(), b.begin()));
    return b;
}

// Feeds a whole stream and joins every reply.
Bytes send(BoardResponder& board, const Bytes& stream)
{
    Bytes out;
    for (const std::uint8_t b : stream) {
        const Bytes reply = board.receive(b);
        out.insert(out.end(), reply.begin(), reply.end());
    }
    return out;
}

Bytes writeFrame(int address, const Bytes& data)
{
    Bytes payload = {static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address & 0xFF)};
    payload.insert(payload.end(), data.begin(), data.end());
    return encodeBoardFrame("3S", payload);
}

TEST(BoardResponder, AnswersQuerySettingWriteAndRead)
{
    BoardResponder board;
    const Bytes query = send(board, QueryCommand());
    ASSERT_EQ(query.size(), 17u);
    EXPECT_TRUE(std::equal(QueryReplyHead().begin(), QueryReplyHead().end(), query.begin()));
    EXPECT_TRUE(boardChecksumMatches(query));

    EXPECT_EQ(send(board, buildSettingFrame(0x01)), SettingAck());
    EXPECT_EQ(board.lastSetting(), 0x01);

    EXPECT_EQ(send(board, writeFrame(0x37E, {1, 2, 3, 4})), WriteAck());
    EXPECT_EQ(board.memory()[0x37E], 1);
    EXPECT_EQ(board.memory()[0x381], 4);

    const Bytes read = send(board, buildReadFrame(0x37D, 6));
    ASSERT_EQ(read.size(), 21u);
    EXPECT_EQ(Bytes(read.begin() + 13, read.begin() + 19), (Bytes{0xFF, 1, 2, 3, 4, 0xFF}));
    EXPECT_TRUE(boardChecksumMatches(read));
    EXPECT_EQ(board.framesAnswered(), 4);
}

TEST(BoardResponder, SameRepliesWhereverTheInputIsSplit)
{
    Bytes stream = writeFrame(0x100, {9, 8, 7});
    const Bytes read = buildReadFrame(0x100, 3);
    stream.insert(stream.end(), read.begin(), read.end());

    BoardResponder whole;
    const Bytes expected = send(whole, stream);
    ASSERT_EQ(expected.size(), 16u + 18u);

    for (std::size_t split = 1; split < stream.size(); ++split) {
        BoardResponder board;
        Bytes got = send(board, Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(split)));
        const Bytes rest = send(board, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(split), stream.end()));
        got.insert(got.end(), rest.begin(), rest.end());
        ASSERT_EQ(got, expected) << "split at " << split;
    }
}

TEST(BoardResponder, OutOfRangeRequestsAndBrokenFramesGetNoAcknowledgement)
{
    BoardResponder board;
    // A write past the 2 KiB memory is refused with NAK and changes nothing.
    const Bytes refused = send(board, writeFrame(2046, {1, 2, 3}));
    EXPECT_EQ(refused, tagged({'3', 'S', 0x01, 0x15, 0x00, 0x9C}));
    EXPECT_EQ(board.memory()[2046], 0xFF);
    // A read past the memory, an unknown command and a bad checksum: silence.
    EXPECT_TRUE(send(board, buildReadFrame(2040, 16)).empty());
    EXPECT_TRUE(send(board, encodeBoardFrame("9X", Bytes{1})).empty());
    Bytes broken = buildReadFrame(0, 4);
    broken.back() ^= 1;
    EXPECT_TRUE(send(board, broken).empty());
    EXPECT_EQ(board.badFrames(), 3);
    EXPECT_EQ(send(board, buildReadFrame(0, 4)).size(), 19u);
}

TEST(BoardResponder, ReportsEveryAcceptedWrite)
{
    BoardResponder board;
    int saved = 0;
    board.onMemoryWritten = [&] { ++saved; };
    send(board, writeFrame(0, {1}));
    send(board, writeFrame(2047, {1, 2}));   // refused
    send(board, buildReadFrame(0, 1));
    EXPECT_EQ(saved, 1);
}

TEST(BoardResponder, FaultSwitches)
{
    {
        BoardResponder board({.silent = true});
        EXPECT_TRUE(send(board, QueryCommand()).empty());
        EXPECT_TRUE(send(board, writeFrame(0, {0x42})).empty());
        EXPECT_EQ(board.memory()[0], 0x42);   // a silent board still stores
    }
    {
        BoardResponder board({.badChecksum = true});
        const Bytes reply = send(board, QueryCommand());
        ASSERT_EQ(reply.size(), 17u);
        EXPECT_FALSE(boardChecksumMatches(reply));
    }
    {
        BoardResponder board({.badAck = true});
        const Bytes ack = send(board, writeFrame(0, {1}));
        EXPECT_EQ(ack.size(), 16u);
        EXPECT_NE(ack, WriteAck());
        EXPECT_TRUE(boardChecksumMatches(ack));   // well-formed, only the answer is wrong
        EXPECT_NE(send(board, buildSettingFrame(1)), SettingAck());
    }
    {
        BoardResponder board({.noiseBytes = 300});
        const Bytes reply = send(board, QueryCommand());
        ASSERT_EQ(reply.size(), 317u);
        EXPECT_EQ(std::count(reply.begin(), reply.begin() + 300, ReplyStartByte), 0);
        EXPECT_TRUE(std::equal(QueryReplyHead().begin(), QueryReplyHead().end(), reply.begin() + 300));
    }
    {
        BoardResponder board({.cutBytes = 3});
        EXPECT_EQ(send(board, writeFrame(0, {1})), Bytes(WriteAck().begin(), WriteAck().end() - 3));
        BoardResponder mute({.cutBytes = 100});
        EXPECT_TRUE(send(mute, writeFrame(0, {1})).empty());
    }
    {
        BoardResponder board({.unplugAfterFrames = 2});
        EXPECT_FALSE(send(board, QueryCommand()).empty());
        EXPECT_FALSE(board.unplugged());
        EXPECT_FALSE(send(board, QueryCommand()).empty());   // the second frame is still answered
        EXPECT_TRUE(board.unplugged());
        EXPECT_TRUE(send(board, QueryCommand()).empty());
    }
}

} // namespace
} // namespace px316t

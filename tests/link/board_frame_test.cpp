// Frames of the USB board: building, checksums and the incremental reader.
#include "link/usb/board_frame.h"

#include <gtest/gtest.h>

#include <numeric>

namespace px316t {
namespace {

Bytes tagged(std::initializer_list<std::uint8_t> tail)
{
    Bytes b(MakerTag.size() + tail.size());
    std::copy(tail.begin(), tail.end(), std::copy(MakerTag.begin(), MakerTag.end(), b.begin()));
    return b;
}

TEST(BoardFrame, ChecksumIsTheSixteenBitSumFromTheCommandOn)
{
    EXPECT_EQ(encodeBoardFrame("5S", Bytes{0x73, 0x01}), tagged({'5', 'S', 0x02, 0x73, 0x01, 0x00, 0xFE}));
    EXPECT_EQ(encodeBoardFrame("5R", Bytes{0, 0, 0}), QueryCommand());
    EXPECT_EQ(encodeBoardFrame("3S", Bytes{0x06}), WriteAck());
    EXPECT_EQ(encodeBoardFrame("5S", Bytes{0x06}), SettingAck());
    // The sum wraps at 16 bits: 255 bytes of FF plus "3R" and L.
    const Bytes full(255, 0xFF);
    const Bytes frame = encodeBoardFrame("3R", full);
    const unsigned sum = ('3' + 'R' + 255 + 255 * 255) & 0xFFFF;
    EXPECT_EQ(frame.size(), 270u);
    EXPECT_EQ(frame[268], sum >> 8);
    EXPECT_EQ(frame[269], sum & 0xFF);
}

TEST(BoardFrame, ReadFramesForTheFirstAndLastBlocksOfTheTable)
{
    EXPECT_EQ(buildReadFrame(0, 128), tagged({'3', 'R', 0x03, 0x00, 0x00, 0x80, 0x01, 0x08}));
    EXPECT_EQ(buildReadFrame(896, 16), tagged({'3', 'R', 0x03, 0x03, 0x80, 0x10, 0x01, 0x1B}));
    EXPECT_EQ(buildSettingFrame(0x01), tagged({'5', 'S', 0x02, 0x73, 0x01, 0x00, 0xFE}));
}

TEST(BoardFrame, WriteFrameCarriesAddressDataAndChecksum)
{
    PagerTable table{};
    std::iota(table.begin(), table.end(), 0);   // byte i holds i mod 256
    const Bytes last = buildWriteFrame(table, 896, 16);
    ASSERT_EQ(last.size(), 33u);
    EXPECT_TRUE(std::equal(WriteCommandHead().begin(), WriteCommandHead().end(), last.begin()));
    EXPECT_EQ(last[12], 18);
    EXPECT_EQ(last[13], 0x03);
    EXPECT_EQ(last[14], 0x80);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(last[15 + i], table[896 + i]);
    EXPECT_TRUE(boardChecksumMatches(last));

    const Bytes first = buildWriteFrame(table, 0, 128);
    EXPECT_EQ(first.size(), 145u);
    EXPECT_EQ(first[12], 130);
    EXPECT_TRUE(boardChecksumMatches(first));
}

TEST(BoardFrame, ChecksumCheckIgnoresTagAndRejectsShortOrAlteredFrames)
{
    Bytes reply = encodeBoardFrame("3R", Bytes{1, 2, 3});
    EXPECT_TRUE(boardChecksumMatches(reply));
    std::fill_n(reply.begin(), MakerTagSize, 'x');   // tag is not part of the sum
    EXPECT_TRUE(boardChecksumMatches(reply));
    Bytes wrongHigh = reply;
    wrongHigh[wrongHigh.size() - 2] ^= 0x01;   // each checksum byte counts on its own
    EXPECT_FALSE(boardChecksumMatches(wrongHigh));
    Bytes wrongLow = reply;
    wrongLow.back() ^= 0x80;
    EXPECT_FALSE(boardChecksumMatches(wrongLow));
    reply[14] ^= 1;
    EXPECT_FALSE(boardChecksumMatches(reply));
    EXPECT_FALSE(boardChecksumMatches(Bytes(14, 0)));
    EXPECT_FALSE(boardChecksumMatches(Bytes{}));
}

// Feeds `stream` and collects the command of every good frame.
std::vector<std::string> readAll(BoardFrameReader& reader, const Bytes& stream, int* bad = nullptr)
{
    std::vector<std::string> commands;
    for (const std::uint8_t b : stream) {
        const auto result = reader.feed(b);
        if (result == BoardFrameReader::Result::Frame)
            commands.emplace_back(reader.frame().commandText());
        else if (result == BoardFrameReader::Result::BadChecksum && bad)
            ++*bad;
    }
    return commands;
}

TEST(BoardFrameReader, FindsFramesBehindNoiseAndFalseTagStarts)
{
    Bytes stream = {0x00, 'Q', 'u', 'o', 'X', 0xFF, 'Q', 'Q'};   // a tag that breaks off, then restarts
    const Bytes a = QueryCommand();
    stream.insert(stream.end(), a.begin() + 1, a.end());          // the last 'Q' above starts it
    const Bytes b = encodeBoardFrame("3S", Bytes{0x00, 0x10, 0xAA});
    stream.insert(stream.end(), b.begin(), b.end());

    BoardFrameReader reader;
    EXPECT_EQ(readAll(reader, stream), (std::vector<std::string>{"5R", "3S"}));
    EXPECT_EQ(reader.frame().length, 3);
    EXPECT_EQ(reader.frame().payload[2], 0xAA);
    EXPECT_EQ(reader.skippedBytes(), 7u);
}

TEST(BoardFrameReader, DropsAFrameWithABadChecksumAndReadsTheNext)
{
    Bytes broken = encodeBoardFrame("3R", Bytes{0, 0, 16});
    broken.back() ^= 0xFF;
    Bytes stream = broken;
    const Bytes good = encodeBoardFrame("3R", Bytes{0, 16, 16});
    stream.insert(stream.end(), good.begin(), good.end());

    BoardFrameReader reader;
    int bad = 0;
    EXPECT_EQ(readAll(reader, stream, &bad), (std::vector<std::string>{"3R"}));
    EXPECT_EQ(bad, 1);
    EXPECT_EQ(reader.frame().payload[1], 16);
}

TEST(BoardFrameReader, EmptyAndLongestPayloads)
{
    const Bytes empty = encodeBoardFrame("5R", Bytes{});
    const Bytes longest = encodeBoardFrame("3S", Bytes(255, 0x5A));
    Bytes stream = empty;
    stream.insert(stream.end(), longest.begin(), longest.end());
    BoardFrameReader reader;
    EXPECT_EQ(readAll(reader, stream), (std::vector<std::string>{"5R", "3S"}));
    EXPECT_EQ(reader.frame().length, 255);
    EXPECT_EQ(reader.frame().payload[254], 0x5A);
}

} // namespace
} // namespace px316t

#pragma once
// Frames of the USB programming board. Every frame, in both directions, is
//   maker tag (10) | command (2) | L (1) | payload (L) | checksum high | checksum low
// and the checksum is the 16-bit sum of the bytes from the command code through
// the last payload byte; the maker tag is not part of it.
#include "table/builtin_tables.h"
#include "table/pager_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace px316t {

constexpr int MakerTagSize = 10;
constexpr int BoardFrameOverhead = 15;       // tag, command, L and checksum
constexpr int BoardFrameMaxPayload = 255;    // L is one byte
constexpr int BoardFrameMaxSize = BoardFrameOverhead + BoardFrameMaxPayload;
constexpr int WriteFrameMaxData = BoardFrameMaxPayload - 2;   // address takes two payload bytes
constexpr int ReadFrameMaxCount = 255;                        // the count is one byte
constexpr int WriteAckSize = 16;
constexpr int QueryReplySize = 17;
constexpr int SettingAckSize = 16;
// The byte the board query and setting waits hunt for: the first byte of every
// reply, which is the first character of the maker tag.
constexpr std::uint8_t ReplyStartByte = static_cast<std::uint8_t>(MakerTag[0]);

// Sum of `bytes` kept to 16 bits.
std::uint16_t boardChecksum(std::span<const std::uint8_t> bytes);

// True when the last two bytes of `frame` hold the checksum of the bytes from
// offset 10 up to the third-last byte. The tag, command and length byte are
// not inspected; a frame shorter than the overhead never matches.
bool boardChecksumMatches(std::span<const std::uint8_t> frame);

// A decoded frame: the command code and the payload.
struct BoardFrame {
    std::array<char, 2> command{};
    std::uint8_t length = 0;
    std::array<std::uint8_t, BoardFrameMaxPayload> payload{};

    std::string_view commandText() const { return {command.data(), command.size()}; }
    std::span<const std::uint8_t> payloadBytes() const { return {payload.data(), length}; }
};

// Encodes a frame with the maker tag; the payload is cut to 255 bytes.
Bytes encodeBoardFrame(std::string_view command, std::span<const std::uint8_t> payload);

// The "3S" frame that writes table[address .. address+count-1]; count 1..253 and
// the range inside the table (the caller checks both).
Bytes buildWriteFrame(const PagerTable& table, int address, int count);
// The 18-byte "3R" frame that asks for `count` bytes (1..255) from `address`.
Bytes buildReadFrame(int address, int count);
// The 17-byte "5S" board-setting frame with payload 73 value.
Bytes buildSettingFrame(std::uint8_t value);

// Incremental reader of frames, fed one byte at a time in any split. Bytes that
// cannot start or continue a maker tag are skipped; a frame whose checksum does
// not match is dropped and reading starts over with the next byte. The payload
// never exceeds 255 bytes because its length is a single byte.
class BoardFrameReader {
public:
    enum class Result { Pending, Frame, BadChecksum };

    Result feed(std::uint8_t byte);
    const BoardFrame& frame() const { return frame_; }
    std::size_t skippedBytes() const { return skipped_; }
    void reset();

private:
    enum class State { Tag, Command, Length, Payload, ChecksumHigh, ChecksumLow };

    State state_ = State::Tag;
    int index_ = 0;
    std::uint16_t sum_ = 0;
    std::uint8_t checksumHigh_ = 0;
    std::size_t skipped_ = 0;
    BoardFrame frame_;
};

} // namespace px316t

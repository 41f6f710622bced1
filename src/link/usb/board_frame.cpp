#include "link/usb/board_frame.h"

#include <algorithm>

namespace px316t {

std::uint16_t boardChecksum(std::span<const std::uint8_t> bytes)
{
    std::uint32_t sum = 0;
    for (const std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

bool boardChecksumMatches(std::span<const std::uint8_t> frame)
{
    if (frame.size() < static_cast<std::size_t>(BoardFrameOverhead))
        return false;
    const std::size_t end = frame.size() - 2;
    const std::uint16_t sum = boardChecksum(frame.subspan(MakerTagSize, end - MakerTagSize));
    return frame[end] == (sum >> 8) && frame[end + 1] == (sum & 0xFF);
}

namespace {

void appendChecksum(Bytes& frame)
{
    const std::uint16_t sum =
        boardChecksum(std::span<const std::uint8_t>(frame).subspan(MakerTagSize));
    frame.push_back(static_cast<std::uint8_t>(sum >> 8));
    frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
}

} // namespace

Bytes encodeBoardFrame(std::string_view command, std::span<const std::uint8_t> payload)
{
    const std::size_t length = std::min<std::size_t>(payload.size(), BoardFrameMaxPayload);
    Bytes frame(MakerTag.begin(), MakerTag.end());
    frame.reserve(BoardFrameOverhead + length);
    for (int i = 0; i < 2; ++i)
        frame.push_back(static_cast<std::uint8_t>(i < static_cast<int>(command.size()) ? command[i] : ' '));
    frame.push_back(static_cast<std::uint8_t>(length));
    frame.insert(frame.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
    appendChecksum(frame);
    return frame;
}

Bytes buildWriteFrame(const PagerTable& table, int address, int count)
{
    Bytes frame = WriteCommandHead();
    frame.push_back(static_cast<std::uint8_t>(count + 2));
    frame.push_back(static_cast<std::uint8_t>((address >> 8) & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(address & 0xFF));
    frame.insert(frame.end(), table.begin() + address, table.begin() + address + count);
    appendChecksum(frame);
    return frame;
}

Bytes buildReadFrame(int address, int count)
{
    Bytes frame = ReadCommandHead();
    frame.push_back(static_cast<std::uint8_t>((address >> 8) & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(address & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(count));
    appendChecksum(frame);
    return frame;
}

Bytes buildSettingFrame(std::uint8_t value)
{
    Bytes frame = SettingCommandHead();
    frame.push_back(value);
    appendChecksum(frame);
    return frame;
}

void BoardFrameReader::reset()
{
    state_ = State::Tag;
    index_ = 0;
    sum_ = 0;
}

BoardFrameReader::Result BoardFrameReader::feed(std::uint8_t byte)
{
    switch (state_) {
    case State::Tag:
        if (byte == static_cast<std::uint8_t>(MakerTag[index_])) {
            if (++index_ == MakerTagSize) {
                state_ = State::Command;
                index_ = 0;
                sum_ = 0;
            }
        } else {
            // The tag has no repeated prefix, so a mismatch can only restart
            // the tag at this byte or skip it.
            skipped_ += static_cast<std::size_t>(index_);
            if (byte == static_cast<std::uint8_t>(MakerTag[0])) {
                index_ = 1;
            } else {
                index_ = 0;
                ++skipped_;
            }
        }
        return Result::Pending;
    case State::Command:
        frame_.command[index_] = static_cast<char>(byte);
        sum_ = static_cast<std::uint16_t>(sum_ + byte);
        if (++index_ == 2)
            state_ = State::Length;
        return Result::Pending;
    case State::Length:
        frame_.length = byte;
        sum_ = static_cast<std::uint16_t>(sum_ + byte);
        index_ = 0;
        state_ = byte == 0 ? State::ChecksumHigh : State::Payload;
        return Result::Pending;
    case State::Payload:
        frame_.payload[static_cast<std::size_t>(index_)] = byte;
        sum_ = static_cast<std::uint16_t>(sum_ + byte);
        if (++index_ == frame_.length)
            state_ = State::ChecksumHigh;
        return Result::Pending;
    case State::ChecksumHigh:
        checksumHigh_ = byte;
        state_ = State::ChecksumLow;
        return Result::Pending;
    case State::ChecksumLow: {
        const bool good = checksumHigh_ == (sum_ >> 8) && byte == (sum_ & 0xFF);
        reset();
        return good ? Result::Frame : Result::BadChecksum;
    }
    }
    return Result::Pending;
}

} // namespace px316t

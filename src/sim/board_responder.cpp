#include "sim/board_responder.h"

#include <algorithm>

namespace px316t {

namespace {
constexpr std::uint8_t Ack = 0x06;
constexpr std::uint8_t Nak = 0x15;
} // namespace

BoardResponder::BoardResponder(BoardFaults faults) : faults_(faults)
{
    memory_.fill(0xFF);   // an erased serial memory reads all ones
}

Bytes BoardResponder::receive(std::uint8_t byte)
{
    if (unplugged_)
        return {};
    switch (reader_.feed(byte)) {
    case BoardFrameReader::Result::Pending:
        return {};
    case BoardFrameReader::Result::BadChecksum:
        ++badFrames_;
        return {};
    case BoardFrameReader::Result::Frame:
        break;
    }
    Bytes reply = answer(reader_.frame());
    if (reply.empty()) {
        ++badFrames_;
        return {};
    }
    ++framesAnswered_;
    if (faults_.unplugAfterFrames >= 0 && framesAnswered_ >= faults_.unplugAfterFrames)
        unplugged_ = true;
    if (faults_.silent)
        return {};
    return reply;
}

Bytes BoardResponder::answer(const BoardFrame& frame)
{
    const std::string_view command = frame.commandText();
    const auto payload = frame.payloadBytes();
    if (command == "5R") {
        return applyFaults(encodeBoardFrame("5R", QueryData), false);
    }
    if (command == "5S") {
        if (payload.size() != 2)
            return {};
        lastSetting_ = payload[1];
        const std::uint8_t ack[1] = {Ack};
        return applyFaults(encodeBoardFrame("5S", ack), true);
    }
    if (command == "3S") {
        if (payload.size() < 3)
            return {};
        const std::size_t address = (std::size_t{payload[0]} << 8) | payload[1];
        const std::size_t count = payload.size() - 2;
        // A write that would run past the memory is refused whole.
        const std::uint8_t status[1] = {address + count <= MemorySize ? Ack : Nak};
        if (status[0] == Ack) {
            std::copy(payload.begin() + 2, payload.end(), memory_.begin() + static_cast<std::ptrdiff_t>(address));
            if (onWriteFrame)
                onWriteFrame(address, payload.subspan(2));
            if (onMemoryWritten)
                onMemoryWritten();
        }
        return applyFaults(encodeBoardFrame("3S", status), true);
    }
    if (command == "3R") {
        if (payload.size() != 3)
            return {};
        const std::size_t address = (std::size_t{payload[0]} << 8) | payload[1];
        const std::size_t count = payload[2];
        if (address + count > MemorySize)
            return {};   // nothing to read there: the board stays silent
        if (onReadFrame)
            onReadFrame(address, count);
        return applyFaults(
            encodeBoardFrame("3R", std::span<const std::uint8_t>(memory_).subspan(address, count)),
            false);
    }
    return {};
}

Bytes BoardResponder::applyFaults(Bytes reply, bool isAck)
{
    if (isAck && faults_.badAck) {
        reply[MakerTagSize + 3] = Nak;
        const std::uint16_t sum = boardChecksum(
            std::span<const std::uint8_t>(reply).subspan(MakerTagSize, reply.size() - MakerTagSize - 2));
        reply[reply.size() - 2] = static_cast<std::uint8_t>(sum >> 8);
        reply[reply.size() - 1] = static_cast<std::uint8_t>(sum & 0xFF);
    }
    if (faults_.badChecksum)
        reply.back() = static_cast<std::uint8_t>(reply.back() ^ 0x5A);
    if (faults_.cutBytes > 0)
        reply.resize(reply.size() - std::min<std::size_t>(reply.size(), static_cast<std::size_t>(faults_.cutBytes)));
    if (faults_.noiseBytes > 0) {
        Bytes noise;
        noise.reserve(static_cast<std::size_t>(faults_.noiseBytes) + reply.size());
        for (int i = 0; i < faults_.noiseBytes; ++i) {
            noiseSeed_ = noiseSeed_ * 1664525u + 1013904223u;
            auto b = static_cast<std::uint8_t>(noiseSeed_ >> 24);
            // Noise never contains the byte a reply starts with, or it would
            // be indistinguishable from the reply itself.
            if (b == ReplyStartByte)
                b = 0x00;
            noise.push_back(b);
        }
        noise.insert(noise.end(), reply.begin(), reply.end());
        reply = std::move(noise);
    }
    return reply;
}

} // namespace px316t

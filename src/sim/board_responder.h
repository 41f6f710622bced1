#pragma once
// The programming board's side of the protocol, as the board emulator and the
// in-process fake port play it: frames in (in any split), replies out, over a
// 2 KiB pager memory, with switchable faults. Timing (pacing, reply delay) is
// left to the transport that carries the bytes.
#include "link/usb/board_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace px316t {

struct BoardFaults {
    bool silent = false;          // never reply
    int replyDelayMs = 0;         // the transport holds every reply this long
    bool badChecksum = false;     // replies carry a wrong checksum
    bool badAck = false;          // acknowledgements carry NAK (15) instead of ACK (06)
    int noiseBytes = 0;           // this many noise bytes precede every reply
    int cutBytes = 0;             // every reply loses this many bytes at its end
    int unplugAfterFrames = -1;   // the port vanishes once this many frames were answered
};

class BoardResponder {
public:
    static constexpr std::size_t MemorySize = 2048;
    using Memory = std::array<std::uint8_t, MemorySize>;

    explicit BoardResponder(BoardFaults faults = {});

    // Takes one received byte; returns the bytes to send back when it completes
    // a frame that deserves a reply, else nothing.
    Bytes receive(std::uint8_t byte);

    BoardFaults& faults() { return faults_; }
    const BoardFaults& faults() const { return faults_; }
    Memory& memory() { return memory_; }
    const Memory& memory() const { return memory_; }

    // True once the frame that triggers the unplug fault has been answered;
    // from then on nothing is answered.
    bool unplugged() const { return unplugged_; }
    int framesAnswered() const { return framesAnswered_; }
    int badFrames() const { return badFrames_; }
    // The value of the last "5S" setting frame, -1 before the first.
    int lastSetting() const { return lastSetting_; }

    // Called after every accepted write frame (the emulator saves its memory).
    std::function<void()> onMemoryWritten;
    // Called with every accepted write frame's address and data, once it is in
    // memory and before its acknowledgement goes out, and with every read frame
    // answered: the board's own account of what reached the pager.
    std::function<void(std::size_t address, std::span<const std::uint8_t> data)> onWriteFrame;
    std::function<void(std::size_t address, std::size_t count)> onReadFrame;

    // The two data bytes of the board query's reply.
    static constexpr std::uint8_t QueryData[2] = {0x05, 0x02};

private:
    Bytes answer(const BoardFrame& frame);
    Bytes applyFaults(Bytes reply, bool isAck);

    BoardFaults faults_;
    BoardFrameReader reader_;
    Memory memory_{};
    bool unplugged_ = false;
    int framesAnswered_ = 0;
    int badFrames_ = 0;
    int lastSetting_ = -1;
    std::uint32_t noiseSeed_ = 0x2545F491u;
};

} // namespace px316t

#pragma once
// The least time whole-table transfers with the USB board can take on a
// 9600-baud line (10 bits a byte): a write block costs its frame and the
// board's acknowledgement on the wire; a read block costs the larger of the
// 300 ms pause the program waits after the read frame and the bytes of frame
// and reply, since the reply travels while the program pauses.
#include "link/usb/board_frame.h"
#include "link/usb/usb_link.h"

#include <algorithm>

namespace px316t::bench {

constexpr double SecondsPerByte = 10.0 / 9600.0;

struct Limit {
    double seconds = 0;
    long bytes = 0;
};

inline Limit writeLimit(int size, int block)
{
    Limit limit;
    for (int a = 0; a < size; a += block) {
        const int n = std::min(block, size - a);
        const long bytes = (n + 17) + WriteAckSize;
        limit.bytes += bytes;
        limit.seconds += static_cast<double>(bytes) * SecondsPerByte;
    }
    return limit;
}

inline Limit readLimit(int size, int block)
{
    Limit limit;
    for (int a = 0; a < size; a += block) {
        const int n = std::min(block, size - a);
        const long frame = 18;
        const long reply = n + BoardFrameOverhead;
        limit.bytes += frame + reply;
        limit.seconds += std::max(ReadPauseMs / 1000.0, static_cast<double>(frame + reply) * SecondsPerByte);
    }
    return limit;
}

} // namespace px316t::bench

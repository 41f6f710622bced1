#include "link/usb/board_port.h"

#include "link/usb/board_frame.h"

namespace px316t {

bool OpenBoardPort(SerialPorts& ports, int port, int* openResult)
{
    const int opened = ports.open(port);
    if (openResult)
        *openResult = opened;
    if (opened != SerialOk) {
        ports.close(port);
        return false;
    }
    if (ports.ioctl(port, BaudCode9600, Mode8N1) != SerialOk) {
        ports.close(port);
        return false;
    }
    return true;
}

WaitOutcome waitForQueue(SerialPorts& ports, LinkClock& clock, int port, int count,
                         int timeoutMs, bool failOnError)
{
    const std::int64_t start = clock.nowMs();
    for (;;) {
        if (clock.nowMs() - start > timeoutMs)
            return WaitOutcome::TimedOut;
        const int waiting = ports.iqueue(port);
        if (waiting < 0 && failOnError)
            return WaitOutcome::Failed;
        if (waiting >= count)
            return WaitOutcome::Ready;
        clock.idle();
    }
}

WaitOutcome huntForReplyStart(SerialPorts& ports, LinkClock& clock, int port, int timeoutMs)
{
    const std::int64_t start = clock.nowMs();
    for (;;) {
        if (clock.nowMs() - start > timeoutMs)
            return WaitOutcome::TimedOut;
        const int byte = ports.getch(port);
        if (byte == ReplyStartByte)
            return WaitOutcome::Ready;
        // A discarded byte means more may be waiting: poll again at once, so
        // a burst of noise is drained at line speed; block only when empty.
        if (byte >= 0)
            clock.letEventsRun();
        else
            clock.idle();
    }
}

} // namespace px316t

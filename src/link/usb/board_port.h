#pragma once
// Steps the transfers and board detection share: opening the board's port with
// its line settings, and the two kinds of bounded wait for a reply.
#include "link/link_clock.h"
#include "link/usb/serial_ports.h"

namespace px316t {

// Opens COM `port` and sets 9600 8N1; on any failure the port is closed again
// and the result is false. `openResult`, when given, receives open()'s result,
// so a caller can tell a permission refusal from an absent device.
bool OpenBoardPort(SerialPorts& ports, int port, int* openResult = nullptr);

enum class WaitOutcome { Ready, TimedOut, Failed };

// Polls until at least `count` bytes are waiting. Failed when the port reports
// an error and `failOnError` is set; otherwise an error counts as "not yet".
WaitOutcome waitForQueue(SerialPorts& ports, LinkClock& clock, int port, int count,
                         int timeoutMs, bool failOnError = true);

// Takes bytes one by one until the first byte of a reply arrives, discarding
// everything before it. Ready when it was taken, TimedOut otherwise.
WaitOutcome huntForReplyStart(SerialPorts& ports, LinkClock& clock, int port, int timeoutMs);

} // namespace px316t

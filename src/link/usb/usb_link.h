#pragma once
// The memory transfers over the USB programming board: write and read a range
// of the pager's memory in blocks, each block one frame each way, and the
// link-failure step that forgets the board. Runs on the window thread; every
// wait goes through the LinkClock, which lets window events run.
#include "link/link_clock.h"
#include "link/link_state.h"
#include "link/progress_view.h"
#include "link/usb/serial_ports.h"
#include "link/board_status_view.h"
#include "registry/cls_registry_access.h"
#include "table/pager_table.h"
#include "link/message_boxes.h"

#include <cstdint>
#include <vector>

namespace px316t {

enum class TransferKind { Write, Read };

inline constexpr int UsbBlockSize = 128;      // what the programming window passes
inline constexpr int ReplyTimeoutMs = 2000;   // for "3S" and "3R" replies
inline constexpr int ReadPauseMs = 300;       // after every "3R" frame

class UsbLink {
public:
    UsbLink(SerialPorts& ports, LinkState& state, clsRegistryAccess& registry,
            BoardStatusView& status, MessageBoxes& boxes, LinkClock& clock);

    // Opens COM `port` with the board's line settings; false (port closed) on failure.
    bool OpenBoardPort(int port);

    // Writes table[first..last] in blocks of `blockSize` (1..253); true when
    // every block was acknowledged. `progress` (may be null) gets the bar's
    // maximum, position and colour and the status text.
    bool UsbWriteRange(const PagerTable& table, int first, int last, int blockSize,
                       ProgressView* progress = nullptr);

    // Reads addresses first..last (at most 0xFFFF) in blocks of `blockSize`
    // (1..255) into ReadBuffer(); true when every block had a good checksum.
    // For a read from address 0 `progress` follows the next block address.
    bool UsbReadRange(int first, int last, int blockSize, ProgressView* progress = nullptr);

    // Indexes 0..last of the last read: the blocks received, zeros elsewhere.
    const std::vector<std::uint8_t>& ReadBuffer() const { return readBuffer_; }

    // Whether the last range transfer ended with the board lost (the port
    // failed or vanished), rather than with a missing or wrong reply.
    bool LostBoardInLastTransfer() const { return lostBoard_; }
    // Whether the last range transfer ended on a reply that came but was
    // wrong (a bad checksum, an acknowledgement that was not ACK).
    bool BadReplyInLastTransfer() const { return badReply_; }
    // Whether the last write sent any frame: when not, the pager was not touched.
    bool WriteFrameSentInLastTransfer() const { return writeFrameSent_; }

private:
    bool startTransfer(int port);
    // The link-failure step: closes the board's port, recounts the serial
    // ports, forgets the board, shows it as disconnected and reports the
    // transfer's error message.
    bool linkFailure(TransferKind kind, int port);
    bool protocolFailure(const QString& message, int port);
    void closeIfOpen(int port);

    SerialPorts& ports_;
    LinkState& state_;
    clsRegistryAccess& registry_;
    BoardStatusView& status_;
    MessageBoxes& boxes_;
    LinkClock& clock_;
    std::vector<std::uint8_t> readBuffer_;
    bool lostBoard_ = false;
    bool badReply_ = false;
    bool writeFrameSent_ = false;
};

} // namespace px316t

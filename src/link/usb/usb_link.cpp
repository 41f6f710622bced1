#include "link/usb/usb_link.h"

#include "link/usb/board_frame.h"
#include "link/usb/board_port.h"
#include "link/board_status.h"
#include "link/usb/serial_port_list.h"
#include "editor/messages.h"
#include "table/builtin_tables.h"

#include <algorithm>

namespace px316t {

namespace {
const QString WriteErrorText = QString::fromLatin1(messages::WriteError);
const QString ReadErrorText = QString::fromLatin1(messages::ReadError);
const QString ReadTimeOutText = QStringLiteral("Read Time Out!");
constexpr int MaxAddress = 0xFFFF;   // addresses travel as two bytes
} // namespace

UsbLink::UsbLink(SerialPorts& ports, LinkState& state, clsRegistryAccess& registry,
                 BoardStatusView& status, MessageBoxes& boxes, LinkClock& clock)
    : ports_(ports), state_(state), registry_(registry), status_(status), boxes_(boxes), clock_(clock)
{
}

bool UsbLink::OpenBoardPort(int port) { return px316t::OpenBoardPort(ports_, port); }

void UsbLink::closeIfOpen(int port)
{
    if (ports_.lstatus(port) >= 0)
        ports_.close(port);
}

bool UsbLink::startTransfer(int port)
{
    if (ports_.lstatus(port) < 0)
        OpenBoardPort(port);   // a failure shows in the flush that follows
    return ports_.flush(port, FlushBoth) >= 0;
}

bool UsbLink::linkFailure(TransferKind kind, int port)
{
    lostBoard_ = true;
    closeIfOpen(port);
    // A timer tick during the transfer may have replaced BoardPort already.
    if (state_.BoardPort >= 0 && state_.BoardPort != port)
        closeIfOpen(state_.BoardPort);
    state_.SerialPortCount = countSerialPorts(registry_);
    state_.BoardPort = -1;
    showBoardDisconnected(status_);
    boxes_.message(kind == TransferKind::Write ? WriteErrorText : ReadErrorText);
    return false;
}

bool UsbLink::protocolFailure(const QString& message, int port)
{
    boxes_.message(message);
    closeIfOpen(port);
    return false;
}

bool UsbLink::UsbWriteRange(const PagerTable& table, int first, int last, int blockSize,
                            ProgressView* progress)
{
    lostBoard_ = false;
    badReply_ = false;
    writeFrameSent_ = false;
    // Arguments that would read past the table or never end are refused
    // before the port is touched.
    if (blockSize < 1 || blockSize > WriteFrameMaxData || first < 0 || last < 0
        || last > PagerTableLast || first > MaxAddress) {
        boxes_.message(WriteErrorText);
        return false;
    }
    // The bar and the status are shown before the port is touched, so that a
    // board that is gone or a port that does not open reports "Write error!"
    // under "Writing Now.......".
    if (progress) {
        progress->setProgressMaximum(last - 16);
        progress->setProgressPosition(first);
        progress->setProgressColor(ProgressColor::Highlight);
        progress->setStatusText(QStringLiteral("Writing Now......."));
    }
    clock_.letEventsRun();

    const int port = state_.BoardPort;
    if (!startTransfer(port))
        return linkFailure(TransferKind::Write, port);

    for (int a = first;;) {
        if (a > last) {
            if (ports_.close(port) < 0)
                return linkFailure(TransferKind::Write, port);
            return true;
        }
        const int n = a + blockSize - 1 <= last ? blockSize : last - a + 1;
        const Bytes frame = buildWriteFrame(table, a, n);
        writeFrameSent_ = true;
        if (ports_.write(port, frame.data(), static_cast<int>(frame.size())) < 0)
            return linkFailure(TransferKind::Write, port);

        switch (waitForQueue(ports_, clock_, port, WriteAckSize, ReplyTimeoutMs)) {
        case WaitOutcome::Failed:
            return linkFailure(TransferKind::Write, port);
        case WaitOutcome::TimedOut:
            return protocolFailure(WriteErrorText, port);
        case WaitOutcome::Ready:
            break;
        }
        Bytes reply(WriteAckSize);
        const int got = ports_.read(port, reply.data(), WriteAckSize);
        // Fewer bytes than the port said were waiting is a port fault.
        if (got != WriteAckSize)
            return linkFailure(TransferKind::Write, port);
        if (reply != WriteAck()) {
            badReply_ = true;
            return protocolFailure(WriteErrorText, port);
        }

        a += n;
        if (progress)
            progress->setProgressPosition(a);
    }
}

bool UsbLink::UsbReadRange(int first, int last, int blockSize, ProgressView* progress)
{
    lostBoard_ = false;
    badReply_ = false;
    if (blockSize < 1 || blockSize > ReadFrameMaxCount || first < 0 || last < 0 || last > MaxAddress) {
        boxes_.message(ReadErrorText);
        return false;
    }
    readBuffer_.assign(static_cast<std::size_t>(last) + 1, 0);
    const bool fromZero = first == 0;
    clock_.letEventsRun();

    const int port = state_.BoardPort;
    if (!startTransfer(port))
        return linkFailure(TransferKind::Read, port);

    for (int a = first;;) {
        if (a > last) {
            if (ports_.close(port) < 0)
                return linkFailure(TransferKind::Read, port);
            return true;
        }
        const int n = a + blockSize - 1 <= last ? blockSize : last - a + 1;
        const Bytes frame = buildReadFrame(a, n);
        if (ports_.write(port, frame.data(), static_cast<int>(frame.size())) < 0)
            return linkFailure(TransferKind::Read, port);

        waitMs(clock_, ReadPauseMs);

        const int replySize = n + BoardFrameOverhead;
        switch (waitForQueue(ports_, clock_, port, replySize, ReplyTimeoutMs)) {
        case WaitOutcome::Failed:
            return linkFailure(TransferKind::Read, port);
        case WaitOutcome::TimedOut:
            return protocolFailure(ReadTimeOutText, port);
        case WaitOutcome::Ready:
            break;
        }
        Bytes reply(static_cast<std::size_t>(replySize));
        if (ports_.read(port, reply.data(), replySize) != replySize)
            return linkFailure(TransferKind::Read, port);
        // Only the checksum is checked: tag, command and length byte are not.
        if (!boardChecksumMatches(reply)) {
            badReply_ = true;
            return protocolFailure(ReadErrorText, port);
        }

        std::copy_n(reply.begin() + 13, n, readBuffer_.begin() + a);
        a += blockSize;
        if (fromZero && progress)
            progress->setProgressPosition(a);
    }
}

} // namespace px316t

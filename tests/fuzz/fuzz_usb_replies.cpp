// The USB board's replies as they come off the wire: every frame the program
// sends is answered with the next piece of the input (or nothing, once the
// input is used up), through the in-process fake ports on a virtual clock. One
// run detects the board, writes the whole image and reads it back. Every run
// must end, close the board's port, and report no transfer as a success that
// the replies did not earn.
//
// Input: one selector byte, then replies, each a kind byte K and a length byte
// N: N raw bytes, or (K odd) a frame of the maker tag, N bytes of command,
// length and payload, and the checksum those bytes need, so that the fuzzer
// gets past the checksum easily.
#include "fuzz_check.h"

#include "link/board_detection.h"
#include "link/usb/board_frame.h"
#include "link/usb/usb_link.h"
#include "support/link_fake_board.h"
#include "support/link_memory_registry.h"
#include "support/link_recording_views.h"
#include "support/recording_messages.h"

#include <QGuiApplication>

#include <numeric>

using namespace px316t;

namespace {

constexpr int BoardCom = 3;

class Replies {
public:
    Replies(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    Bytes next()
    {
        if (pos_ + 2 > size_) {
            pos_ = size_;
            return {};
        }
        const std::uint8_t kind = data_[pos_];
        const std::size_t length = std::min<std::size_t>(data_[pos_ + 1], size_ - pos_ - 2);
        const std::uint8_t* body = data_ + pos_ + 2;
        pos_ += 2 + length;
        if (!(kind & 1))
            return Bytes(body, body + length);
        Bytes frame(MakerTag.begin(), MakerTag.end());
        frame.insert(frame.end(), body, body + length);
        const std::uint16_t sum = boardChecksum(std::span<const std::uint8_t>(body, length));
        frame.push_back(static_cast<std::uint8_t>(sum >> 8));
        frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
        return frame;
    }
    int answered = 0;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The detection's polling timer and the progress bar's palette need the
    // application object the program always has.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 16384)
        return -1;
    const std::uint8_t selector = data[0];
    Replies replies(data + 1, size - 1);

    testing::FakeClock clock;
    testing::FakeBoardPorts ports(clock);
    ports.addScriptedPort(BoardCom, [&](const Bytes&) {
        ++replies.answered;
        return replies.next();
    });
    testing::MemoryRegistry registry;
    registry.backend->addPort(BoardCom);
    testing::RecordingBoardStatusView status;
    testing::RecordingMessageBoxes boxes;
    LinkState state;

    // Detection: a query, and after a good reply the board setting.
    BoardDetection detection(LinkKind::USB, ports, state, registry.registry, status, boxes, clock);
    const bool found = detection.FindUsbBoard();
    FUZZ_CHECK(!ports.isOpen(BoardCom));
    FUZZ_CHECK(found == (state.BoardPort == BoardCom));
    FUZZ_CHECK(ports.log(BoardCom).writes.size() == (found ? 2u : 1u));

    // Transfers go to the port whether or not it was found.
    state.BoardPort = BoardCom;
    const int blockSize = selector & 0x80 ? 1 + (selector & 0x7F) : UsbBlockSize;
    const int blocks = (PagerTableSize + blockSize - 1) / blockSize;
    UsbLink link(ports, state, registry.registry, status, boxes, clock);
    PagerTable table;
    std::iota(table.begin(), table.end(), 0);
    testing::RecordingProgressView progress;

    std::size_t framesBefore = ports.log(BoardCom).writes.size();
    boxes.clear();
    const bool wrote = link.UsbWriteRange(table, 0, PagerTableLast, blockSize, &progress);
    FUZZ_CHECK(!ports.isOpen(BoardCom));
    std::size_t frames = ports.log(BoardCom).writes.size() - framesBefore;
    // A success needs every block sent, and a failure always says so.
    FUZZ_CHECK(!wrote || frames == static_cast<std::size_t>(blocks));
    FUZZ_CHECK(wrote == boxes.messages.empty());
    FUZZ_CHECK(std::is_sorted(progress.positions.begin(), progress.positions.end()));

    if (!(selector & 0x40)) {
        state.BoardPort = BoardCom;
        framesBefore = ports.log(BoardCom).writes.size();
        boxes.clear();
        const bool read = link.UsbReadRange(0, PagerTableLast, blockSize, &progress);
        FUZZ_CHECK(!ports.isOpen(BoardCom));
        frames = ports.log(BoardCom).writes.size() - framesBefore;
        FUZZ_CHECK(!read || frames == static_cast<std::size_t>(blocks));
        FUZZ_CHECK(read == boxes.messages.empty());
        FUZZ_CHECK(link.ReadBuffer().size() == static_cast<std::size_t>(PagerTableSize));
    }
    return 0;
}

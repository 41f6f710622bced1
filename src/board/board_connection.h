#pragma once
// The programming board as a program connects to it: the serial ports, the
// link state, the registry's port list, the clock, the USB link, the
// parallel-port board of an "LPT" build and board detection, wired in one
// place for the window and the command line alike. The face passes its views:
// the message boxes and the board's status (the main window's message line and
// Pager menu, or nothing for a script); each transfer takes the progress view
// of the face that runs it.
#include "link/board_detection.h"
#include "link/board_status_view.h"
#include "link/link_clock.h"
#include "link/link_kind.h"
#include "link/link_state.h"
#include "link/message_boxes.h"
#include "link/pager_link.h"
#include "link/programming_sequence.h"
#include "link/usb/serial_ports.h"
#include "link/usb/usb_link.h"
#include "registry/cls_registry_access.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace px316t {

class ParallelPortLink;
struct LptProgramOptions;
struct ParallelPortBoard;

// What a face may bring itself; every part left empty is the program's own.
struct BoardConnectionParts {
    // The serial ports; empty: the machine's ports by COM number.
    std::function<std::unique_ptr<SerialPorts>()> makeSerialPorts;
    LinkClock* clock = nullptr;              // nullptr: the real clock, letting events run
    clsRegistryAccess* registry = nullptr;   // nullptr: the platform's registry, kept here
    // The parallel-port board of an "LPT" build: a board the program opened
    // (its link and its probe), or else the options it is opened with here
    // (read during construction only).
    ParallelPortLink* parallelPort = nullptr;
    std::function<bool()> findLptBoard;
    const LptProgramOptions* lptOptions = nullptr;
};

class BoardConnection {
public:
    BoardConnection(LinkKind kind, MessageBoxes& messages, BoardStatusView& status, BoardConnectionParts parts = {});
    ~BoardConnection();
    BoardConnection(const BoardConnection&) = delete;
    BoardConnection& operator=(const BoardConnection&) = delete;

    SerialPorts& ports() { return *ports_; }
    LinkState& state() { return state_; }
    clsRegistryAccess& registry() { return *registry_; }
    LinkClock& clock() { return *clock_; }
    BoardDetection& detection() { return *detection_; }
    // The parallel-port link; null when this connection has none (a USB
    // build, or options that could not be used: see parallelPortError()).
    ParallelPortLink* parallelPort() { return parallelPort_; }
    const std::string& parallelPortError() const { return parallelPortError_; }

    // The build's board as a pager link; null when it cannot be driven (see
    // parallelPortError()).
    PagerLink* pagerLink() { return pagerLink_; }
    // The programming sequence over this board, with the face's command state.
    ProgrammingSequence sequence(PagerCommandState& command);

    // Finds the board for one command: the parallel-port board's probe in an
    // "LPT" build (`port` is not used there); COM `port` when one is named;
    // otherwise the scan the window runs at start-up. False when there is no
    // board, with `problem` set to the lines that say why (empty when the
    // probe has said it already).
    bool connect(std::optional<int> port, std::string& problem);
    // Ends the simulated parallel-port board's bus trace; the sentence saying
    // why it is not whole, or empty (also without a trace).
    std::string finishTrace();

private:
    LinkKind kind_;
    MessageBoxes& messages_;
    BoardStatusView& status_;
    std::unique_ptr<LinkClock> ownClock_;
    LinkClock* clock_;
    std::unique_ptr<clsRegistryAccess> ownRegistry_;
    clsRegistryAccess* registry_;
    std::unique_ptr<SerialPorts> ports_;
    LinkState state_;
    std::unique_ptr<UsbLink> usb_;
    std::unique_ptr<PagerLink> ownPagerLink_;
    PagerLink* pagerLink_ = nullptr;
    std::unique_ptr<ParallelPortBoard> parallelPortBoard_;
    ParallelPortLink* parallelPort_ = nullptr;
    std::string parallelPortError_;
    std::function<bool()> findLptBoard_;
    std::unique_ptr<BoardDetection> detection_;
};

} // namespace px316t

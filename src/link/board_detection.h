#pragma once
// Finding the programming board: once at start-up and then from the polling
// timer Timer1 every 3000 ms. Shows the result on the main window's message
// line and Pager menu through BoardStatusView.
#include "link/board_status_view.h"
#include "link/link_clock.h"
#include "link/link_kind.h"
#include "link/link_state.h"
#include "link/usb/serial_ports.h"
#include "registry/cls_registry_access.h"
#include "link/message_boxes.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace px316t {

inline constexpr int Timer1IntervalMs = 3000;
inline constexpr int BoardReplyWaitMs = 500;   // each of the two waits for a query or setting reply

class BoardDetection {
public:
    // The parallel-port probe of an "LPT" build; false when not supplied.
    using LptProbe = std::function<bool()>;
    // How the system names COM `com` ("COM5 — USB Serial Port, 0403:6001, serial A10K3Q").
    using PortDescriber = std::function<QString(int com)>;

    BoardDetection(LinkKind kind, SerialPorts& ports, LinkState& state, clsRegistryAccess& registry,
                   BoardStatusView& status, MessageBoxes& boxes, LinkClock& clock,
                   LptProbe findLptBoard = {});

    // Start-up step: sets StartupProbe, runs BoardPresent, clears the flag.
    // A missing board is reported once with a warning; on the USB link Timer1
    // runs afterwards, found or not.
    bool runStartupProbe();

    bool BoardPresent();
    bool FindUsbBoard();
    // Every port that answers as a programming board (each is set up as
    // FindUsbBoard sets up the one it finds), in COM order; BoardPort is left
    // at the first.
    std::vector<int> FindAllUsbBoards();
    // Whether a board answers the board query on the open-able COM `port`:
    // when it does, it is set up and becomes BoardPort, as a scan would make it.
    bool UsbBoardAnswersOn(int port);
    void InitUsbBoard();
    void Timer1_Timer();

    // With a describer, the message line also names the board's port while
    // the board is known; it is asked again only when the port changes.
    void describePortsWith(PortDescriber describe) { describe_ = std::move(describe); }

    // Created disabled with its 3000 ms interval; its ticks run Timer1_Timer.
    QTimer& Timer1() { return timer1_; }

    // Why ports were skipped in the last scan because the user may not open
    // them (one line per port, words a technician can act on); empty if none.
    const QString& permissionProblems() const { return permissionProblems_; }

private:
    bool queryBoard(int port);
    // Opens a port of the scan; a port refused for permissions is noted.
    bool openCandidate(int port);

    LinkKind kind_;
    SerialPorts& ports_;
    LinkState& state_;
    clsRegistryAccess& registry_;
    BoardStatusView& status_;
    MessageBoxes& boxes_;
    LinkClock& clock_;
    LptProbe findLptBoard_;
    PortDescriber describe_;
    int describedPort_ = -1;
    QString portText_;
    QTimer timer1_;
    QString permissionProblems_;
};

} // namespace px316t

#include "board/board_connection.h"

#include "link/usb/board_port.h"
#include "board/lpt_board.h"
#include "link/lpt/lpt_pager_link.h"
#include "link/qt_link_clock.h"
#include "link/usb/usb_pager_link.h"
#include "editor/messages.h"
#include "link/usb/port_description.h"
#ifdef _WIN32
#include "link/usb/win32_serial_ports.h"
#else
#include "link/usb/qt_serial_ports.h"
#endif

#include <QString>

namespace px316t {

namespace {

std::unique_ptr<SerialPorts> machineSerialPorts()
{
#ifdef _WIN32
    // No Qt Serial Port in the Windows build: the COM ports through the Win32 functions.
    return std::make_unique<Win32SerialPorts>();
#else
    return std::make_unique<QtSerialPorts>();
#endif
}

} // namespace

BoardConnection::BoardConnection(LinkKind kind, MessageBoxes& messages, BoardStatusView& status,
                                 BoardConnectionParts parts)
    : kind_(kind), messages_(messages), status_(status), clock_(parts.clock), registry_(parts.registry)
{
    if (!clock_) {
        ownClock_ = std::make_unique<QtLinkClock>();
        clock_ = ownClock_.get();
    }
    if (!registry_) {
        ownRegistry_ = std::make_unique<clsRegistryAccess>();
        registry_ = ownRegistry_.get();
    }
    ports_ = parts.makeSerialPorts ? parts.makeSerialPorts() : machineSerialPorts();
    usb_ = std::make_unique<UsbLink>(*ports_, state_, *registry_, status_, messages_, *clock_);

    parallelPort_ = parts.parallelPort;
    findLptBoard_ = std::move(parts.findLptBoard);
    if (kind_ == LinkKind::LPT && !parallelPort_ && parts.lptOptions) {
        parallelPortBoard_ = openParallelPortBoard(*parts.lptOptions, messages_, *clock_, parallelPortError_);
        if (parallelPortBoard_) {
            LptLink* link = parallelPortBoard_->link.get();
            parallelPort_ = link;
            if (!findLptBoard_)
                findLptBoard_ = [link] { return link->FindLptBoard(); };
        }
    }
    detection_ = std::make_unique<BoardDetection>(kind_, *ports_, state_, *registry_, status_, messages_, *clock_,
                                                  findLptBoard_);
    // The one place that picks the build's board; everything after drives a pager link.
    if (kind_ == LinkKind::USB)
        ownPagerLink_ = std::make_unique<UsbPagerLink>(*usb_, messages_);
    else if (parallelPort_)
        ownPagerLink_ = std::make_unique<LptPagerLink>(*parallelPort_);
    pagerLink_ = ownPagerLink_.get();

    // The machine's own ports are named as the system names them.
    if (!parts.makeSerialPorts) {
        detection_->describePortsWith([this](int com) {
            const auto described = systemPortDescriptions(readSerialPortList(*registry_));
            const auto it = described.find(com);
            return QString::fromStdString(portText(com, it == described.end() ? PortDescription{} : it->second));
        });
    }
}

BoardConnection::~BoardConnection() = default;

ProgrammingSequence BoardConnection::sequence(PagerCommandState& command)
{
    return ProgrammingSequence(pagerLink_, messages_, command);
}

std::string BoardConnection::finishTrace()
{
    return parallelPortBoard_ ? finishSimulatedTrace(*parallelPortBoard_) : std::string();
}

bool BoardConnection::connect(std::optional<int> port, std::string& problem)
{
    problem.clear();
    if (kind_ == LinkKind::LPT) {
        if (!parallelPort_) {
            problem = parallelPortError_.empty() ? std::string("No parallel-port board is set up.")
                                                 : parallelPortError_;
            return false;
        }
        // The probe says itself why no board answered.
        return findLptBoard_ ? findLptBoard_() : false;
    }
    if (port) {
        int result = SerialOk;
        if (!OpenBoardPort(*ports_, *port, &result)) {
            const std::string why = ports_->errorText(*port);
            problem = "COM" + std::to_string(*port) + " cannot be opened" + (why.empty() ? std::string() : ": " + why);
            return false;
        }
        ports_->close(*port);
        // A port that opens is not yet the board: nothing is sent to a pager
        // through a port where no board answers the board query.
        if (!detection_->UsbBoardAnswersOn(*port)) {
            problem = "COM" + std::to_string(*port) + ": " + std::string(messages::BoardNotResponding);
            return false;
        }
        return true;
    }
    if (detection_->FindUsbBoard())
        return true;
    if (!detection_->permissionProblems().isEmpty())
        problem = detection_->permissionProblems().toStdString() + "\n";
    problem += messages::BoardNotResponding;
    return false;
}

} // namespace px316t

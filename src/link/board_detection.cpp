#include "link/board_detection.h"

#include "link/usb/board_frame.h"
#include "link/usb/board_port.h"
#include "link/board_status.h"
#include "link/usb/serial_port_list.h"
#include "editor/messages.h"
#include "table/builtin_tables.h"

#include <algorithm>
#include <limits>

namespace px316t {

namespace {
constexpr std::uint8_t BoardSettingValue = 0x01;
} // namespace

BoardDetection::BoardDetection(LinkKind kind, SerialPorts& ports, LinkState& state,
                               clsRegistryAccess& registry, BoardStatusView& status,
                               MessageBoxes& boxes, LinkClock& clock, LptProbe findLptBoard)
    : kind_(kind), ports_(ports), state_(state), registry_(registry), status_(status), boxes_(boxes),
      clock_(clock), findLptBoard_(std::move(findLptBoard))
{
    timer1_.setInterval(Timer1IntervalMs);
    QObject::connect(&timer1_, &QTimer::timeout, [this] { Timer1_Timer(); });
}

bool BoardDetection::runStartupProbe()
{
    state_.StartupProbe = true;
    const bool found = BoardPresent();
    state_.StartupProbe = false;
    return found;
}

bool BoardDetection::BoardPresent()
{
    if (kind_ == LinkKind::USB)
        return FindUsbBoard();
    return findLptBoard_ ? findLptBoard_() : false;
}

bool BoardDetection::queryBoard(int port)
{
    ports_.flush(port, FlushBoth);
    const Bytes& query = QueryCommand();
    ports_.write(port, query.data(), static_cast<int>(query.size()));

    if (huntForReplyStart(ports_, clock_, port, BoardReplyWaitMs) != WaitOutcome::Ready)
        return false;
    constexpr int rest = QueryReplySize - 1;
    if (waitForQueue(ports_, clock_, port, rest, BoardReplyWaitMs, false) != WaitOutcome::Ready)
        return false;
    Bytes reply(QueryReplySize);
    reply[0] = ReplyStartByte;
    if (ports_.read(port, reply.data() + 1, rest) != rest)
        return false;
    if (!boardChecksumMatches(reply))
        return false;
    const Bytes& head = QueryReplyHead();
    return std::equal(head.begin(), head.end(), reply.begin());
}

bool BoardDetection::openCandidate(int port)
{
    int openResult = SerialOk;
    if (OpenBoardPort(ports_, port, &openResult))
        return true;
    // A port the user may not open is said in words a technician can act on.
    if (openResult == SerialPermissionDenied) {
        if (!permissionProblems_.isEmpty())
            permissionProblems_ += QLatin1Char('\n');
        permissionProblems_ += QString::fromStdString(ports_.errorText(port));
    }
    return false;
}

std::vector<int> BoardDetection::FindAllUsbBoards()
{
    clock_.letEventsRun();
    permissionProblems_.clear();
    std::vector<int> found;
    for (const ListedPort& entry : readSerialPortList(registry_)) {
        if (!entry.number)
            continue;
        const int port = *entry.number;
        if (!openCandidate(port))
            continue;
        if (queryBoard(port)) {
            state_.BoardPort = static_cast<std::int16_t>(port);
            InitUsbBoard();
            found.push_back(port);
        }
        ports_.close(port);
    }
    if (!found.empty())
        state_.BoardPort = static_cast<std::int16_t>(found.front());
    return found;
}

bool BoardDetection::UsbBoardAnswersOn(int port)
{
    clock_.letEventsRun();
    if (ports_.lstatus(port) < 0 && !OpenBoardPort(ports_, port))
        return false;
    const bool answers = queryBoard(port);
    if (answers) {
        state_.BoardPort = static_cast<std::int16_t>(port);
        InitUsbBoard();
    }
    if (ports_.lstatus(port) >= 0)
        ports_.close(port);
    return answers;
}

bool BoardDetection::FindUsbBoard()
{
    if (state_.StartupProbe)
        timer1_.stop();
    clock_.letEventsRun();
    permissionProblems_.clear();

    const std::vector<ListedPort> list = readSerialPortList(registry_);
    for (const ListedPort& entry : list) {
        // An entry without a usable port number is skipped; the scan goes on.
        if (!entry.number)
            continue;
        // The candidate is kept apart from BoardPort until it answers, so a
        // transfer started from a window event during the scan never sees a
        // port that is only being tried.
        const int port = *entry.number;
        if (!openCandidate(port))
            continue;
        if (!queryBoard(port)) {
            ports_.close(port);
            continue;
        }
        state_.BoardPort = static_cast<std::int16_t>(port);
        InitUsbBoard();
        ports_.close(port);
        state_.SerialPortCount = static_cast<std::int16_t>(
            std::min<std::size_t>(list.size(), std::numeric_limits<std::int16_t>::max()));
        if (state_.StartupProbe)
            timer1_.start();
        return true;
    }

    if (state_.StartupProbe)
        boxes_.message(QString::fromLatin1(messages::BoardNotResponding), MessageBoxes::Icon::Warning);
    state_.BoardPort = -1;
    if (state_.StartupProbe)
        timer1_.start();
    return false;
}

void BoardDetection::InitUsbBoard()
{
    const int port = state_.BoardPort;
    if (ports_.lstatus(port) < 0)
        OpenBoardPort(ports_, port);
    clock_.letEventsRun();
    ports_.flush(port, FlushBoth);
    const Bytes frame = buildSettingFrame(BoardSettingValue);
    ports_.write(port, frame.data(), static_cast<int>(frame.size()));

    bool acknowledged = false;
    constexpr int rest = SettingAckSize - 1;
    if (huntForReplyStart(ports_, clock_, port, BoardReplyWaitMs) == WaitOutcome::Ready
        && waitForQueue(ports_, clock_, port, rest, BoardReplyWaitMs, false) == WaitOutcome::Ready) {
        Bytes reply(SettingAckSize);
        reply[0] = ReplyStartByte;
        acknowledged = ports_.read(port, reply.data() + 1, rest) == rest && reply == SettingAck();
    }
    ports_.close(port);
    if (!acknowledged)
        boxes_.message(QString::fromLatin1(messages::ProgrammerInitialError));
}

void BoardDetection::Timer1_Timer()
{
    timer1_.stop();
    // An "LPT" build never polls: nothing enables the timer there.
    if (kind_ != LinkKind::USB)
        return;

    const std::vector<ListedPort> list = readSerialPortList(registry_);
    const auto count = static_cast<std::int16_t>(
        std::min<std::size_t>(list.size(), std::numeric_limits<std::int16_t>::max()));
    bool found = false;
    if (count > state_.SerialPortCount && state_.BoardPort < 0) {
        found = BoardPresent();
    } else {
        found = std::any_of(list.begin(), list.end(), [this](const ListedPort& entry) {
            return entry.number && *entry.number == state_.BoardPort;
        });
    }
    if (found) {
        if (describe_ && describedPort_ != state_.BoardPort) {
            describedPort_ = state_.BoardPort;
            portText_ = describe_(state_.BoardPort);
        }
        showBoardConnected(status_, describe_ ? portText_ : QString());
    } else {
        state_.BoardPort = -1;
        describedPort_ = -1;
        showBoardDisconnected(status_);
    }
    state_.SerialPortCount = count;
    timer1_.start();
}

} // namespace px316t

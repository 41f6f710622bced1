#include "cli/board.h"

#include "link/link_kind.h"
#include "link/usb/port_description.h"
#include "link/usb/serial_port_list.h"
#include "registry/cls_registry_access.h"

#include <algorithm>
#include <atomic>
#include <map>

namespace px316t::cli {

namespace {

BoardConnectionParts commandLineParts()
{
    BoardConnectionParts parts;
    parts.lptOptions = &lptOptions();
    return parts;
}

constexpr const char* kPortNeeded = "--port needs a COM number from 1 to 255 (4 or COM4) or the serial number of a "
                                    "board's port (px316t-cli ports lists them), not ";

// The COM number of a --port value: "4", "COM4" (any letter case), or the
// serial number of the port's board, as the system describes the ports.
std::optional<int> portNumberOf(const QString& text, std::optional<std::map<int, PortDescription>>& described)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (ok) {
        if (n >= 1 && n <= 255)
            return n;
        say(kPortNeeded + text);
        return std::nullopt;
    }
    if (!described) {
        clsRegistryAccess registry;
        described = systemPortDescriptions(readSerialPortList(registry));
    }
    const std::vector<int> ports = portsWithSerial(*described, text.toStdString());
    if (ports.size() == 1)
        return ports.front();
    if (ports.empty()) {
        say(kPortNeeded + text);
    } else {
        QStringList names;
        for (int port : ports)
            names << QStringLiteral("COM%1").arg(port);
        say(QStringLiteral("--port %1: that serial number is on %2; name the port by its COM number")
                .arg(text, names.join(QStringLiteral(" and "))));
    }
    return std::nullopt;
}

} // namespace

namespace {
std::atomic<bool> traceNotWhole = false;
} // namespace

bool traceFailed() { return traceNotWhole; }

LptProgramOptions& lptOptions()
{
    static LptProgramOptions options;
    return options;
}

Board::Board()
    : connection(BuildLinkKind, messages, status, commandLineParts()), ports(connection.ports()),
      state(connection.state()), registry(connection.registry()), clock(connection.clock()),
      sequence(connection.sequence(command))
{
}

Board::~Board()
{
    if (const std::string problem = connection.finishTrace(); !problem.empty()) {
        say(problem + " The pager's result above stands.");
        traceNotWhole = true;
    }
}

bool Board::connect(const std::optional<QString>& port)
{
    std::optional<int> number;
    if (port && BuildLinkKind == LinkKind::USB) {
        std::optional<std::map<int, PortDescription>> described;
        number = portNumberOf(*port, described);
        if (!number)
            return false;
    }
    std::string problem;
    if (connection.connect(number, problem))
        return true;
    if (!problem.empty())
        say(problem);
    return false;
}

std::optional<std::vector<int>> portNumbers(const Args& a)
{
    std::vector<int> ports;
    const auto it = a.all.find(QStringLiteral("--port"));
    if (it == a.all.end())
        return ports;
    std::optional<std::map<int, PortDescription>> described;   // asked once, when a serial number is given
    for (const QString& text : it->second) {
        const auto n = portNumberOf(text, described);
        if (!n)
            return std::nullopt;
        if (std::find(ports.begin(), ports.end(), *n) != ports.end()) {
            say(QStringLiteral("COM%1 is named twice").arg(*n));
            return std::nullopt;
        }
        ports.push_back(*n);
    }
    return ports;
}

std::optional<QString> portOption(const Args& a, const std::string& command, bool& bad)
{
    const auto ports = portNumbers(a);
    bad = !ports;
    if (bad || ports->empty())
        return std::nullopt;
    if (ports->size() > 1) {
        bad = true;
        usage(command, QStringLiteral("takes one --port"));
        return std::nullopt;
    }
    return QString::number(ports->front());
}

} // namespace px316t::cli

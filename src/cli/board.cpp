#include "cli/board.h"

#include "link/link_kind.h"

#include <algorithm>
#include <atomic>

namespace px316t::cli {

namespace {

BoardConnectionParts commandLineParts()
{
    BoardConnectionParts parts;
    parts.lptOptions = &lptOptions();
    return parts;
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
        bool ok = false;
        const int n = port->toInt(&ok);
        if (!ok || n < 1 || n > 255) {
            say(QStringLiteral("--port needs a COM number from 1 to 255, not ") + *port);
            return false;
        }
        number = n;
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
    for (const QString& text : it->second) {
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || n < 1 || n > 255) {
            say(QStringLiteral("--port needs a COM number from 1 to 255, not ") + text);
            return std::nullopt;
        }
        if (std::find(ports.begin(), ports.end(), n) != ports.end()) {
            say(QStringLiteral("COM%1 is named twice").arg(n));
            return std::nullopt;
        }
        ports.push_back(n);
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

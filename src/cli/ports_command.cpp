// px316t-cli ports: the serial ports by COM number, and which of them is a
// programming board.
#include "cli/board.h"
#include "cli/commands.h"
#include "cli/json_line.h"
#include "editor/messages.h"
#include "link/usb/port_description.h"
#include "link/usb/serial_port_list.h"
#include "registry/cls_registry_access.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace px316t::cli {

int cmdPorts(const Args& a)
{
    if (!a.positional.isEmpty())
        return usage("ports", QStringLiteral("takes no arguments, not ") + a.positional.join(QLatin1Char(' ')));
    clsRegistryAccess registry;
    const auto list = readSerialPortList(registry);
    const auto described = systemPortDescriptions(list);
    Board board;
    BoardDetection detection(LinkKind::USB, board.ports, board.state, board.registry, board.status,
                             board.messages, board.clock);
    // Every port is asked: a station with several boards sees them all.
    const std::vector<int> boards = detection.FindAllUsbBoards();
    auto answers = [&](const std::optional<int>& number) {
        return number && std::find(boards.begin(), boards.end(), *number) != boards.end();
    };
    for (const ListedPort& p : list) {
        const QString com = p.number ? QStringLiteral("COM%1").arg(*p.number) : QStringLiteral("COM?");
        const auto found = p.number ? described.find(*p.number) : described.end();
        const PortDescription description = found == described.end() ? PortDescription{} : found->second;
        if (wantsJson(a)) {
            JsonLine line;
            if (p.number)
                line.text("port", com.toStdString()).number("com", *p.number);
            else
                line.raw("port", "null").raw("com", "null");
            line.text("device", p.name);
            auto textOrNull = [&](const char* key, const std::string& value) {
                value.empty() ? line.raw(key, "null") : line.text(key, value);
            };
            textOrNull("name", description.friendlyName);
            textOrNull("usb_id", usbIdText(description));
            textOrNull("serial", description.serialNumber);
            line.boolean("board", answers(p.number)).print();
            continue;
        }
        // "COM5    USB Serial Port, 0403:6001, serial A10K3Q (\Device\VCP0)"
        const std::string details = p.number ? portDetailsText(*p.number, description) : std::string();
        const std::string shown = details.empty() ? p.name : details + " (" + p.name + ")";
        std::printf("%-7s %s%s\n", com.toStdString().c_str(), shown.c_str(),
                    answers(p.number) ? "  programming board" : "");
    }
    if (!detection.permissionProblems().isEmpty())
        say(detection.permissionProblems());
    if (boards.empty()) {
        say(std::string(messages::BoardNotResponding));
        return Failed;
    }
    return Ok;
}

} // namespace px316t::cli

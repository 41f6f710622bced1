#pragma once
// What the commands of px316t-cli share: their arguments, the terminal's
// lines, table files, JSON lines and the board a command connects to.
#include "cli/cli_faces.h"
#include "link/board_detection.h"
#include "link/board_port.h"
#include "link/link_kind.h"
#include "link/lpt_board.h"
#include "link/programming_sequence.h"
#include "link/qt_link_clock.h"
#ifdef _WIN32
#include "link/win32_serial_ports.h"
#else
#include "link/qt_serial_ports.h"
#endif
#include "link/usb_link.h"
#include "production/production_services.h"
#include "registry/cls_registry_access.h"
#include "table/pager_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace px316t::cli {

enum Exit { Ok = 0, Failed = 1, Usage = 2 };

void say(const std::string& line);
void say(const QString& line);

struct Args {
    QStringList positional;
    std::map<QString, QString> options;   // --name value, or --flag with an empty value
    std::map<QString, QStringList> all;   // every value of an option given more than once
    std::optional<QString> error;
};

int usage(const std::string& command, const QString& problem);

std::optional<PagerTable> loadTable(const QString& file);
bool saveTable(const QString& file, const PagerTable& table);
// The line said after "Verify Error!": where the pager first differs.
std::string differenceLine(int address);
// One line of JSON whose keys keep the order they were added in (QJsonObject
// sorts them): a script reads the catalogue's order, numbers as numbers.
class JsonLine {
public:
    JsonLine& text(const std::string& key, const std::string& value)
    {
        return raw(key, quoted(value));
    }
    JsonLine& number(const std::string& key, long long value) { return raw(key, std::to_string(value)); }
    JsonLine& boolean(const std::string& key, bool value) { return raw(key, value ? "true" : "false"); }
    JsonLine& raw(const std::string& key, const std::string& json)
    {
        body_ += (body_.empty() ? "" : ",") + quoted(key) + ":" + json;
        return *this;
    }
    std::string str() const { return "{" + body_ + "}"; }
    // Printed whole on stdout, one object per line, even from several boards' threads.
    void print() const
    {
        static std::mutex lock;
        const std::lock_guard<std::mutex> held(lock);
        std::printf("%s\n", str().c_str());
        std::fflush(stdout);
    }
    static std::string quoted(const std::string& value)
    {
        const QByteArray array =
            QJsonDocument(QJsonArray{QString::fromStdString(value)}).toJson(QJsonDocument::Compact);
        return array.mid(1, array.size() - 2).toStdString();
    }

private:
    std::string body_;
};

JsonLine pagerJson(const std::string& port, const PagerTable& image, const std::string& result,
                   std::optional<int> difference = std::nullopt);
bool wantsJson(const Args& a);

LptProgramOptions& lptOptions();

// The terminal's messages, each line naming its board when several run.
class BoardMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon icon = Icon::None) override { terminal_.message(portPrefix + text, icon); }
    bool askYesNo(const QString& text) override { return terminal_.askYesNo(text); }
    // "COM3: " when several boards run at once, so that every line names its board.
    QString portPrefix;

private:
    StderrMessages terminal_;
};

struct Board {
#ifdef _WIN32
    Win32SerialPorts ports;
#else
    QtSerialPorts ports;
#endif
    LinkState state;
    clsRegistryAccess registry;
    SilentBoardStatus status;
    BoardMessages messages;
    QtLinkClock clock;
    UsbLink usb{ports, state, registry, status, messages, clock};
    std::string parallelPortError;
    // The board of an "LPT" build; null in a USB build, or when its options cannot be used.
    std::unique_ptr<ParallelPortBoard> parallelPort =
        BuildLinkKind == LinkKind::LPT ? openParallelPortBoard(lptOptions(), messages, clock, parallelPortError)
                                       : nullptr;
    PagerCommandState command;
    ProgrammingSequence sequence{BuildLinkKind, &usb, parallelPort ? parallelPort->link.get() : nullptr, messages,
                                 command};

    // Finds the board as the window does, or takes COM `port`; false (with
    // one line said) when there is none. An "LPT" build finds its parallel-port
    // board and ignores `port`.
    bool connect(const std::optional<QString>& port)
    {
        if (BuildLinkKind == LinkKind::LPT) {
            if (!parallelPort) {
                say(parallelPortError);
                return false;
            }
            return parallelPort->link->FindLptBoard();
        }
        if (port) {
            bool ok = false;
            const int n = port->toInt(&ok);
            if (!ok || n < 1 || n > 255) {
                say(QStringLiteral("--port needs a COM number from 1 to 255, not ") + *port);
                return false;
            }
            int result = SerialOk;
            if (!OpenBoardPort(ports, n, &result)) {
                const std::string why = ports.errorText(n);
                say(QStringLiteral("COM%1 cannot be opened").arg(n)
                    + (why.empty() ? QString() : QStringLiteral(": ") + QString::fromStdString(why)));
                return false;
            }
            ports.close(n);
            state.BoardPort = static_cast<std::int16_t>(n);
            return true;
        }
        BoardDetection detection(LinkKind::USB, ports, state, registry, status, messages, clock);
        if (detection.FindUsbBoard())
            return true;
        if (!detection.permissionProblems().isEmpty())
            say(detection.permissionProblems());
        say(QStringLiteral("The Programmed Board is not responding!"));
        return false;
    }
};

// The COM numbers of --port options; nothing (after one line) for a bad one.
std::optional<std::vector<int>> portNumbers(const Args& a);
ProductionOptions productionOptions(const Args& a);
// The record and backups of this station; nothing (after one line) when the
// record cannot be opened, so that no transfer goes unrecorded.
std::unique_ptr<ProductionServices> openProduction(const Args& a);

// A progress view for boards that run side by side: one progress line cannot
// show several boards.
class NoProgress final : public ProgressView {
public:
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}
    void setProgressColor(ProgressColor) override {}
    void setStatusText(const QString&) override {}
};

} // namespace px316t::cli

#pragma once
// The main window as the benchmarks start it: the program's own set-up, but with
// a registry in a temporary folder that lists no serial port and message boxes
// that only print, so nothing waits for a click.
#include "app/application_root.h"
#include "link/usb/qt_serial_ports.h"
#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "ui/dialogs.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace px316t::bench {

class PrintedMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool askYesNo(const QString&) override { return true; }
};

// Answers every file dialog with one path.
class FixedFileDialogs final : public FileDialogs {
public:
    std::optional<QString> openFile(const QString&, const QString&) override { return path; }
    std::optional<QString> saveFile(const QString&, const QString&) override { return path; }
    QString path;
};

inline ApplicationOptions benchWindowServices(const QString& folder, MessageBoxes& messages,
                                              FileDialogs* files = nullptr)
{
    ApplicationOptions services;
    services.linkKind = LinkKind::USB;
    services.messages = &messages;
    services.fileDialogs = files;
    services.appFolder = folder;
    const std::string dir = folder.toStdString();
    services.makeRegistry = [dir] {
        PortableRegistryOptions options;
        options.storeFile = dir + "/registry.sqlite";
        options.ports.configHome = dir;
        options.ports.includeSystemPorts = false;
        return std::make_unique<clsRegistryAccess>(makePortableRegistryBackend(options));
    };
    services.makeSerialPorts = [dir]() -> std::unique_ptr<SerialPorts> {
        SerialPortMapOptions options;
        options.configHome = dir;
        options.includeSystemPorts = false;
        return std::make_unique<QtSerialPorts>(options);
    };
    return services;
}

} // namespace px316t::bench

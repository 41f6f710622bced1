#pragma once
// The window program's composition root: it creates what the views work with
// (the pager document, the message boxes and file dialogs, the registry, the
// board connection, the production line with its record and backups) and
// hands them to the main window, which creates none of them itself. The
// program passes its own options; tests pass recorders and temporary stores.
#include "board/board_connection.h"
#include "editor/pager_document.h"
#include "link/link_kind.h"
#include "production/production_line.h"
#include "production/production_services.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/held_messages.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace px316t {

class LinkClock;
class ParallelPortLink;
class QtFileDialogs;
class QtMessageBoxes;
class SerialPorts;
class clsRegistryAccess;

struct ApplicationOptions {
    LinkKind linkKind = LinkKind::USB;   // the program passes its build's board
    MessageBoxes* messages = nullptr;     // nullptr: Qt message boxes
    FileDialogs* fileDialogs = nullptr;   // nullptr: Qt file dialogs
    std::function<std::unique_ptr<clsRegistryAccess>()> makeRegistry;   // empty: platform default
    std::function<void()> endProgram;     // empty: quit the application
    QString appFolder;                    // empty: the program's folder
    // Where the file dialogs start when the program's folder is not the user's
    // to write in: empty, the user's documents folder; and the test of that.
    QString documentsFolder;
    std::function<bool(const QString& folder)> folderWritable;   // empty: the file system's answer
    // The serial ports of the USB board; empty: the machine's ports by COM number.
    std::function<std::unique_ptr<SerialPorts>()> makeSerialPorts;
    LinkClock* linkClock = nullptr;       // nullptr: the real clock, letting window events run
    // The parallel-port board of an "LPT" build: its probe and its operations.
    std::function<bool()> findLptBoard;
    ParallelPortLink* parallelPort = nullptr;
    // Backups of read pagers and the production record; nothing: the user's
    // data folder and the shared database named by the environment.
    std::optional<ProductionOptions> production;
    // The batch of the shared database the auto-increase joins (--batch).
    std::string batch;
};

class ApplicationRoot {
public:
    explicit ApplicationRoot(ApplicationOptions options = {});
    ~ApplicationRoot();
    ApplicationRoot(const ApplicationRoot&) = delete;
    ApplicationRoot& operator=(const ApplicationRoot&) = delete;

    Form1& window() { return *window_; }
    PagerDocument& document() { return document_; }

private:
    // The board's status goes to the main window, which is made after the board.
    class StatusRelay final : public BoardStatusView {
    public:
        void setMessageLine(const QString& text, Rgb color) override;
        void setPagerMenuEnabled(bool enabled) override;
        BoardStatusView* window = nullptr;
    };

    PagerDocument document_;
    std::unique_ptr<QtMessageBoxes> qtMessages_;
    std::unique_ptr<QtFileDialogs> qtFileDialogs_;
    MessageBoxes* messages_;
    // What the board and the window say; the start-up's messages wait for the window.
    std::unique_ptr<HeldMessages> held_;
    FileDialogs* fileDialogs_;
    std::unique_ptr<clsRegistryAccess> registry_;
    StatusRelay status_;
    std::unique_ptr<BoardConnection> board_;
    std::unique_ptr<ProductionLine> line_;
    std::unique_ptr<Form1> window_;
};

} // namespace px316t

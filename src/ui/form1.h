#pragma once
// The main window: owner of the pager image and of the shared objects, the
// composition root of the editor units, and the start-up sequence.
#include "ui/editor_context.h"
#include "board/board_connection.h"
#include "link/board_status_view.h"
#include "ui/form2.h"
#include "link/link_kind.h"
#include "link/link_state.h"
#include "production/production_line.h"
#include "production/production_services.h"
#include "table/pager_table.h"
#include "ui/control_list.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QGroupBox;
class QKeyEvent;

namespace px316t {

class BoardDetection;
class CapcodeList;
class FileDialogs;
class LinkClock;
class ParallelPortLink;
class SerialPorts;
class UsbLink;
class FilePlaces;
class FrequencyPanel;
class MessageBoxes;
class OptionControls;
class PasswordField;
class PromptsPanel;
class clsRegistryAccess;

// What the window is built with: the program passes the real services, tests
// pass recorders and temporary stores.
struct Form1Services {
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

class Form1 : public QMainWindow, public BoardStatusView {
public:
    explicit Form1(Form1Services services = {});
    ~Form1() override;

    // The start-up sequence; runs once, after construction.
    void Form_Load();

    // The full refresh of every control from the pager image.
    int init_ctl();
    void ModifyOpt_Click();
    void WriteOpt_Click();
    void chkCtl_Click(int index);
    void cboCtl_Click(int index);

    void mnuLBFF_Click();
    // Loads a table file as File > Open does once a name is chosen (the file
    // named on the command line).
    void openTableFile(const QString& path);
    // The folder the open and save dialogs start in.
    QString fileDialogFolder() const;
    void mnuSBTF_Click();
    void mnuEntire_Click();
    void mnuEB_Click();
    void mnuEB1_Click();
    void mnuAbout_Click();
    // File > Production Record...: the station's record as a read-only table.
    void mnuProductionRecord_Click();
    // The backups and the record, opened on first use; nothing when they
    // cannot be opened (said once).
    ProductionServices* production();
    // Shows the production record; tests look at it instead of running it.
    std::function<void(QDialog&)> onProductionRecordWindow;
    void mnuExit_Click();
    void EMoptCode_Click();
    void EMoptStatus_Click();
    void EMoptPrompts_Click();

    // BoardStatusView
    void setMessageLine(const QString& text, Rgb color) override;
    void setPagerMenuEnabled(bool enabled) override;

    PagerTable& table() { return PagerTable_; }
    EntryFlags& flags() { return flags_; }
    const ControlList& controls() const { return controls_; }
    ControlArrays& arrays() { return arrays_; }
    CapcodeList& capcodes() { return *capcodes_; }
    FrequencyPanel& frequency() { return *frequency_; }
    OptionControls& options() { return *options_; }
    PromptsPanel& prompts() { return *prompts_; }
    PasswordField& password() { return *password_; }
    clsRegistryAccess* registry() { return RegistryAccess.get(); }
    LinkKind linkKind() const { return linkKind_; }
    MessageBoxes& messages() { return *messages_; }
    bool inModifyMode() const;
    const QString& AppFolder() const { return appFolder_; }
    int DesignScaleWidth() const { return designScaleWidth_; }
    int DesignScaleHeight() const { return designScaleHeight_; }
    LinkState& linkState() { return board_->state(); }
    PagerCommandState& commandState() { return commandState_; }
    BoardDetection* detection() { return board_ ? &board_->detection() : nullptr; }
    UsbLink* usbLink() { return board_ ? &board_->usb() : nullptr; }
    // Called with the programming window right before it is shown modally.
    std::function<void(Form2&)> onProgrammingWindow;
    // Band from the image, full refresh, capcode lengths: after a load or a read.
    void refreshFromImage();

    QWidget* client = nullptr;
    QWidget* picTabBack = nullptr;
    QPushButton* EMoptCode = nullptr;
    QPushButton* EMoptStatus = nullptr;
    QPushButton* EMoptPrompts = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* lblPEdit = nullptr;
    QRadioButton* ModifyOpt = nullptr;
    QRadioButton* WriteOpt = nullptr;
    QWidget* picSet = nullptr;
    QWidget* picSet2 = nullptr;
    QWidget* picSet5 = nullptr;
    QGroupBox* fraFrequency = nullptr;
    QGroupBox* fraCapcode = nullptr;
    QGroupBox* fraAuto = nullptr;
    QCheckBox* optAuto1 = nullptr;
    QLabel* lblMsg = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuPager = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuLBFF = nullptr;
    QAction* mnuSBTF = nullptr;
    QAction* mnudash = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuEntire = nullptr;
    QAction* mnuEB = nullptr;
    QAction* mnuEB1 = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuProductionRecord = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildWindow();
    void InitTables();
    void setModeLocked(bool locked);
    void showPage(QWidget* page, QPushButton* tab);
    // The page step a key asks for: 1 next, -1 previous, 0 none.
    static int pageStep(const QKeyEvent& key);
    // Brings the page `step` places after the one in front to the front, round.
    void showNextPage(int step);
    // The first steps of every Pager command: commit the field being edited and
    // drop the command once after a refused entry. True when the command may run.
    void runPagerCommand(int command);
    // Commits the field being edited before Open or Save; false when that commit
    // refused the entry and the command is dropped.
    bool commitFieldForFileCommand();
    void createLink();
    void endProgram();

    LinkKind linkKind_;
    std::unique_ptr<MessageBoxes> ownMessages_;
    std::unique_ptr<FileDialogs> ownFileDialogs_;
    MessageBoxes* messages_;
    FileDialogs* fileDialogs_;
    std::function<std::unique_ptr<clsRegistryAccess>()> makeRegistry_;
    std::function<void()> endProgram_;
    // The board's parts the program passed, wired by createLink.
    BoardConnectionParts boardParts_;
    ProductionOptions productionOptions_;
    std::unique_ptr<ProductionLine> line_;   // the record, backups and production sequence
    bool productionFailureShown_ = false;
    std::unique_ptr<BoardConnection> board_;
    PagerCommandState commandState_;

    PagerTable PagerTable_{};
    EntryFlags flags_;
    ControlArrays arrays_;
    ControlList controls_;
    std::unique_ptr<EditorContext> context_;
    CapcodeList* capcodes_ = nullptr;
    FrequencyPanel* frequency_ = nullptr;
    OptionControls* options_ = nullptr;
    PasswordField* password_ = nullptr;
    PromptsPanel* prompts_ = nullptr;
    std::unique_ptr<clsRegistryAccess> RegistryAccess;
    QString appFolder_;
    QString documentsFolder_;
    std::function<bool(const QString&)> folderWritable_;
    std::unique_ptr<FilePlaces> filePlaces_;
    int designScaleWidth_ = 0;
    int designScaleHeight_ = 0;
    bool loaded_ = false;
    QWidget* frontPage_ = nullptr;
};

} // namespace px316t

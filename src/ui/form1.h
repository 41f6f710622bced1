#pragma once
// The main window: the view of the pager document with its three pages, menus
// and message line, and the start-up sequence. It is given every service it
// uses (the application root in src/app/ creates them) and creates none itself.
#include "editor/pager_document.h"
#include "link/board_status_view.h"
#include "link/link_kind.h"
#include "ui/control_list.h"
#include "ui/editor_context.h"
#include "ui/form2.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QGroupBox;
class QKeyEvent;

namespace px316t {

class BoardConnection;
class BoardDetection;
class CapcodeList;
class FileDialogs;
class FilePlaces;
class FrequencyPanel;
class HeldMessages;
class MessageBoxes;
class OptionControls;
class PasswordField;
class ProductionLine;
class ProductionServices;
class PromptsPanel;
struct LinkState;
class clsRegistryAccess;

// What the window shows and works with, made by the application root.
struct Form1Services {
    LinkKind linkKind;
    PagerDocument& document;
    MessageBoxes& messages;
    FileDialogs& fileDialogs;
    clsRegistryAccess& registry;
    BoardConnection& board;
    ProductionLine& line;          // the record, backups and production sequence
    std::function<void()> endProgram;
    QString appFolder;             // the program's folder
    // Where the file dialogs start when the program's folder is not the user's
    // to write in: empty, the user's documents folder; and the test of that.
    QString documentsFolder;
    std::function<bool(const QString& folder)> folderWritable;   // empty: the file system's answer
    // The messages above, if they can be held: Form_Load holds them and the
    // window shows them once it is on the screen.
    HeldMessages* startupMessages = nullptr;
};

class Form1 : public QMainWindow, public BoardStatusView {
public:
    explicit Form1(Form1Services services);
    ~Form1() override;

    // The start-up sequence; runs once, after construction.
    void Form_Load();

    // The full refresh of every control from the pager document.
    int init_ctl();
    void ModifyOpt_Click();
    void WriteOpt_Click();
    // The shared handler of the combo-box array: the rules between controls
    // that follow a changed selection (the binding stored it already).
    void cboCtl_Click(int index);

    void mnuLBFF_Click();
    // Loads a table file as File > Open does once a name is chosen (the file
    // named on the command line).
    void openTableFile(const QString& path);
    void mnuSBTF_Click();
    void mnuEntire_Click();
    void mnuEB_Click();
    void mnuEB1_Click();
    void mnuAbout_Click();
    // File > Production Record...: the station's record as a read-only table.
    void mnuProductionRecord_Click();
    // Shows the production record; tests look at it instead of running it.
    std::function<void(QDialog&)> onProductionRecordWindow;
    void mnuExit_Click();
    void EMoptCode_Click();
    void EMoptStatus_Click();
    void EMoptPrompts_Click();

    // BoardStatusView
    void setMessageLine(const QString& text, Rgb color) override;
    void setPagerMenuEnabled(bool enabled) override;

    PagerDocument& document() { return document_; }
    const ControlList& controls() const { return controls_; }
    ControlArrays& arrays() { return arrays_; }
    CapcodeList& capcodes() { return *capcodes_; }
    FrequencyPanel& frequency() { return *frequency_; }
    OptionControls& options() { return *options_; }
    PromptsPanel& prompts() { return *prompts_; }
    PasswordField& password() { return *password_; }
    bool inModifyMode() const;
    int DesignScaleWidth() const { return designScaleWidth_; }
    int DesignScaleHeight() const { return designScaleHeight_; }
    LinkState& linkState();
    PagerCommandState& commandState() { return commandState_; }
    BoardDetection* detection();
    // Called with the programming window right before it is shown modally.
    std::function<void(Form2&)> onProgrammingWindow;

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
    void showEvent(QShowEvent* event) override;

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
    // The folder the open and save dialogs start in.
    QString fileDialogFolder() const;
    // The backups and the record, opened on first use; nothing when they
    // cannot be opened (said once).
    ProductionServices* production();
    // Commits the field being edited before Open or Save; false when that commit
    // refused the entry and the command is dropped.
    bool commitFieldForFileCommand();
    // The record names `path` (and the SHA-256 of its bytes) as the image's table file.
    void recordTableFile(const QString& path);
    // Shows what the document says changed as a whole.
    void follow(DocumentChange change);
    // The band, the pair lengths and every control, after the image arrived.
    void showArrivedImage();
    void endProgram();
    // The title names the table file last opened or saved.
    void nameFileInTitle(const QString& path);

    LinkKind linkKind_;
    PagerDocument& document_;
    PagerDocument::Subscription listening_;
    MessageBoxes& messages_;
    FileDialogs& fileDialogs_;
    clsRegistryAccess& registry_;
    BoardConnection& board_;
    ProductionLine& line_;
    std::function<void()> endProgram_;
    bool productionFailureShown_ = false;
    PagerCommandState commandState_;

    ControlArrays arrays_;
    ControlList controls_;
    std::unique_ptr<EditorContext> context_;
    CapcodeList* capcodes_ = nullptr;
    FrequencyPanel* frequency_ = nullptr;
    OptionControls* options_ = nullptr;
    PasswordField* password_ = nullptr;
    PromptsPanel* prompts_ = nullptr;
    QString appFolder_;
    QString documentsFolder_;
    std::function<bool(const QString&)> folderWritable_;
    std::unique_ptr<FilePlaces> filePlaces_;
    int designScaleWidth_ = 0;
    int designScaleHeight_ = 0;
    bool loaded_ = false;
    QWidget* frontPage_ = nullptr;
    HeldMessages* startupMessages_ = nullptr;
    QString programTitle_;   // the title without a file name
};

} // namespace px316t

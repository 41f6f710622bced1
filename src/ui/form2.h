#pragma once
// The programming window "Pager Program": the window's face of the programming
// sequence. It runs Read, Write and Verify through ProgrammingSequence, shows
// their progress, and in the production mode "1st Capcode Auto Increase" stays
// open so that one pager after another is written, the first capcode going up
// by one after every verified write.
#include "link/link_kind.h"
#include "link/programming_sequence.h"
#include "link/progress_view.h"
#include "production/production_run.h"
#include "table/pager_table.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace px316t {

class CapcodeList;
class MessageBoxes;
class ParallelPortLink;
class UsbLink;

// What the window works on, handed over by the main window.
struct ProgrammingContext {
    LinkKind linkKind;
    PagerTable& table;
    PagerCommandState& state;
    MessageBoxes& messages;
    CapcodeList& capcodes;
    UsbLink* usb = nullptr;                 // the USB link (USB builds)
    ParallelPortLink* lpt = nullptr;        // the parallel-port link (LPT builds)
    std::function<bool()> inModifyMode;
    // Band from the image, full refresh, capcode lengths: run after a read.
    std::function<void()> refreshAfterRead;
    // The board's port as the record names it, taken before each transfer
    // (a lost board is forgotten during the transfer).
    std::function<std::string()> currentPort;
    // After a successful read (the backup), after every write with its
    // verification, and after every Verify (the production record).
    std::function<void(const PagerTable&)> afterRead;
    std::function<void(const PagerTable&, const PagerTransfer&, const std::string& port)> afterWrite;
    std::function<void(const PagerTable&, RecordResult, const std::string& port)> afterVerify;
};

class Form2 : public QDialog, public ProgressView {
public:
    explicit Form2(ProgrammingContext context, QWidget* parent = nullptr);

    // ProgressView
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;
    void setProgressColor(ProgressColor color) override;
    void setStatusText(const QString& text) override;

    void Form_Activate();
    void cmdWrite_Click();
    void cmdExit_Click();


    QLabel* lblAuto1 = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* PB1 = nullptr;
    QPushButton* cmdWrite = nullptr;
    QPushButton* cmdExit = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::string port() const { return ctx_.currentPort ? ctx_.currentPort() : std::string(); }
    // Write and verify, then the record.
    PagerTransfer writeRecorded();

    ProgrammingContext ctx_;
    ProgrammingSequence sequence_;
    bool activated_ = false;
    bool busy_ = false;   // a transfer runs: the window cannot be closed
};

} // namespace px316t

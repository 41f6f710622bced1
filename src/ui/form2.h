#pragma once
// The programming window "Pager Program": the window's face of the programming
// sequence. It runs Read, Write and Verify through ProgrammingSequence, shows
// their progress, and in the production mode "1st Capcode Auto Increase" stays
// open so that one pager after another is written: each press of Write is one
// production step of the station's production line (its own record, or a
// joined batch), and the first capcode shown becomes the line's next free one.
#include "editor/pager_document.h"
#include "link/programming_sequence.h"
#include "link/progress_view.h"
#include "production/production_line.h"
#include "production/production_run.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QLabel;
class QProgressBar;
class QPushButton;

namespace px316t {

class MessageBoxes;
class clsRegistryAccess;
class LabelStream;

// What the window works on, handed over by the main window.
struct ProgrammingContext {
    // The pager the window writes and verifies, and which a read replaces.
    PagerDocument& document;
    PagerCommandState& state;
    MessageBoxes& messages;
    PagerLink* link;   // the build's board; null when it cannot be driven
    // The station's production line, which "1st Capcode Auto Increase" writes
    // through; it outlives the window.
    ProductionLine& line;
    std::function<bool()> inModifyMode;
    // The board's port as the record names it, taken before each transfer
    // (a lost board is forgotten during the transfer).
    std::function<std::string()> currentPort;
    // After a successful read, with the bytes as they came (the backup); after
    // every write with its verification, and after every Verify (the
    // production record).
    std::function<void(const PagerTable&)> afterRead;
    std::function<void(const PagerTable&, const PagerTransfer&, const std::string& port)> afterWrite;
    std::function<void(const PagerTable&, RecordResult, const std::string& port)> afterVerify;
    // Where the operator's name and the label size are kept between runs;
    // none: they are not kept (the default label size).
    clsRegistryAccess* registry = nullptr;
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
    // "Batch...": joins a batch of the shared production database.
    void cmdBatch_Click();
    // Shows the batch dialog; tests fill it in instead of running it.
    std::function<void(QDialog&)> onBatchWindow;
    // "Production": the live view of the line's rate, beside this window.
    void cmdProduction_Click();
    // Shows the live view (tests look at it instead); it deletes itself when closed.
    std::function<void(QDialog&)> onProductionWindow;
    // The label size as typed: kept when it is one, else refused and shown as it was.
    void txtLabelSize_Commit();


    QLabel* lblAuto1 = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* PB1 = nullptr;
    QPushButton* cmdWrite = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdBatch = nullptr;
    QLabel* lblBatch = nullptr;   // the joined batch and its next capcode
    QLabel* lblOperator = nullptr;
    QLineEdit* txtOperator = nullptr;   // who the record names for the pagers written here
    // Labels in the production mode: after each pager, to a printer or a PDF file.
    QCheckBox* chkLabel = nullptr;
    QComboBox* cboLabelPrinter = nullptr;   // "PDF file", then the system's printers
    QLineEdit* txtLabelFile = nullptr;
    QLineEdit* txtLabelSize = nullptr;      // "62 x 29" (mm)
    QPushButton* cmdProduction = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::string port() const { return ctx_.currentPort ? ctx_.currentPort() : std::string(); }
    // Write and verify, then the record.
    PagerTransfer writeRecorded();
    // One press of Write in "1st Capcode Auto Increase".
    void produceOne();
    // Row 1 shows `capcode` from now on.
    void showFirstCapcode(std::uint64_t capcode);
    void showBatch();
    void warn(const std::string& text);
    // The operator typed in the field is the one the record names, kept for the next run.
    void operatorEdited();
    // Says when `image` holds a frame mask its capcodes do not give.
    void checkFrameMask(const PagerTable& image);
    // The label controls (form2_labels.cpp; hidden in a build without labels).
    void createLabelControls();
    void showLabelControls();
    // The label of a pager done with `capcode`, when labels are asked for.
    void printLabel(std::uint64_t capcode, bool longPair, const PagerTable& image, const std::string& customer);

    ProgrammingContext ctx_;
    ProgrammingSequence sequence_;
    bool activated_ = false;
    bool busy_ = false;   // a transfer runs: the window cannot be closed
    // The labels of this window's run; made again when their destination or size changes.
    std::shared_ptr<LabelStream> labels_;
    QString labelsFor_;
};

} // namespace px316t

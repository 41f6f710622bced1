#pragma once
// "Batch...": the programming window joins a batch of the shared production
// database. It takes the database's connection string and the batch's name,
// and after joining shows the batch and the capcode it gives next.
#include "link/message_boxes.h"
#include "production/production_line.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace px316t {

class BatchDialog : public QDialog {
public:
    BatchDialog(ProductionLine& line, MessageBoxes& messages, QWidget* parent = nullptr);

    // Joins the batch the fields name; true (and the dialog accepted) when it
    // was joined, else the message says why and the dialog stays open.
    bool join();
    // "Report...": the report of the batch the fields name, as a PDF (or CSV)
    // file chosen by `chooseReportFile` (a save dialog unless a test answers).
    void cmdReport_Click();
    std::function<std::optional<QString>(const QString& suggested)> chooseReportFile;

    QLineEdit* txtDatabase = nullptr;
    QLineEdit* txtBatch = nullptr;
    QLabel* lblNext = nullptr;
    QPushButton* cmdJoin = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdReport = nullptr;

private:
    ProductionLine& line_;
    MessageBoxes& messages_;
};

} // namespace px316t

// The batch dialog's "Report...": the report a customer signs, of the batch
// the dialog names. What it holds is the print library's.
#include "ui/batch_dialog.h"

#include "print/record_paper.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>

namespace px316t {

void BatchDialog::cmdReport_Click()
{
    const std::string batch = txtBatch->text().toStdString();
    std::string conninfo = txtDatabase->text().trimmed().toStdString();
    if (conninfo.empty())
        conninfo = line_.databaseConninfo();
    const QString suggested = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                  .filePath(QStringLiteral("batch-%1.pdf").arg(txtBatch->text().trimmed()));
    const std::optional<QString> file =
        chooseReportFile ? chooseReportFile(suggested)
                         : [&]() -> std::optional<QString> {
                               const QString chosen = QFileDialog::getSaveFileName(
                                   this, QStringLiteral("Batch report"), suggested,
                                   QStringLiteral("PDF (*.pdf);;CSV (*.csv)"));
                               return chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen);
                           }();
    if (!file)
        return;
    const Status written = writeBatchReport(conninfo, batch, *file);
    messages_.message(QString::fromStdString(written.ok() ? batchReportWritten(batch, file->toStdString())
                                                          : written.message()),
                      written.ok() ? MessageBoxes::Icon::None : MessageBoxes::Icon::Warning);
}

} // namespace px316t

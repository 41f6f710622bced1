#include "ui/production_record_dialog.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace px316t {

ProductionRecordDialog::ProductionRecordDialog(const std::vector<RecordEntry>& entries, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(this))
{
    setWindowTitle(QStringLiteral("Production Record"));
    const QStringList headers = {QStringLiteral("Time (UTC)"), QStringLiteral("Station"), QStringLiteral("Port"),
                                 QStringLiteral("Operation"),  QStringLiteral("Batch"),   QStringLiteral("1st Capcode"),
                                 QStringLiteral("Capcodes"),   QStringLiteral("Frequency (100 Hz)"),
                                 QStringLiteral("Result"),     QStringLiteral("SHA-256"), QStringLiteral("Note")};
    table_->setColumnCount(headers.size());
    table_->setHorizontalHeaderLabels(headers);
    table_->setRowCount(static_cast<int>(entries.size()));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
        const RecordEntry& e = entries[row];
        // The record's own columns, less the id, which the dialog does not show.
        const std::vector<std::string> cells = recordRow(e);
        for (int column = 0; column < headers.size(); ++column)
            table_->setItem(row, column, new QTableWidgetItem(QString::fromStdString(cells[column + 1])));
    }
    table_->resizeColumnsToContents();
    if (!entries.empty())
        table_->scrollToBottom();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(1000, 420);
}

} // namespace px316t

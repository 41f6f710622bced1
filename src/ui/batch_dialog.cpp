#include "ui/batch_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace px316t {

BatchDialog::BatchDialog(ProductionLine& line, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), line_(line), messages_(messages)
{
    setObjectName(QStringLiteral("BatchDialog"));
    setWindowTitle(QStringLiteral("Batch"));
    setModal(true);
    txtDatabase = new QLineEdit(QString::fromStdString(line.databaseConninfo()), this);
    txtDatabase->setObjectName(QStringLiteral("txtDatabase"));
    txtDatabase->setPlaceholderText(QStringLiteral("host=... dbname=... user=..."));
    txtBatch = new QLineEdit(QString::fromStdString(line.batch()), this);
    txtBatch->setObjectName(QStringLiteral("txtBatch"));
    lblNext = new QLabel(this);
    lblNext->setObjectName(QStringLiteral("lblNext"));
    if (!line.batch().empty())
        lblNext->setText(QString::fromStdString(line.batchLine()));
    cmdJoin = new QPushButton(QStringLiteral("Join"), this);
    cmdJoin->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdReport = new QPushButton(QStringLiteral("Report..."), this);
    cmdReport->setObjectName(QStringLiteral("cmdReport"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Production database:"), txtDatabase);
    form->addRow(QStringLiteral("Batch:"), txtBatch);
    form->addRow(lblNext);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdReport);
    buttons->addStretch();
    buttons->addWidget(cmdJoin);
    buttons->addWidget(cmdCancel);
    form->addRow(buttons);
    connect(cmdJoin, &QPushButton::clicked, this, [this] { join(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdReport, &QPushButton::clicked, this, [this] { cmdReport_Click(); });
}

bool BatchDialog::join()
{
    std::vector<std::string> notices;
    // The name as typed: a batch whose name differs only in case or spaces is
    // another batch, and the database refuses a name it does not know.
    const Status joined =
        line_.joinBatch(txtDatabase->text().trimmed().toStdString(), txtBatch->text().toStdString(), notices);
    for (const std::string& notice : notices)
        messages_.message(QString::fromStdString(notice), MessageBoxes::Icon::Warning);
    if (!joined.ok()) {
        messages_.message(QString::fromStdString(joined.message()), MessageBoxes::Icon::Warning);
        return false;
    }
    lblNext->setText(QString::fromStdString(line_.batchLine()));
    accept();
    return true;
}

} // namespace px316t

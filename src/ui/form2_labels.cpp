// The programming window's labels: "Print a label after each pager", where to
// (a printer, or a PDF file that gathers the labels of the run), and the label
// size setting. What a label holds and where it goes is the print library's.
#include "ui/form2.h"

#include "print/record_paper.h"
#include "ui/twips.h"
#include "link/message_boxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>

#include <chrono>

namespace px316t {

namespace {

const QString kPdfChoice = QStringLiteral("PDF file");

} // namespace

void Form2::createLabelControls()
{
    chkLabel = new QCheckBox(QStringLiteral("Print a label after each pager"), this);
    chkLabel->setObjectName(QStringLiteral("chkLabel"));
    chkLabel->setGeometry(twipsToPixels(QRect(588, 3540, 2760, 360)));
    cboLabelPrinter = new QComboBox(this);
    cboLabelPrinter->setObjectName(QStringLiteral("cboLabelPrinter"));
    cboLabelPrinter->setGeometry(twipsToPixels(QRect(588, 3960, 2760, 345)));
    txtLabelFile = new QLineEdit(this);
    txtLabelFile->setObjectName(QStringLiteral("txtLabelFile"));
    txtLabelFile->setGeometry(twipsToPixels(QRect(588, 4380, 2760, 345)));
    txtLabelFile->setText(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                              .filePath(QStringLiteral("pager-labels.pdf")));
    txtLabelSize = new QLineEdit(this);
    txtLabelSize->setObjectName(QStringLiteral("txtLabelSize"));
    txtLabelSize->setGeometry(twipsToPixels(QRect(3400, 3960, 1268, 345)));
    txtLabelSize->setToolTip(QStringLiteral("Label size in millimetres: width x height"));
    for (QWidget* w : std::initializer_list<QWidget*>{chkLabel, cboLabelPrinter, txtLabelFile, txtLabelSize})
        w->hide();
    connect(cboLabelPrinter, &QComboBox::currentIndexChanged, this,
            [this] { txtLabelFile->setEnabled(cboLabelPrinter->currentText() == kPdfChoice); });
    connect(txtLabelSize, &QLineEdit::editingFinished, this, [this] { txtLabelSize_Commit(); });
}

void Form2::showLabelControls()
{
    cboLabelPrinter->clear();
    cboLabelPrinter->addItem(kPdfChoice);
    for (const QString& printer : labelPrinterNames())
        cboLabelPrinter->addItem(printer);
    const LabelSize size = ctx_.registry ? readLabelSize(*ctx_.registry) : LabelSize{};
    txtLabelSize->setText(QString::fromStdString(labelSizeText(size)));
    for (QWidget* w : std::initializer_list<QWidget*>{chkLabel, cboLabelPrinter, txtLabelFile, txtLabelSize})
        w->show();
}

void Form2::txtLabelSize_Commit()
{
    const std::string typed = txtLabelSize->text().toStdString();
    const auto size = parseLabelSize(typed);
    const LabelSize kept = ctx_.registry ? readLabelSize(*ctx_.registry) : LabelSize{};
    if (!size) {
        txtLabelSize->setText(QString::fromStdString(labelSizeText(kept)));
        warn(labelSizeRefusal(typed));
        return;
    }
    if (ctx_.registry)
        writeLabelSize(*ctx_.registry, *size);
    txtLabelSize->setText(QString::fromStdString(labelSizeText(*size)));
}

void Form2::printLabel(std::uint64_t capcode, bool longPair, const PagerTable& image, const std::string& customer)
{
    if (!chkLabel->isChecked())
        return;
    LabelDestination where;
    if (cboLabelPrinter->currentText() == kPdfChoice)
        where.pdfFile = txtLabelFile->text().trimmed();
    else
        where.printer = cboLabelPrinter->currentText();
    if (where.none()) {
        warn(labelFailureMessage(capcode, "no PDF file is named."));
        return;
    }
    const LabelSize size = ctx_.registry ? readLabelSize(*ctx_.registry) : LabelSize{};
    // A new destination or size starts a new set of labels (a new PDF file's content).
    const QString key = where.pdfFile + QLatin1Char('\n') + where.printer + QLatin1Char('\n') +
                        QString::fromStdString(labelSizeText(size));
    if (!labels_ || key != labelsFor_) {
        labels_ = std::make_shared<LabelStream>(where, size);
        labelsFor_ = key;
    }
    const Status printed = labels_->add(labelOfDonePager(capcode, longPair, image, ctx_.line.batch(), customer,
                                                         std::chrono::system_clock::now()));
    if (!printed.ok())
        warn(labelFailureMessage(capcode, printed.message()));
}

} // namespace px316t

#include "print/label_output.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace px316t {

namespace {

constexpr int PdfResolution = 1200;

QPageSize pageOf(const LabelSize& size)
{
    return QPageSize(QSizeF(size.widthMm, size.heightMm), QPageSize::Millimeter, QString(),
                     QPageSize::ExactMatch);
}

// Draws every label on its own page of `device`; `newPage` turns the page.
template <class Device>
Status drawLabels(Device& device, const std::vector<PagerLabel>& labels, const QString& what)
{
    QPainter painter;
    if (!painter.begin(&device))
        return Failure{what.toStdString() + " cannot be drawn on"};
    const double pixelsPerMm = device.resolution() / 25.4;
    const QRectF area(0, 0, device.width(), device.height());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i > 0 && !device.newPage())
            return Failure{what.toStdString() + " could not start a new page"};
        std::string error;
        if (!drawPagerLabel(painter, area, pixelsPerMm, labels[i], error))
            return Failure{"The label of capcode " + std::to_string(labels[i].capcode) +
                           " cannot be made: " + error};
    }
    if (!painter.end())
        return Failure{what.toStdString() + " could not be finished"};
    return {};
}

} // namespace

Status writeLabelsPdf(const QString& file, const std::vector<PagerLabel>& labels, const LabelSize& size)
{
    if (labels.empty())
        return Failure{"There is no label to write."};
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(PdfResolution);
        writer.setPageLayout(QPageLayout(pageOf(size), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setCreator(QStringLiteral("px316t"));
        writer.setTitle(QStringLiteral("Pager labels"));
        if (Status s = drawLabels(writer, labels, QStringLiteral("The label file")); !s.ok())
            return s;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf.data()) != pdf.data().size() || !out.commit())
        return Failure{"The label file " + file.toStdString() + " could not be written: " +
                       out.errorString().toStdString()};
    return {};
}

std::vector<QString> labelPrinterNames()
{
    std::vector<QString> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        names.push_back(name);
    return names;
}

Status printLabels(const QString& printerName, const std::vector<PagerLabel>& labels, const LabelSize& size)
{
    if (labels.empty())
        return Failure{"There is no label to print."};
    if (!QPrinterInfo::availablePrinterNames().contains(printerName))
        return Failure{"There is no printer named \"" + printerName.toStdString() + "\" on this system."};
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(printerName);
    printer.setFullPage(true);
    if (!printer.isValid() ||
        !printer.setPageLayout(QPageLayout(pageOf(size), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0))))
        return Failure{"The printer \"" + printerName.toStdString() + "\" does not take labels of this size."};
    printer.setDocName(QStringLiteral("Pager labels"));
    return drawLabels(printer, labels, QStringLiteral("The printer \"") + printerName + QStringLiteral("\""));
}

} // namespace px316t

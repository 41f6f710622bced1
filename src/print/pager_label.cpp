#include "print/pager_label.h"

#include "editor/flex_address.h"
#include "print/barcode.h"

#include <QFont>
#include <QFontMetricsF>

#include <algorithm>
#include <cstdio>

namespace px316t {

namespace {

// Draws `barcode` filling `box`, stretched to it.
void drawBarcode(QPainter& painter, const Barcode& barcode, const QRectF& box)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / barcode.size.width(), box.height() / barcode.size.height());
    painter.fillPath(barcode.bars, Qt::black);
    painter.restore();
}

} // namespace

std::string frequencyMhzText(std::int64_t frequencyHz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%04lld MHz", static_cast<long long>(frequencyHz / 1000000),
                  static_cast<long long>((frequencyHz % 1000000) / 100));
    return text;
}

bool drawPagerLabel(QPainter& painter, const QRectF& area, double pixelsPerMm, const PagerLabel& label,
                    std::string& error)
{
    const std::string capcodeText = capcodeLabelForm(label.capcode, label.longCapcode);
    const auto qr = makeBarcode(BarcodeKind::QrCode, capcodeText, error);
    const auto bars = qr ? makeBarcode(BarcodeKind::Code128, capcodeText, error) : std::nullopt;
    if (!qr || !bars)
        return false;

    // Everything is sized against the 29 mm roll and grows or shrinks with the label.
    const double mm = pixelsPerMm * std::min(area.height() / pixelsPerMm / 29.0, area.width() / pixelsPerMm / 62.0);
    const double margin = 1.5 * mm;
    const double qrSide = std::min(area.height() - 2 * margin, area.width() * 0.45);
    drawBarcode(painter, *qr, QRectF(area.left() + margin, area.top() + (area.height() - qrSide) / 2, qrSide, qrSide));

    const double textLeft = area.left() + margin + qrSide + 1.0 * mm;
    const double textWidth = area.right() - margin - textLeft;
    double y = area.top() + margin;
    const auto line = [&](const std::string& text, double heightMm, bool bold) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(std::max(1, static_cast<int>(heightMm * mm)));
        font.setBold(bold);
        painter.setFont(font);
        const QFontMetricsF metrics(font, painter.device());
        const QString shown = metrics.elidedText(QString::fromStdString(text), Qt::ElideRight, textWidth);
        painter.drawText(QPointF(textLeft, y + metrics.ascent()), shown);
        y += metrics.height() + 0.3 * mm;
    };
    painter.setPen(Qt::black);
    line(capcodeText, 4.2, true);
    line(frequencyMhzText(label.frequencyHz), 2.6, false);
    line(label.batch.empty() ? label.date : label.batch + "  " + label.date, 2.6, false);
    if (!label.customer.empty())
        line(label.customer, 2.6, false);

    const double barHeight = std::max(3.0 * mm, area.bottom() - margin - y - 0.5 * mm);
    drawBarcode(painter, *bars, QRectF(textLeft, area.bottom() - margin - std::min(barHeight, 7.0 * mm), textWidth,
                                       std::min(barHeight, 7.0 * mm)));
    return true;
}

} // namespace px316t

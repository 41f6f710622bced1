#pragma once
// The label that goes on a pager and its box once the pager is written and
// verified: the capcode in its label form, large and as a Code 128 barcode and
// a QR code (both carry the label form, so a scanner types what a carrier's
// paging terminal wants), the frequency in MHz, the batch, the date and the
// customer of the capcode when it came from an allocation list.
#include <QPainter>
#include <QRectF>

#include <cstdint>
#include <string>

namespace px316t {

struct PagerLabel {
    std::uint64_t capcode = 0;
    bool longCapcode = false;
    std::int64_t frequencyHz = 0;
    std::string batch;       // empty on a station without a shared batch
    std::string date;        // "2026-12-08"
    std::string customer;    // empty when the capcode did not come from a list
};

// The label's paper, kept in the registry store; 62 x 29 mm is the common roll
// of desktop label printers.
struct LabelSize {
    double widthMm = 62.0;
    double heightMm = 29.0;
};

// "931.0125 MHz".
std::string frequencyMhzText(std::int64_t frequencyHz);

// Draws one label filling `area` (device pixels) at `pixelsPerMm`; false (with
// `error`) when the capcode cannot be made into a barcode.
bool drawPagerLabel(QPainter& painter, const QRectF& area, double pixelsPerMm, const PagerLabel& label,
                    std::string& error);

} // namespace px316t

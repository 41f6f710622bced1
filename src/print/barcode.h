#pragma once
// Barcodes as shapes: the bars of a Code 128 symbol or the modules of a QR
// code, made by libzint and drawn with Qt, so a PDF holds them as sharp
// vectors at any size. Each symbol carries its standard quiet zones.
#include <QPainterPath>
#include <QSizeF>

#include <optional>
#include <string>

namespace px316t {

enum class BarcodeKind { Code128, QrCode };

struct Barcode {
    QPainterPath bars;   // filled dark areas, in the symbol's own units
    QSizeF size;         // the whole symbol with its quiet zones, in the same units
};

// Nothing (with `error` set to libzint's words) for data the symbol cannot carry.
std::optional<Barcode> makeBarcode(BarcodeKind kind, const std::string& data, std::string& error);

} // namespace px316t

#include "print/barcode.h"

#include <zint.h>

#include <memory>

namespace px316t {

std::optional<Barcode> makeBarcode(BarcodeKind kind, const std::string& data, std::string& error)
{
    const std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol) {
        error = "out of memory";
        return std::nullopt;
    }
    symbol->symbology = kind == BarcodeKind::Code128 ? BARCODE_CODE128 : BARCODE_QRCODE;
    symbol->show_hrt = 0;   // the label prints the text itself, in its own font
    symbol->output_options |= BARCODE_QUIET_ZONES;
    if (kind == BarcodeKind::QrCode)
        symbol->option_1 = 2;   // error correction level M: a scuffed label still reads
    const int encoded = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                                        static_cast<int>(data.size()));
    if (encoded >= ZINT_ERROR || ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR || !symbol->vector) {
        error = symbol->errtxt;
        return std::nullopt;
    }
    Barcode barcode;
    barcode.size = QSizeF(symbol->vector->width, symbol->vector->height);
    barcode.bars.setFillRule(Qt::WindingFill);
    for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next)
        if (r->colour == -1 || r->colour == 7)   // the foreground, or black
            barcode.bars.addRect(QRectF(r->x, r->y, r->width, r->height));
    return barcode;
}

} // namespace px316t

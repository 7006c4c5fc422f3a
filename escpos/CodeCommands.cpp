// 2D codes (GS ( k): QR Code and PDF417, each with its settings and its symbol storage, printed
// from what was stored. The symbology library makes the modules; the printer sizes them.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/Symbology.h"

#include <zint.h>

#include <algorithm>

namespace escpos {

namespace {

std::uint8_t At(std::string_view S, std::size_t I) {
    return I < S.size() ? static_cast<std::uint8_t>(S[I]) : 0;
}

// Each module ModuleWidth dots wide and each row RowHeight dots tall.
Bitmap Draw(const Symbol& S, int ModuleWidth, int RowHeight) {
    Bitmap b(S.Columns * ModuleWidth, static_cast<int>(S.Rows.size()) * RowHeight);
    for (std::size_t r = 0; r < S.Rows.size(); ++r)
        for (int c = 0; c < S.Columns; ++c)
            if (S.Rows[r][static_cast<std::size_t>(c)])
                for (int y = 0; y < RowHeight; ++y)
                    for (int x = 0; x < ModuleWidth; ++x)
                        b.Set(c * ModuleWidth + x, static_cast<int>(r) * RowHeight + y);
    return b;
}

std::string Shown(std::string_view Data) {
    std::string out;
    for (const char c : Data.substr(0, 40))
        out += static_cast<std::uint8_t>(c) < 0x20 || c == 0x7F ? ' ' : c;
    return Data.size() > 40 ? out + "..." : out;
}

} // namespace

// Body: cn fn and the function's parameters.
std::string Printer::TwoDimensionalCode(const Command& C, std::string_view Body) {
    const std::uint8_t cn = At(Body, 0), fn = At(Body, 1);
    const std::uint8_t n = At(Body, 2);
    if (Body.size() < 2)
        return Refuse(C, "no function given");
    if (cn == 49) { // QR Code
        switch (fn) {
        case 65:
            if (n < 49 || n > 51)
                return Format("QR model %u: ignored", n);
            FState.QrModel = n - 48;
            return Format("QR %s", n == 51 ? "Micro QR" : n == 49 ? "model 1" : "model 2");
        case 67:
            if (n < 1 || n > 16)
                return Format("QR module size %u: ignored", n);
            FState.QrModule = n;
            return Format("QR module %u dots", n);
        case 69:
            if (n < 48 || n > 51)
                return Format("QR error correction %u: ignored", n);
            FState.QrLevel = n - 48;
            return Format("QR error correction %c", "LMQH"[n - 48]);
        case 80:
            FState.QrData = std::string(Body.substr(std::min<std::size_t>(3, Body.size())));
            return Format("store %zu bytes for QR", FState.QrData->size());
        case 81:
            return PrintQrCode(C);
        default:
            return Format("QR function %u: understood, not acted on", fn);
        }
    }
    if (cn == 48) { // PDF417
        switch (fn) {
        case 65:
            if (n > 30)
                return Format("PDF417 columns %u: ignored", n);
            FState.PdfColumns = n;
            return n ? Format("PDF417 %u columns", n) : "PDF417 columns automatic";
        case 66:
            if (n != 0 && (n < 3 || n > 90))
                return Format("PDF417 rows %u: ignored", n);
            FState.PdfRows = n;
            return n ? Format("PDF417 %u rows", n) : "PDF417 rows automatic";
        case 67:
            if (n < 2 || n > 8)
                return Format("PDF417 module width %u: ignored", n);
            FState.PdfModule = n;
            return Format("PDF417 module %u dots", n);
        case 68:
            if (n < 2 || n > 8)
                return Format("PDF417 row height %u: ignored", n);
            FState.PdfRowHeight = n;
            return Format("PDF417 row height %u modules", n);
        case 69: {
            const std::uint8_t level = At(Body, 3);
            if (n == 48 && level >= 48 && level <= 56) {
                FState.PdfLevel = level - 48;
                return Format("PDF417 error correction level %d", FState.PdfLevel);
            }
            if (n == 49 && level >= 1 && level <= 40) {
                FState.PdfLevel = -1;
                FState.PdfRatio = level;
                return Format("PDF417 error correction %d0%% of the data", level);
            }
            return Format("PDF417 error correction %u %u: ignored", n, level);
        }
        case 70:
            FState.PdfTruncated = n == 1;
            return FState.PdfTruncated ? "PDF417 truncated" : "PDF417 standard";
        case 80:
            FState.PdfData = std::string(Body.substr(std::min<std::size_t>(3, Body.size())));
            return Format("store %zu bytes for PDF417", FState.PdfData->size());
        case 81:
            return PrintPdf417(C);
        default:
            return Format("PDF417 function %u: understood, not acted on", fn);
        }
    }
    return Format("2D code %u function %u: understood, not drawn", cn, fn);
}

std::string Printer::PrintQrCode(const Command& C) {
    if (!FState.QrData || FState.QrData->empty())
        return Refuse(C, "no QR data is stored");
    SymbolRequest request;
    const bool micro = FState.QrModel == 3;
    request.Symbology = micro ? BARCODE_MICROQR : BARCODE_QRCODE;
    // Micro QR has no level H; the library takes levels counted from 1.
    request.Option1 = std::min(FState.QrLevel, micro ? 2 : 3) + 1;
    const Symbol symbol = EncodeSymbol(request, *FState.QrData);
    if (!symbol.Ok())
        return Refuse(C, "QR \"" + Shown(*FState.QrData) + "\": " + symbol.Error);
    return PrintPicture(C, Draw(symbol, FState.QrModule, FState.QrModule),
                        "[QR code \"" + Shown(*FState.QrData) + "\"]", true);
}

std::string Printer::PrintPdf417(const Command& C) {
    if (!FState.PdfData || FState.PdfData->empty())
        return Refuse(C, "no PDF417 data is stored");
    SymbolRequest request;
    request.Symbology = FState.PdfTruncated ? BARCODE_PDF417COMP : BARCODE_PDF417;
    int level = FState.PdfLevel;
    if (level < 0) {
        // A ratio asks for that many tenths of the data in error-correction codewords: the
        // smallest level that gives as many (level L gives 2^(L+1)), never below level 1.
        const std::size_t wanted = (FState.PdfData->size() * std::size_t(FState.PdfRatio) + 9) / 10;
        level = 1;
        while (level < 8 && (std::size_t{1} << (level + 1)) < wanted)
            ++level;
    }
    request.Option1 = level;
    request.Option2 = FState.PdfColumns;
    request.Option3 = FState.PdfRows;
    const Symbol symbol = EncodeSymbol(request, *FState.PdfData);
    if (!symbol.Ok())
        return Refuse(C, "PDF417 \"" + Shown(*FState.PdfData) + "\": " + symbol.Error);
    return PrintPicture(C, Draw(symbol, FState.PdfModule, FState.PdfModule * FState.PdfRowHeight),
                        "[PDF417 \"" + Shown(*FState.PdfData) + "\"]", true);
}

} // namespace escpos

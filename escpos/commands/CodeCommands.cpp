// 2D codes (GS ( k): QR Code and PDF417, each with its settings and its symbol storage, printed
// from what was stored. The symbology library makes the modules; the printer sizes them.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/drawing/Symbology.h"

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

// The data of function 80 (store), after cn fn m.
std::string Stored(std::string_view Body) {
    return std::string(Body.substr(std::min<std::size_t>(3, Body.size())));
}

// A setting that takes n from Low to High, less Base, into Field and says Took(); any other n is
// ignored, and "What n: ignored" says so.
template <typename Words>
std::string Setting(int& Field, std::uint8_t N, int Low, int High, int Base, const char* What,
                    Words Took) {
    if (N < Low || N > High)
        return Format("%s %u: ignored", What, N);
    Field = N - Base;
    return Took();
}

// QR Code's settings and its store (fn 65 to 80); printing (81) is the printer's.
std::string QrSetting(PrinterState& S, std::uint8_t Fn, std::uint8_t N, std::string_view Body) {
    switch (Fn) {
    case 65:
        return Setting(S.QrModel, N, 49, 51, 48, "QR model", [N] {
            return Format("QR %s", N == 51 ? "Micro QR" : N == 49 ? "model 1" : "model 2");
        });
    case 67:
        return Setting(S.QrModule, N, 1, 16, 0, "QR module size",
                       [N] { return Format("QR module %u dots", N); });
    case 69:
        return Setting(S.QrLevel, N, 48, 51, 48, "QR error correction",
                       [&S] { return Format("QR error correction %c", "LMQH"[S.QrLevel]); });
    case 80:
        S.QrData = Stored(Body);
        return Format("store %zu bytes for QR", S.QrData->size());
    default:
        return Format("QR function %u: understood, not acted on", Fn);
    }
}

// PDF417's error correction (fn 69): a level (m 48), or a share of the data (m 49).
std::string PdfErrorCorrection(PrinterState& S, std::uint8_t M, std::uint8_t Level) {
    if (M == 48 && Level >= 48 && Level <= 56) {
        S.PdfLevel = Level - 48;
        return Format("PDF417 error correction level %d", S.PdfLevel);
    }
    if (M == 49 && Level >= 1 && Level <= 40) {
        S.PdfLevel = -1;
        S.PdfRatio = Level;
        return Format("PDF417 error correction %d0%% of the data", Level);
    }
    return Format("PDF417 error correction %u %u: ignored", M, Level);
}

// PDF417's settings and its store (fn 65 to 80); printing (81) is the printer's.
std::string PdfSetting(PrinterState& S, std::uint8_t Fn, std::uint8_t N, std::string_view Body) {
    switch (Fn) {
    case 65:
        return Setting(S.PdfColumns, N, 0, 30, 0, "PDF417 columns", [N] {
            return N ? Format("PDF417 %u columns", N) : std::string("PDF417 columns automatic");
        });
    case 66: // 0 is automatic; a number of rows is 3 to 90
        return Setting(S.PdfRows, N, N ? 3 : 0, 90, 0, "PDF417 rows", [N] {
            return N ? Format("PDF417 %u rows", N) : std::string("PDF417 rows automatic");
        });
    case 67:
        return Setting(S.PdfModule, N, 2, 8, 0, "PDF417 module width",
                       [N] { return Format("PDF417 module %u dots", N); });
    case 68:
        return Setting(S.PdfRowHeight, N, 2, 8, 0, "PDF417 row height",
                       [N] { return Format("PDF417 row height %u modules", N); });
    case 69:
        return PdfErrorCorrection(S, N, At(Body, 3));
    case 70:
        S.PdfTruncated = N == 1;
        return S.PdfTruncated ? "PDF417 truncated" : "PDF417 standard";
    case 80:
        S.PdfData = Stored(Body);
        return Format("store %zu bytes for PDF417", S.PdfData->size());
    default:
        return Format("PDF417 function %u: understood, not acted on", Fn);
    }
}

} // namespace

// Body: cn fn and the function's parameters.
std::string Printer::TwoDimensionalCode(const Command& C, std::string_view Body) {
    const std::uint8_t cn = At(Body, 0), fn = At(Body, 1);
    if (Body.size() < 2)
        return Refuse(C, "no function given");
    if (cn == 49) // QR Code
        return fn == 81 ? PrintQrCode(C) : QrSetting(FState, fn, At(Body, 2), Body);
    if (cn == 48) // PDF417
        return fn == 81 ? PrintPdf417(C) : PdfSetting(FState, fn, At(Body, 2), Body);
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

// ESC/POS bytes for pictures and codes, as a till would send them, for the tests to print.
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

inline std::string Le16(unsigned N) {
    return {static_cast<char>(N & 0xFF), static_cast<char>(N >> 8 & 0xFF)};
}

// GS k, the form that gives its length (m = 65 and on).
inline std::string Barcode(int M, const std::string& Data) {
    return "\x1Dk" + std::string{static_cast<char>(M), static_cast<char>(Data.size())} + Data;
}

// GS ( k: store Data for cn (49 QR, 48 PDF417), then print it.
inline std::string StoreAndPrint(char Cn, const std::string& Data) {
    return "\x1D(k" + Le16(static_cast<unsigned>(Data.size()) + 3) + Cn + "P0" + Data + "\x1D(k" +
           Le16(3) + Cn + "Q0";
}

inline std::string QrCode(const std::string& Data, int Module = 4) {
    return "\x1D(k" + Le16(3) + "1C" + static_cast<char>(Module) + StoreAndPrint('1', Data);
}

inline std::string Pdf417(const std::string& Data, int Columns = 3) {
    return "\x1D(k" + Le16(3) + "0A" + static_cast<char>(Columns) + StoreAndPrint('0', Data);
}

// GS v 0: a raster logo, Width dots (a multiple of 8) by Height, a framed diamond.
inline std::string RasterLogo(int Width, int Height) {
    std::string bytes = "\x1Dv0" + std::string(1, '\0') + Le16(static_cast<unsigned>(Width / 8)) +
                        Le16(static_cast<unsigned>(Height));
    for (int y = 0; y < Height; ++y) {
        for (int xb = 0; xb < Width / 8; ++xb) {
            std::uint8_t byte = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = xb * 8 + bit;
                const int dx = x - Width / 2, dy = y - Height / 2;
                const bool frame = y < 3 || y >= Height - 3 || x < 3 || x >= Width - 3;
                const bool diamond =
                    (dx < 0 ? -dx : dx) * Height + (dy < 0 ? -dy : dy) * Width < Width * Height / 3;
                if (frame || diamond)
                    byte |= static_cast<std::uint8_t>(0x80 >> bit);
            }
            bytes += static_cast<char>(byte);
        }
    }
    return bytes;
}

// A receipt with a logo, CODE128, EAN-13, a QR code and a PDF417 code, centred, cut at the end.
inline const char* const ReceiptCode128 = "RCPT-2026-0042";
inline const char* const ReceiptEan13 = "4006381333931";
inline const char* const ReceiptQr = "https://receipts.example/r/2026-0042";
inline const char* const ReceiptPdf417 = "TILL 3 RECEIPT 0042 TOTAL 210.00";

inline std::string CodesReceipt() {
    std::string bytes = "\x1B@\x1B"
                        "a\x01";
    bytes += RasterLogo(160, 64);
    bytes += "\nQUORIVANT MARKET\n\n";
    bytes += "\x1DH\x02\x1Dh\x50\x1Dw\x02";
    bytes += Barcode(73, std::string("{B") + ReceiptCode128) + "\n";
    bytes += "\x1Dw\x03" + Barcode(67, ReceiptEan13) + "\n";
    bytes += QrCode(ReceiptQr) + "\n";
    bytes += Pdf417(ReceiptPdf417) + "\n";
    bytes += "Thank you\n\n\n\x1DV1";
    return bytes;
}

} // namespace testsupport

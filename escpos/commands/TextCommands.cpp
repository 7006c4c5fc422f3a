// How characters print: print modes, emphasis, underline, fonts, sizes, white on black, code
// pages and international sets, user-defined characters, and the double-byte mode.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/drawing/Charset.h"

#include <algorithm>
#include <string_view>

namespace escpos {

std::string Printer::SetPrintModes(const Command& C) {
    const std::uint8_t n = C.At(2);
    FState.FontB = n & 0x01;
    FState.Emphasised = n & 0x08;
    FState.HeightMul = n & 0x10 ? 2 : 1;
    FState.WidthMul = n & 0x20 ? 2 : 1;
    FState.Underline = n & 0x80 ? 1 : 0;
    return Format("print modes: font %c, emphasised %s, double height %s, double width %s, "
                  "underline %s",
                  FState.FontB ? 'B' : 'A', OnOff(FState.Emphasised), OnOff(FState.HeightMul == 2),
                  OnOff(FState.WidthMul == 2), OnOff(FState.Underline));
}

std::string Printer::SetEmphasis(const Command& C) {
    FState.Emphasised = C.At(2) & 0x01;
    return Format("emphasised %s", OnOff(FState.Emphasised));
}

std::string Printer::SetUnderline(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v > 2) {
        Warn(C.Offset, Format("ESC - %u: no such underline mode; ignored", n));
        return "ignored";
    }
    FState.Underline = v;
    return v ? Format("underline %d dot%s", v, v == 1 ? "" : "s") : "underline off";
}

std::string Printer::SelectFont(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v > 1) {
        Warn(C.Offset, Format("ESC M %u: no such font; ignored", n));
        return "ignored";
    }
    FState.FontB = v == 1;
    return v ? "font B" : "font A";
}

std::string Printer::SetRightSpacing(const Command& C) {
    const std::uint8_t n = C.At(2);
    FState.RightSpacing = n;
    return Format("right spacing %u dots", n);
}

std::string Printer::SetUpsideDown(const Command& C) {
    if (!FState.PageMode && !AtLineStart())
        return "upside-down: ignored, not at the beginning of a line";
    FState.UpsideDown = C.At(2) & 1;
    return Format("upside-down %s", OnOff(FState.UpsideDown));
}

std::string Printer::SetRotation(const Command& C) {
    const std::uint8_t n = C.At(2);
    // The TM-T88 takes 0 and 1 (or "0" and "1"); the 1.5-dot spacing of 2 is a later model's.
    if (Choice(n) > 1) {
        Warn(C.Offset, Format("ESC V %u: no such rotation on this printer; ignored", n));
        return "ignored";
    }
    if (!FState.PageMode && !AtLineStart())
        return "90-degree rotation: ignored, not at the beginning of a line";
    FState.Rotated = Choice(n) == 1;
    return Format("90-degree rotation %s", OnOff(FState.Rotated));
}

std::string Printer::SetCharacterSize(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (n & 0x88) {
        Warn(C.Offset, Format("GS ! %02X: size out of range; ignored", n));
        return "ignored";
    }
    FState.WidthMul = FState.DoubleByteWidthMul = (n >> 4) + 1;
    FState.HeightMul = FState.DoubleByteHeightMul = (n & 7) + 1;
    return Format("character size %d x %d", FState.WidthMul, FState.HeightMul);
}

std::string Printer::SetReverse(const Command& C) {
    FState.Reverse = C.At(2) & 1;
    return Format("white on black %s", OnOff(FState.Reverse));
}

std::string Printer::SelectCodePage(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (!HasCodePage(n)) {
        Warn(C.Offset, Format("ESC t %u: no such code page here; ignored", n));
        return "ignored";
    }
    FState.CodePage = n;
    return Format("code page %u", n);
}

std::string Printer::SelectCharacterSet(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (!HasCharacterSet(n)) {
        Warn(C.Offset, Format("ESC R %u: no such character set; ignored", n));
        return "ignored";
    }
    FState.CharacterSet = n;
    return Format("international character set %u", n);
}

std::string Printer::StartDoubleByte(const Command&) {
    FState.DoubleByte = true;
    return "double-byte characters on";
}

std::string Printer::StopDoubleByte(const Command&) {
    FState.DoubleByte = false;
    return "double-byte characters off";
}

std::string Printer::SetDoubleByteModes(const Command& C) {
    const std::uint8_t n = C.At(2);
    FState.DoubleByteWidthMul = n & 0x04 ? 2 : 1;
    FState.DoubleByteHeightMul = n & 0x08 ? 2 : 1;
    FState.DoubleByteUnderline = n & 0x80 ? 1 : 0;
    return Format("double-byte modes: double width %s, double height %s, underline %s",
                  OnOff(n & 0x04), OnOff(n & 0x08), OnOff(n & 0x80));
}

std::string Printer::SelectUserCharacters(const Command& C) {
    FState.UserCharactersOn = C.At(2) & 1;
    return FState.UserCharactersOn ? "user-defined characters selected"
                                   : "built-in characters selected";
}

std::string Printer::DefineUserCharacters(const Command& C) {
    // ESC & y c1 c2, then per code x and x columns of y bytes, for the font selected now.
    const int y = C.At(2), c1 = C.At(3), c2 = C.At(4);
    const bool fontB = FState.FontB;
    const int width = fontB ? FontBWidth : FontAWidth, height = fontB ? FontBHeight : FontAHeight;
    if (y != 3 || c1 < 32 || c2 > 126 || c1 > c2) {
        Warn(C.Offset,
             Format("ESC & %d %d %d: out of range (y 3, codes 32 to 126); ignored", y, c1, c2));
        return "ignored";
    }
    std::vector<std::shared_ptr<const Bitmap>> defined;
    std::size_t at = 5;
    for (int code = c1; code <= c2; ++code) {
        const int x = C.At(at);
        if (x > width) {
            Warn(C.Offset, Format("ESC &: %d dots across is wider than font %c's %d; ignored", x,
                                  fontB ? 'B' : 'A', width));
            return "ignored";
        }
        // Columns top down, the high bit on top; font B keeps its 17 rows, and columns past x
        // are blank.
        Bitmap pattern(width, height);
        const Bitmap columns =
            FromColumns(std::string_view(C.Bytes).substr(std::min(at + 1, C.Bytes.size())), x, 24);
        for (int cx = 0; cx < x; ++cx)
            for (int cy = 0; cy < height; ++cy)
                pattern.Set(cx, cy, columns.At(cx, cy));
        defined.push_back(std::make_shared<const Bitmap>(std::move(pattern)));
        at += 1 + 3 * static_cast<std::size_t>(x);
    }
    for (int code = c1; code <= c2; ++code)
        FState.UserCharacters[fontB ? 1 : 0][code - 32] = defined[code - c1];
    // The downloaded bit image shares their memory.
    FState.Downloaded.reset();
    return Format("define user-defined characters %d to %d in font %c", c1, c2, fontB ? 'B' : 'A');
}

std::string Printer::CancelUserCharacter(const Command& C) {
    const int n = C.At(2);
    if (n < 32 || n > 126)
        return Format("code %d: no user-defined character; ignored", n);
    FState.UserCharacters[FState.FontB ? 1 : 0][n - 32].reset();
    return Format("user-defined character %d cancelled", n);
}

void Printer::ClearUserCharacters() {
    for (auto& font : FState.UserCharacters)
        font.fill(nullptr);
}

} // namespace escpos

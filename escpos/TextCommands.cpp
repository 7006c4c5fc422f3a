// How characters print: print modes, emphasis, underline, fonts, sizes, white on black, code
// pages and international sets, and the double-byte mode.
#include "escpos/Printer.h"

#include "escpos/Charset.h"
#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

namespace escpos {

std::string Printer::SetPrintModes(const Command& C) {
    const std::uint8_t n = C.At(2);
    State_.FontB = n & 0x01;
    State_.Emphasised = n & 0x08;
    State_.HeightMul = n & 0x10 ? 2 : 1;
    State_.WidthMul = n & 0x20 ? 2 : 1;
    State_.Underline = n & 0x80 ? 1 : 0;
    return Format("print modes: font %c, emphasised %s, double height %s, double width %s, "
                  "underline %s",
                  State_.FontB ? 'B' : 'A', OnOff(State_.Emphasised), OnOff(State_.HeightMul == 2),
                  OnOff(State_.WidthMul == 2), OnOff(State_.Underline));
}

std::string Printer::SetEmphasis(const Command& C) {
    State_.Emphasised = C.At(2) & 0x01;
    return Format("emphasised %s", OnOff(State_.Emphasised));
}

std::string Printer::SetUnderline(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v > 2) {
        Warn(C.Offset, Format("ESC - %u: no such underline mode; ignored", n));
        return "ignored";
    }
    State_.Underline = v;
    return v ? Format("underline %d dot%s", v, v == 1 ? "" : "s") : "underline off";
}

std::string Printer::SelectFont(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v > 1) {
        Warn(C.Offset, Format("ESC M %u: no such font; ignored", n));
        return "ignored";
    }
    State_.FontB = v == 1;
    return v ? "font B" : "font A";
}

std::string Printer::SetRightSpacing(const Command& C) {
    const std::uint8_t n = C.At(2);
    State_.RightSpacing = n;
    return Format("right spacing %u dots", n);
}

std::string Printer::SetUpsideDown(const Command& C) {
    return Format("upside-down %s: not drawn", OnOff(C.At(2) & 1));
}

std::string Printer::SetRotation(const Command& C) {
    return Format("90-degree rotation %s: not drawn", OnOff(Choice(C.At(2)) & 1));
}

std::string Printer::SetCharacterSize(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (n & 0x88) {
        Warn(C.Offset, Format("GS ! %02X: size out of range; ignored", n));
        return "ignored";
    }
    State_.WidthMul = State_.DoubleByteWidthMul = (n >> 4) + 1;
    State_.HeightMul = State_.DoubleByteHeightMul = (n & 7) + 1;
    return Format("character size %d x %d", State_.WidthMul, State_.HeightMul);
}

std::string Printer::SetReverse(const Command& C) {
    State_.Reverse = C.At(2) & 1;
    return Format("white on black %s", OnOff(State_.Reverse));
}

std::string Printer::SelectCodePage(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (!HasCodePage(n)) {
        Warn(C.Offset, Format("ESC t %u: no such code page here; ignored", n));
        return "ignored";
    }
    State_.CodePage = n;
    return Format("code page %u", n);
}

std::string Printer::SelectCharacterSet(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (!HasCharacterSet(n)) {
        Warn(C.Offset, Format("ESC R %u: no such character set; ignored", n));
        return "ignored";
    }
    State_.CharacterSet = n;
    return Format("international character set %u", n);
}

std::string Printer::StartDoubleByte(const Command&) {
    State_.DoubleByte = true;
    return "double-byte characters on";
}

std::string Printer::StopDoubleByte(const Command&) {
    State_.DoubleByte = false;
    return "double-byte characters off";
}

std::string Printer::SetDoubleByteModes(const Command& C) {
    const std::uint8_t n = C.At(2);
    State_.DoubleByteWidthMul = n & 0x04 ? 2 : 1;
    State_.DoubleByteHeightMul = n & 0x08 ? 2 : 1;
    State_.DoubleByteUnderline = n & 0x80 ? 1 : 0;
    return Format("double-byte modes: double width %s, double height %s, underline %s",
                  OnOff(n & 0x04), OnOff(n & 0x08), OnOff(n & 0x80));
}

} // namespace escpos

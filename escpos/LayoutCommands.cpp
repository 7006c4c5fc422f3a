// Where characters go on the line: tabs, print positions, justification, the left margin and the
// print area's width.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

#include <algorithm>

namespace escpos {

std::string Printer::HorizontalTab(const Command& C) {
    const int room = Room();
    const int next = (Line_.X / TabWidth + 1) * TabWidth;
    if (next > room)
        return "tab past the print area: ignored";
    const int spaces = (next - Line_.X + FontAWidth - 1) / FontAWidth;
    if (Line_.Glyphs.empty()) {
        Line_.Offset = C.Offset;
        Line_.Justification = State_.Justification;
    }
    Line_.X = next;
    Line_.Text.append(static_cast<std::size_t>(spaces), ' ');
    return "horizontal tab";
}

std::string Printer::MovePosition(const Command& C) {
    // A relative move is a signed count of dots from where the next character would go.
    const int given = C.At(2) + 256 * C.At(3);
    const int x = C.Id == CommandId::AbsolutePosition
                      ? given
                      : Line_.X + (given >= 0x8000 ? given - 0x10000 : given);
    if (x < 0 || x > Room())
        return Format("position %d past the print area: ignored", x);
    if (Line_.Glyphs.empty()) {
        Line_.Offset = C.Offset;
        Line_.Justification = State_.Justification;
    }
    if (x > Line_.X)
        Line_.Text.append(static_cast<std::size_t>((x - Line_.X) / FontAWidth), ' ');
    Line_.X = x;
    return Format("print position %d dots", x);
}

std::string Printer::SetJustification(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v > 2) {
        Warn(C.Offset, Format("ESC a %u: no such justification; ignored", n));
        return "ignored";
    }
    State_.Justification = v;
    return v == 0 ? "justify left" : v == 1 ? "justify centre" : "justify right";
}

std::string Printer::SetLeftMargin(const Command& C) {
    const int dots = C.At(2) + 256 * C.At(3);
    State_.LeftMargin = std::min(dots, Profile_.Width);
    return Format("left margin %d dots", State_.LeftMargin);
}

std::string Printer::SetPrintWidth(const Command& C) {
    const int dots = C.At(2) + 256 * C.At(3);
    State_.PrintWidth = std::clamp(dots, 1, Profile_.Width - State_.LeftMargin);
    return Format("print area width %d dots", State_.PrintWidth);
}

} // namespace escpos

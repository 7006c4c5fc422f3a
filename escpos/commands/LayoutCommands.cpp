// Where characters go on the line: tabs, print positions, justification, the left margin and the
// print area's width.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

#include <algorithm>
#include <string>

namespace escpos {

std::string Printer::HorizontalTab(const Command& C) {
    const int room = Room();
    // A tab at the end of a full line prints it and tabs on the next, as the printer does.
    if (FLine.X >= room && FLine.X > 0) {
        PrintLine(C.Offset, FState.LineSpacing);
        FLine.Wrapped = true;
    }
    const auto next = std::upper_bound(FState.Tabs.begin(), FState.Tabs.end(), FLine.X);
    if (next == FState.Tabs.end())
        return "no tab position past here: ignored";
    // One past the print area leaves the line full: the next character starts a new one.
    const int x = std::min(*next, room);
    if (FLine.Glyphs.empty() && FLine.Text.empty()) {
        FLine.Offset = C.Offset;
        FLine.Justification = FState.Justification;
    }
    FLine.Text.append(static_cast<std::size_t>((x - FLine.X + FontAWidth - 1) / FontAWidth), ' ');
    FLine.X = x;
    return Format("horizontal tab to %d dots", x);
}

std::string Printer::SetTabStops(const Command& C) {
    // Each column is counted in characters as wide as the ones selected now, spacing included.
    const int width =
        ((FState.FontB ? FontBWidth : FontAWidth) + FState.RightSpacing) * FState.WidthMul;
    FState.Tabs.clear();
    std::string columns;
    for (std::size_t i = 2; i < C.Bytes.size() && C.At(i) != 0; ++i) {
        FState.Tabs.push_back(C.At(i) * width);
        columns += (columns.empty() ? "" : ", ") + std::to_string(C.At(i));
    }
    if (FState.Tabs.empty())
        return "no tab positions";
    return Format("tab positions at columns %s (%d dots each)", columns.c_str(), width);
}

std::string Printer::MovePosition(const Command& C) {
    // A relative move is a signed count of dots from where the next character would go.
    // Page mode's directions 1 and 3 run along the paper, in the vertical motion unit.
    const int perDot = FState.PageMode && FState.Direction % 2 ? UnitsPerDot : 1;
    const int given = C.At(2) + 256 * C.At(3);
    const int x = C.Id == CommandId::AbsolutePosition
                      ? given / perDot
                      : FLine.X + (given >= 0x8000 ? given - 0x10000 : given) / perDot;
    if (x < 0 || x > Room())
        return Format("position %d past the print area: ignored", x);
    if (FLine.Glyphs.empty()) {
        FLine.Offset = C.Offset;
        FLine.Justification = FState.Justification;
    }
    if (x > FLine.X)
        FLine.Text.append(static_cast<std::size_t>((x - FLine.X) / FontAWidth), ' ');
    FLine.X = x;
    return Format("print position %d dots", x);
}

std::string Printer::SetJustification(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v > 2) {
        Warn(C.Offset, Format("ESC a %u: no such justification; ignored", n));
        return "ignored";
    }
    FState.Justification = v;
    return v == 0 ? "justify left" : v == 1 ? "justify centre" : "justify right";
}

std::string Printer::SetLeftMargin(const Command& C) {
    const int dots = C.At(2) + 256 * C.At(3);
    FState.LeftMargin = std::min(dots, FProfile.Width);
    return Format("left margin %d dots", FState.LeftMargin);
}

std::string Printer::SetPrintWidth(const Command& C) {
    const int dots = C.At(2) + 256 * C.At(3);
    FState.PrintWidth = std::clamp(dots, 1, FProfile.Width - FState.LeftMargin);
    return Format("print area width %d dots", FState.PrintWidth);
}

} // namespace escpos

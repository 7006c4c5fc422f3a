// Moving the paper: line feeds, line spacing, feeds by lines and dots, and cuts.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

#include <algorithm>

namespace escpos {

std::string Printer::PrintAndFeedLine(const Command& C) {
    const bool empty = FLine.Glyphs.empty();
    PrintLine(C.Offset, FState.LineSpacing);
    return empty ? "feed one line" : "print and feed one line";
}

std::string Printer::CarriageReturn(const Command& C) {
    if (FProfile.CrFeeds) {
        PrintLine(C.Offset, FState.LineSpacing);
        return "print and feed one line";
    }
    return "ignored";
}

std::string Printer::SetDefaultSpacing(const Command&) {
    FState.LineSpacing = DefaultLineUnits;
    return "line spacing 1/6 inch";
}

std::string Printer::SetLineSpacing(const Command& C) {
    const std::uint8_t n = C.At(2);
    FState.LineSpacing = n;
    return Format("line spacing %u/360 inch", n);
}

std::string Printer::PrintAndFeedLines(const Command& C) {
    const std::uint8_t n = C.At(2);
    PrintLine(C.Offset, n ? FState.LineSpacing : 0);
    Feed(C.Offset, FState.LineSpacing * std::max(0, n - 1));
    return Format("print and feed %u lines", n);
}

std::string Printer::PrintAndFeedDots(const Command& C) {
    const std::uint8_t n = C.At(2);
    PrintLine(C.Offset, n);
    return Format("print and feed %u/360 inch", n);
}

std::string Printer::CutHere(const Command& C) {
    if (FState.PageMode)
        return "cut: ignored in page mode";
    const bool partial = C.At(1) == 'm';
    CutPaper(C.Offset, partial, 0);
    return partial ? "partial cut" : "full cut";
}

std::string Printer::FeedAndCut(const Command& C) {
    if (FState.PageMode)
        return "cut: ignored in page mode";
    const std::uint8_t m = C.At(2);
    const bool partial = m == 1 || m == '1' || m == 66 || m == 98 || m == 104;
    // Function B feeds n motion units before it cuts; A cuts where the paper is.
    const int feed = C.Length == 4 ? C.At(3) : 0;
    CutPaper(C.Offset, partial, feed);
    if (feed)
        return Format("feed %d/360 inch and %s cut", feed, partial ? "partial" : "full");
    return partial ? "partial cut" : "full cut";
}

} // namespace escpos

// Page mode: ESC L gathers text, pictures and codes in a page buffer at the positions the host
// gives, within a print area (ESC W) and a print direction (ESC T); FF prints the buffer and goes
// back to standard mode, ESC FF prints it and keeps it, CAN wipes the area, ESC S drops it all.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

#include <algorithm>

namespace escpos {

namespace {

// The baseline at the start: the top of a normal Font A character touches the area's edge, and
// what is taller is cut off there.
constexpr int StartBaseline = FontAHeight;

// More than a page holds in any real use; past it the buffer takes nothing more.
constexpr std::size_t MaxPageParts = 4096;

constexpr const char* Directions[] = {"left to right", "bottom to top", "right to left",
                                      "top to bottom"};

int Word(const Command& C, std::size_t I) {
    return C.At(I) + 256 * C.At(I + 1);
}

} // namespace

void Printer::SwapModeSpacing() {
    std::swap(FState.LineSpacing, FState.OtherLineSpacing);
    std::swap(FState.RightSpacing, FState.OtherRightSpacing);
}

bool Printer::PageDataWaiting() const {
    if (!FState.PageMode)
        return false;
    if (!FLine.Glyphs.empty())
        return true;
    const auto& parts = FState.Buffer->Parts;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (!parts[i].Erase && !FState.Buffer->Wiped(i, parts.size()))
            return true;
    return false;
}

void Printer::ResetPagePosition() {
    FLine = Pending{};
    FState.Baseline = StartBaseline;
}

bool Printer::PageRoom(std::size_t Offset) {
    if (FState.Buffer->Parts.size() < MaxPageParts)
        return true;
    if (!FState.Buffer->Full)
        Warn(Offset, Format("the page buffer is full (%zu parts): what follows is not laid out",
                            MaxPageParts));
    FState.Buffer->Full = true;
    return false;
}

void Printer::PlaceInPage(Item Part, int X, int Y) {
    if (!PageRoom(Part.Offset))
        return;
    PageBuffer::Part part;
    part.What = std::move(Part);
    part.X = X;
    part.Y = Y;
    part.Direction = FState.Direction;
    part.Area = FState.Area;
    FState.Buffer->Height = std::max(FState.Buffer->Height, FState.Area.Y + FState.Area.Height);
    FState.Buffer->Parts.push_back(std::move(part));
}

void Printer::PlacePending() {
    if (FLine.Glyphs.empty())
        return;
    Item line = TakeLine();
    // Every glyph, picture and code stands on the baseline.
    const int top = FState.Baseline - line.Box;
    Log(line.Offset, "lay out \"" + line.Text + "\" in the page");
    PlaceInPage(std::move(line), 0, top);
}

std::string Printer::PagePicture(const Command& C, Bitmap Picture, const std::string& Label,
                                 bool Whole) {
    if (Picture.Empty())
        return Refuse(C, "the picture is empty");
    const int room = Room();
    if (Picture.Width > room && Whole)
        return Refuse(C,
                      Format("%d dots wide, wider than the print area of %d", Picture.Width, room));
    Glyph g;
    g.Width = g.Advance = std::min(Picture.Width, room);
    g.Height = Picture.Height;
    g.Picture = std::make_shared<const Bitmap>(std::move(Picture));
    AddToLine(C.Offset, std::move(g));
    FLine.Text += Label;
    return "lay out " + Label + " in the page";
}

void Printer::PlaceHri(Item Line, int Width) {
    // Under the bars that were just laid out, or above the ones about to be.
    int textWidth = 0;
    for (const auto& g : Line.Glyphs) {
        textWidth = std::max(textWidth, g.X + g.Width);
        AppendUtf8(Line.Text, g.Character);
    }
    const bool below = !FLine.Glyphs.empty() && FLine.Glyphs.back().Picture &&
                       FLine.Glyphs.back().Width == std::min(Width, Room());
    const int left = (below ? FLine.Glyphs.back().X : FLine.X) + (Width - textWidth) / 2;
    for (auto& g : Line.Glyphs)
        g.X += std::max(0, left);
    const int top = below ? FState.Baseline : FState.Baseline - FState.BarcodeHeight - Line.Box;
    PlaceInPage(std::move(Line), 0, top);
}

void Printer::EmitPage(std::size_t Offset) {
    Item page;
    page.What = Item::PageData;
    page.Offset = Offset;
    page.Advance = FState.Buffer->Height;
    const auto& parts = FState.Buffer->Parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].Erase || parts[i].What.Text.empty() || FState.Buffer->Wiped(i, parts.size()))
            continue;
        page.Text += (page.Text.empty() ? "" : "\n") + parts[i].What.Text;
    }
    // Shared, not copied: ESC FF after ESC FF costs no more than the parts added between.
    page.Buffer = FState.Buffer;
    page.BufferParts = parts.size();
    Log(Offset, Format("print the page, %d dots", page.Advance));
    Current().Items.push_back(std::move(page));
}

std::string Printer::SelectPageMode(const Command&) {
    if (FState.PageMode)
        return "already in page mode";
    if (!AtLineStart())
        return "page mode: ignored, not at the beginning of a line";
    FState.PageMode = true;
    FState.Buffer = std::make_shared<PageBuffer>();
    SwapModeSpacing();
    ResetPagePosition();
    return Format("page mode: area %d,%d %d x %d dots, %s", FState.Area.X, FState.Area.Y,
                  FState.Area.Width, FState.Area.Height, Directions[FState.Direction]);
}

std::string Printer::SelectStandardMode(const Command& C) {
    if (!FState.PageMode)
        return "already in standard mode";
    const bool dropped = PageDataWaiting();
    FState.PageMode = false;
    FState.Buffer.reset();
    SwapModeSpacing();
    FLine = Pending{};
    if (dropped)
        Warn(C.Offset, "ESC S dropped page data that was not printed");
    return "standard mode";
}

std::string Printer::PrintFormFeed(const Command& C) {
    if (!FState.PageMode)
        return "form feed: ignored outside page mode";
    PlacePending();
    EmitPage(C.Offset);
    // Back in standard mode the print area is the one of power-up; the direction stays.
    FState.PageMode = false;
    FState.Buffer.reset();
    FState.Area = {0, 0, FProfile.Width, PageHeight};
    SwapModeSpacing();
    FLine = Pending{};
    return "print the page and return to standard mode";
}

std::string Printer::PrintPageData(const Command& C) {
    if (!FState.PageMode)
        return "print page data: ignored outside page mode";
    PlacePending();
    EmitPage(C.Offset);
    return "print the page and keep it";
}

std::string Printer::CancelPageData(const Command& C) {
    if (!FState.PageMode)
        return "cancel: ignored outside page mode";
    FLine.Glyphs.clear();
    FLine.Text.clear();
    if (!PageRoom(C.Offset))
        return "cancel: the page buffer is full";
    // The dots laid out in the area so far are wiped; what lay wholly in it leaves the text too.
    auto& parts = FState.Buffer->Parts;
    const PageArea& a = FState.Area;
    for (auto& p : parts)
        if (!p.Erase && p.WipedBy == SIZE_MAX && p.Area.X >= a.X && p.Area.Y >= a.Y &&
            p.Area.X + p.Area.Width <= a.X + a.Width && p.Area.Y + p.Area.Height <= a.Y + a.Height)
            p.WipedBy = parts.size();
    PageBuffer::Part erase;
    erase.Erase = true;
    erase.Area = a;
    parts.push_back(erase);
    return "cancel the page data in the print area";
}

std::string Printer::SetPageArea(const Command& C) {
    // Across the paper in dots, along it in the vertical motion unit.
    const int x = Word(C, 2), y = Word(C, 4) / UnitsPerDot, dx = Word(C, 6),
              dy = Word(C, 8) / UnitsPerDot;
    if (dx == 0 || dy == 0 || x >= FProfile.Width || y >= PageHeight) {
        Warn(C.Offset,
             Format("ESC W %d,%d %d x %d: outside the printable area; ignored", x, y, dx, dy));
        return "ignored";
    }
    if (FState.PageMode)
        PlacePending();
    // An area reaching past the printable one ends at its edge.
    FState.Area = {x, y, std::min(dx, FProfile.Width - x), std::min(dy, PageHeight - y)};
    if (FState.PageMode)
        ResetPagePosition();
    return Format("page mode print area %d,%d %d x %d dots", FState.Area.X, FState.Area.Y,
                  FState.Area.Width, FState.Area.Height);
}

std::string Printer::SetPageDirection(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (Choice(n) > 3) {
        Warn(C.Offset, Format("ESC T %u: no such print direction; ignored", n));
        return "ignored";
    }
    if (FState.PageMode)
        PlacePending();
    FState.Direction = Choice(n);
    if (FState.PageMode)
        ResetPagePosition();
    return Format("page mode print direction %s", Directions[FState.Direction]);
}

std::string Printer::MoveVertical(const Command& C) {
    if (!FState.PageMode)
        return "vertical position: ignored outside page mode";
    // GS \ is a signed count from the baseline now; GS $ counts from the area's start edge. In
    // directions 0 and 2 they go along the paper, in the vertical motion unit.
    const int perDot = FState.Direction % 2 ? 1 : UnitsPerDot;
    const int given = Word(C, 2);
    const int y = C.Id == CommandId::VerticalAbsolute
                      ? given / perDot
                      : FState.Baseline + (given >= 0x8000 ? given - 0x10000 : given) / perDot;
    const int depth = FState.Direction % 2 ? FState.Area.Width : FState.Area.Height;
    const bool past =
        C.Id == CommandId::VerticalAbsolute ? given > depth * perDot : y < 0 || y > depth;
    if (past)
        return Format("vertical position %d past the print area: ignored", y);
    PlacePending();
    FState.Baseline = y;
    return Format("vertical position %d dots", y);
}

} // namespace escpos

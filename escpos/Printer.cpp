#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"
#include "escpos/decoder/CommandTable.h"
#include "escpos/drawing/Charset.h"

#include <algorithm>
#include <utility>

namespace escpos {

void AppendUtf8(std::string& Out, char32_t C) {
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | C >> 6);
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += static_cast<char>(0xE0 | C >> 12);
        Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | C >> 18);
        Out += static_cast<char>(0x80 | (C >> 12 & 0x3F));
        Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

Printer::Printer(Profile P) : FProfile(std::move(P)) {
    Reset();
    FPages.emplace_back();
}

void Printer::Reset() {
    FState = PrinterState{};
    FState.DoubleByte = FProfile.DoubleByteAtPowerUp;
    FState.CharacterSet = FProfile.CharacterSetAtPowerUp;
    FState.PrintWidth = FProfile.Width;
    for (int i = 1; i <= MaxTabs; ++i)
        FState.Tabs.push_back(i * TabWidth);
    FState.Area = {0, 0, FProfile.Width, PageHeight};
    FLine = Pending{};
}

int Printer::Room() const {
    if (FState.PageMode)
        return FState.Direction % 2 ? FState.Area.Height : FState.Area.Width;
    return std::max(0, std::min(FState.PrintWidth, FProfile.Width - FState.LeftMargin));
}

Page& Printer::Current() {
    if (FPages.empty() || FPages.back().Cut)
        FPages.emplace_back();
    return FPages.back();
}

void Printer::Warn(std::size_t Offset, std::string Message) {
    Log(Offset, "warning: " + Message);
    FWarnings.push_back({Offset, std::move(Message)});
    ++FHeld;
}

void Printer::Log(std::size_t Offset, const std::string& Line) {
    if (OnLog)
        OnLog(Offset, Line);
}

void Printer::Record(const Command& C, const std::string& Detail) {
    if (!FKeepTrace)
        return;
    FTrace.push_back({C.Offset, C.Length, CommandName(C), HexBytes(C), Detail});
    ++FHeld;
}

namespace {

// The entries of Kept up to Offset, moved out; the rest in a vector of its own size.
template <typename T>
std::vector<T> TakeUpTo(std::vector<T>& Kept, std::size_t Offset) {
    auto end =
        std::find_if(Kept.begin(), Kept.end(), [Offset](const T& E) { return E.Offset > Offset; });
    std::vector<T> taken(std::make_move_iterator(Kept.begin()), std::make_move_iterator(end));
    std::vector<T> rest(std::make_move_iterator(end), std::make_move_iterator(Kept.end()));
    Kept.swap(rest);
    return taken;
}

} // namespace

std::vector<TraceEntry> Printer::TakeTrace(std::size_t Offset) {
    return TakeUpTo(FTrace, Offset);
}

std::vector<Warning> Printer::TakeWarnings(std::size_t Offset) {
    return TakeUpTo(FWarnings, Offset);
}

void Printer::LimitPage(std::size_t Held, int Length) {
    FMaxHeld = Held;
    FMaxLength = Length;
}

void Printer::CheckLimit(std::size_t Offset) {
    const bool open = !FPages.empty() && !FPages.back().Cut;
    const std::size_t items = open ? FPages.back().Items.size() : 0;
    if (items < FMeasured)
        FMeasured = FLength = 0;
    for (; FMeasured < items; ++FMeasured)
        FLength += FPages.back().Items[FMeasured].Advance;
    std::string why;
    if (FHeld + items >= FMaxHeld)
        why = Format("more than %zu commands, warnings and lines", FMaxHeld);
    else if (FLength > FMaxLength)
        why = Format("longer than %d dots", FMaxLength);
    if (why.empty())
        return;
    Log(Offset, "paper cut off: " + why + "; what follows goes on the next");
    Item note;
    note.What = Item::Note;
    note.Offset = Offset;
    note.Text = "cut off: " + why;
    Page& page = Current();
    page.Items.push_back(std::move(note));
    page.Cut = true;
    FMeasured = 0;
    FLength = 0;
    FHeld = 0;
}

std::vector<Page> Printer::TakeCutPages() {
    std::vector<Page> cut;
    auto firstOpen = std::find_if(FPages.begin(), FPages.end(), [](auto& p) { return !p.Cut; });
    std::move(FPages.begin(), firstOpen, std::back_inserter(cut));
    FPages.erase(FPages.begin(), firstOpen);
    return cut;
}

void Printer::Put(std::size_t Offset, char32_t Character, bool DoubleByte, std::uint16_t Code,
                  std::uint8_t Byte) {
    Glyph g;
    g.Character = Character;
    g.DoubleByte = DoubleByte;
    g.KsCode = Code;
    g.Emphasised = FState.Emphasised;
    g.Reverse = FState.Reverse;
    if (DoubleByte) {
        g.WidthMul = FState.DoubleByteWidthMul;
        g.HeightMul = FState.DoubleByteHeightMul;
        g.Underline = FState.DoubleByteUnderline ? FState.DoubleByteUnderline : FState.Underline;
        g.Width = DoubleByteSize * g.WidthMul;
        g.Height = DoubleByteSize * g.HeightMul;
    } else {
        g.FontB = FState.FontB;
        g.WidthMul = FState.WidthMul;
        g.HeightMul = FState.HeightMul;
        g.Underline = FState.Underline;
        g.Width = (g.FontB ? FontBWidth : FontAWidth) * g.WidthMul;
        g.Height = (g.FontB ? FontBHeight : FontAHeight) * g.HeightMul;
        if (FState.UserCharactersOn && Byte >= 32 && Byte <= 126)
            g.Pattern = FState.UserCharacters[g.FontB ? 1 : 0][Byte - 32];
    }
    if (FState.Rotated && !FState.PageMode) {
        // Turned clockwise: the cell stands on its side, and rotated characters carry no
        // underline.
        g.Rotated = true;
        std::swap(g.Width, g.Height);
        g.Underline = 0;
    }
    const int spacing = FState.PageMode && FState.Direction % 2 ? FState.RightSpacing / UnitsPerDot
                                                                : FState.RightSpacing;
    g.Advance = g.Width + spacing * g.WidthMul;
    if (g.Width > Room()) {
        Warn(Offset, "character wider than the print area: not printed");
        return;
    }
    AddToLine(Offset, g);
    if (Character)
        AppendUtf8(FLine.Text, Character);
    else
        FLine.Text += "\xEF\xBF\xBD"; // U+FFFD
}

void Printer::AddToLine(std::size_t Offset, Glyph g) {
    const int room = Room();
    // A character that does not fit prints the line first and starts the next one.
    if (FLine.X + g.Width > room) {
        PrintLine(Offset, FState.LineSpacing);
        FLine.Wrapped = true;
    }
    if (FLine.Glyphs.empty()) {
        FLine.Offset = Offset;
        FLine.Justification = FState.Justification;
    }
    g.X = FLine.X;
    FLine.X += g.Advance;
    FLine.Glyphs.push_back(std::move(g));
}

Item Printer::TakeLine() {
    Item line;
    line.What = Item::Line;
    line.Offset = FLine.Offset;
    line.Glyphs = std::move(FLine.Glyphs);
    line.Text = std::move(FLine.Text);
    for (const auto& g : line.Glyphs)
        line.Box = std::max(line.Box, g.Height);
    FLine.Glyphs.clear();
    FLine.Text.clear();
    return line;
}

void Printer::PrintLine(std::size_t Offset, int MinimumAdvance) {
    if (FState.PageMode) {
        // Page mode lays the line out at the baseline and moves the baseline on.
        PlacePending();
        FLine = Pending{};
        FState.Baseline += Dots(MinimumAdvance);
        return;
    }
    if (FLine.Glyphs.empty()) {
        FLine = Pending{}; // what tabs and moves left behind goes with the feed
        Feed(Offset, MinimumAdvance);
        return;
    }
    Item line = TakeLine();
    line.Wrapped = FLine.Wrapped;
    int used = 0;
    for (const auto& g : line.Glyphs)
        used = std::max(used, g.X + g.Width);
    const int room = Room();
    line.Indent = FState.LeftMargin + JustifiedOffset(FLine.Justification, room, used);
    line.Advance = std::max(Dots(MinimumAdvance), line.Box);
    line.UpsideDown = FState.UpsideDown;
    line.AreaLeft = FState.LeftMargin;
    line.AreaWidth = room;
    Log(line.Offset, "print \"" + line.Text + "\"");
    Current().Items.push_back(std::move(line));
    FLine = Pending{};
}

int Printer::Dots(int Units) {
    // Page mode's directions 1 and 3 feed across the paper, in the horizontal unit.
    if (FState.PageMode && FState.Direction % 2)
        return Units;
    const int total = Units + FState.HalfDot;
    FState.HalfDot = total % UnitsPerDot;
    return total / UnitsPerDot;
}

int Printer::UnitsOf(int Dots) const {
    return FState.PageMode && FState.Direction % 2 ? Dots : Dots * UnitsPerDot;
}

void Printer::Feed(std::size_t Offset, int Units) {
    const int dots = Dots(Units);
    if (FState.PageMode) {
        FState.Baseline += dots;
        return;
    }
    if (dots <= 0)
        return;
    Item feed;
    feed.What = Item::Feed;
    feed.Offset = Offset;
    feed.Advance = dots;
    Current().Items.push_back(feed);
}

void Printer::CutPaper(std::size_t Offset, bool Partial, int FeedUnits) {
    if (!FLine.Glyphs.empty())
        PrintLine(Offset, FState.LineSpacing);
    Feed(Offset, FeedUnits);
    Item cut;
    cut.What = Item::Cut;
    cut.Offset = Offset;
    cut.Partial = Partial;
    Page& page = Current();
    page.Items.push_back(cut);
    page.Cut = true;
    FHeld = 0;
    if (OnCut)
        OnCut(page);
}

std::string Printer::Pulse(std::size_t Offset, int Pin, int OnMs, int OffMs) {
    Item note;
    note.What = Item::Note;
    note.Offset = Offset;
    note.Text = Format("DRAWER pin %d: %d ms on / %d ms off", Pin, OnMs, OffMs);
    Current().Items.push_back(note);
    return note.Text;
}

void Printer::Reply(std::string_view Bytes) {
    if (OnReply)
        OnReply(Bytes);
}

void Printer::DropLead(std::size_t Offset, const char* Why) {
    if (FState.PendingLead < 0)
        return;
    Warn(Offset, Format("lead byte %02X dropped: %s", FState.PendingLead, Why));
    FState.PendingLead = -1;
}

bool Printer::HeldOffline(const Command& C) {
    const bool realTime = C.Id == CommandId::RealTimeStatus || C.Id == CommandId::RealTimeRequest ||
                          C.Id == CommandId::RealTimePulse;
    if (!FSensors.Offline() || realTime) {
        FHoldLogged = false;
        return false;
    }
    // A real printer keeps such data in its buffer until it is back online; here it is dropped,
    // all but automatic status back, which a watching program needs once the printer recovers.
    if (C.Id == CommandId::AutoStatusBack) {
        FHeldAsb = C.At(2);
        Log(C.Offset, "offline: GS a waits until the printer is back online");
        return true;
    }
    if (!FHoldLogged)
        Log(C.Offset, "offline (" + OfflineCauses(FSensors) +
                          "): printing stopped; what follows is not printed");
    FHoldLogged = true;
    return true;
}

void Printer::Apply(const Command& C) {
    ApplyOne(C);
    CheckLimit(C.Offset);
}

void Printer::ApplyOne(const Command& C) {
    if (HeldOffline(C))
        return;
    if (C.Id == CommandId::Char) {
        const std::uint8_t b = C.At(0);
        if (FState.DoubleByte) {
            if (FState.PendingLead >= 0) {
                const auto lead = static_cast<std::uint8_t>(FState.PendingLead);
                if (IsCp949Trail(b)) {
                    FState.PendingLead = -1;
                    const char32_t c = Cp949Character(lead, b);
                    if (!c)
                        Warn(C.Offset - 1, Format("%02X %02X is no character", lead, b));
                    Put(C.Offset - 1, c, true, KsCode(lead, b));
                    RecordText(C, c ? c : U'\uFFFD');
                    return;
                }
                DropLead(C.Offset, "the next byte cannot follow it");
            }
            if (IsCp949Lead(b)) {
                FState.PendingLead = b;
                RecordText(C, 0);
                return;
            }
        }
        const char32_t c = SingleByteCharacter(b, FState.CodePage, FState.CharacterSet);
        Put(C.Offset, c, false, 0, b);
        RecordText(C, c ? c : U'\uFFFD');
        return;
    }
    DropLead(C.Offset, "a command came before its trail byte");
    // A line feed that prints is logged as the printed line; ignored bytes are not logged.
    const bool quiet = (C.Id == CommandId::LineFeed && !FLine.Glyphs.empty()) ||
                       (C.Id == CommandId::CarriageRet && !FProfile.CrFeeds);
    const std::string detail = HandlerFor(C.Id)(*this, C);
    Record(C, detail);
    if (!quiet)
        Log(C.Offset, CommandName(C) + " [" + HexBytes(C) + "]: " + detail);
}

void Printer::RecordText(const Command& C, char32_t Character) {
    if (!FKeepTrace)
        return;
    // Runs of text make one trace entry; a lead byte adds its byte now and its character with
    // the trail byte.
    if (!FTrace.empty() && FTrace.back().Name == "text" &&
        FTrace.back().Offset + FTrace.back().Length == C.Offset) {
        FTrace.back().Length++;
    } else {
        Record(C, "");
    }
    if (Character)
        AppendUtf8(FTrace.back().Detail, Character);
}

std::string Printer::Initialise(const Command& C) {
    const bool dropped = !FLine.Glyphs.empty() && !FState.PageMode;
    const bool page = PageDataWaiting();
    Reset();
    if (dropped)
        Warn(C.Offset, "ESC @ cleared a line that was not printed");
    if (page)
        Warn(C.Offset, "ESC @ cleared page data that was not printed");
    return "initialise the printer";
}

std::string Printer::StepOver(const Command&) {
    return "understood, not drawn";
}

std::string Printer::SkipUnknown(const Command& C) {
    Warn(C.Offset, "unknown command " + CommandName(C) + " [" + HexBytes(C) + "] skipped");
    return "unknown: skipped";
}

std::string Printer::ReportIncomplete(const Command& C) {
    Warn(C.Offset, "the stream ended inside " + CommandName(C) + " [" + HexBytes(C) + "]");
    return "incomplete";
}

void Printer::Finish() {
    if (FFinished)
        return;
    FFinished = true;
    if (FState.PendingLead >= 0)
        DropLead(FPages.empty() ? 0 : FLine.Offset, "the stream ended");
    if (!FLine.Glyphs.empty())
        Warn(FLine.Offset,
             "the stream ended with \"" + FLine.Text + "\" in the line buffer: not printed");
    else if (PageDataWaiting())
        Warn(FState.Buffer->Parts.front().What.Offset,
             "the stream ended in page mode with page data not printed");
    // Paper fed after the last cut is no receipt.
    if (!FPages.empty() && FPages.back().Blank() && !FPages.back().Cut)
        FPages.pop_back();
}

bool Page::Blank() const {
    for (const auto& item : Items)
        if (item.What != Item::Feed)
            return false;
    return true;
}

Printer PrintAll(std::string_view Bytes, const Profile& P) {
    Printer printer(P);
    Decoder decoder([&](const Command& C) { printer.Apply(C); });
    decoder.Feed(Bytes);
    decoder.Finish();
    printer.Finish();
    return printer;
}

std::string PageText(const Page& P) {
    std::string text;
    for (const auto& item : P.Items) {
        switch (item.What) {
        case Item::Line:
            if (item.Wrapped && !text.empty() && text.back() == '\n')
                text.pop_back();
            text += item.Text + "\n";
            break;
        case Item::Feed: {
            // Each line's worth of feed shows as an empty line.
            for (int fed = 0; fed + 15 < item.Advance; fed += DefaultLineSpacing)
                text += "\n";
            break;
        }
        case Item::Note:
            text += "[" + item.Text + "]\n";
            break;
        case Item::Image:
        case Item::PageData:
            text += item.Text + "\n";
            break;
        case Item::Cut:
            text += item.Partial ? "[partial cut]\n" : "[full cut]\n";
            break;
        }
    }
    return text;
}

} // namespace escpos

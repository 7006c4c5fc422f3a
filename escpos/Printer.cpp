#include "escpos/Printer.h"

#include "escpos/Charset.h"
#include "escpos/Format.h"

#include <algorithm>
#include <utility>

namespace escpos {

namespace {

constexpr int FontAWidth = 12, FontAHeight = 24;
constexpr int FontBWidth = 9, FontBHeight = 17;
constexpr int DoubleByteSize = 24;
constexpr int DefaultLineSpacing = 30; // 1/6 inch at 180 dpi
constexpr int TabWidth = 8 * FontAWidth;

// Parameters that come either as 0, 1, 2 or as the digits "0", "1", "2".
int Choice(std::uint8_t N) {
    return N >= '0' && N <= '9' ? N - '0' : N;
}

const char* OnOff(bool On) {
    return On ? "on" : "off";
}

} // namespace

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

Printer::Printer(Profile P) : Profile_(std::move(P)) {
    Reset();
    Pages_.emplace_back();
}

void Printer::Reset() {
    State_ = PrinterState{};
    State_.DoubleByte = Profile_.DoubleByteAtPowerUp;
    State_.CharacterSet = Profile_.CharacterSetAtPowerUp;
    State_.PrintWidth = Profile_.Width;
    Line_ = Pending{};
}

int Printer::Room() const {
    return std::max(0, std::min(State_.PrintWidth, Profile_.Width - State_.LeftMargin));
}

Page& Printer::Current() {
    if (Pages_.empty() || Pages_.back().Cut)
        Pages_.emplace_back();
    return Pages_.back();
}

void Printer::Warn(std::size_t Offset, std::string Message) {
    Log(Offset, "warning: " + Message);
    Warnings_.push_back({Offset, std::move(Message)});
}

void Printer::Log(std::size_t Offset, const std::string& Line) {
    if (OnLog)
        OnLog(Offset, Line);
}

void Printer::Record(const Command& C, const std::string& Detail) {
    if (!KeepTrace_)
        return;
    Trace_.push_back({C.Offset, C.Length, CommandName(C), HexBytes(C), Detail});
}

std::vector<Page> Printer::TakeCutPages() {
    std::vector<Page> cut;
    auto firstOpen = std::find_if(Pages_.begin(), Pages_.end(), [](auto& p) { return !p.Cut; });
    std::move(Pages_.begin(), firstOpen, std::back_inserter(cut));
    Pages_.erase(Pages_.begin(), firstOpen);
    return cut;
}

void Printer::Put(std::size_t Offset, char32_t Character, bool DoubleByte, std::uint16_t Code) {
    Glyph g;
    g.Character = Character;
    g.DoubleByte = DoubleByte;
    g.KsCode = Code;
    g.Emphasised = State_.Emphasised;
    g.Reverse = State_.Reverse;
    if (DoubleByte) {
        g.WidthMul = State_.DoubleByteWidthMul;
        g.HeightMul = State_.DoubleByteHeightMul;
        g.Underline = State_.DoubleByteUnderline ? State_.DoubleByteUnderline : State_.Underline;
        g.Width = DoubleByteSize * g.WidthMul;
        g.Height = DoubleByteSize * g.HeightMul;
    } else {
        g.FontB = State_.FontB;
        g.WidthMul = State_.WidthMul;
        g.HeightMul = State_.HeightMul;
        g.Underline = State_.Underline;
        g.Width = (g.FontB ? FontBWidth : FontAWidth) * g.WidthMul;
        g.Height = (g.FontB ? FontBHeight : FontAHeight) * g.HeightMul;
    }
    g.Advance = g.Width + State_.RightSpacing * g.WidthMul;
    const int room = Room();
    if (g.Width > room) {
        Warn(Offset, "character wider than the print area: not printed");
        return;
    }
    // A character that does not fit prints the line first and starts the next one.
    if (Line_.X + g.Width > room) {
        PrintLine(Offset, State_.LineSpacing);
        Line_.Wrapped = true;
    }
    if (Line_.Glyphs.empty()) {
        Line_.Offset = Offset;
        Line_.Justification = State_.Justification;
    }
    g.X = Line_.X;
    Line_.X += g.Advance;
    Line_.Glyphs.push_back(g);
    if (Character)
        AppendUtf8(Line_.Text, Character);
    else
        Line_.Text += "\xEF\xBF\xBD"; // U+FFFD
}

void Printer::PrintLine(std::size_t Offset, int MinimumAdvance) {
    if (Line_.Glyphs.empty()) {
        Line_.X = 0;
        Feed(Offset, MinimumAdvance);
        return;
    }
    Item line;
    line.What = Item::Line;
    line.Offset = Line_.Offset;
    line.Glyphs = std::move(Line_.Glyphs);
    line.Text = std::move(Line_.Text);
    line.Wrapped = Line_.Wrapped;
    int used = 0;
    for (const auto& g : line.Glyphs) {
        line.Box = std::max(line.Box, g.Height);
        used = std::max(used, g.X + g.Width);
    }
    const int room = Room();
    line.Indent = State_.LeftMargin;
    if (Line_.Justification == 1)
        line.Indent += (room - used) / 2;
    else if (Line_.Justification == 2)
        line.Indent += room - used;
    line.Advance = std::max(MinimumAdvance, line.Box);
    Log(line.Offset, "print \"" + line.Text + "\"");
    Current().Items.push_back(std::move(line));
    Line_ = Pending{};
}

void Printer::Feed(std::size_t Offset, int Dots) {
    if (Dots <= 0)
        return;
    Item feed;
    feed.What = Item::Feed;
    feed.Offset = Offset;
    feed.Advance = Dots;
    Current().Items.push_back(feed);
}

void Printer::CutPaper(std::size_t Offset, bool Partial, int FeedDots) {
    if (!Line_.Glyphs.empty())
        PrintLine(Offset, State_.LineSpacing);
    Feed(Offset, FeedDots);
    Item cut;
    cut.What = Item::Cut;
    cut.Offset = Offset;
    cut.Partial = Partial;
    Page& page = Current();
    page.Items.push_back(cut);
    page.Cut = true;
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
    if (State_.PendingLead < 0)
        return;
    Warn(Offset, Format("lead byte %02X dropped: %s", State_.PendingLead, Why));
    State_.PendingLead = -1;
}

void Printer::Apply(const Command& C) {
    if (C.Id == CommandId::Char) {
        const std::uint8_t b = C.At(0);
        if (State_.DoubleByte) {
            if (State_.PendingLead >= 0) {
                const auto lead = static_cast<std::uint8_t>(State_.PendingLead);
                if (IsCp949Trail(b)) {
                    State_.PendingLead = -1;
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
                State_.PendingLead = b;
                RecordText(C, 0);
                return;
            }
        }
        const char32_t c = SingleByteCharacter(b, State_.CodePage, State_.CharacterSet);
        Put(C.Offset, c, false, 0);
        RecordText(C, c ? c : U'\uFFFD');
        return;
    }
    DropLead(C.Offset, "a command came before its trail byte");
    // A line feed that prints is logged as the printed line; ignored bytes are not logged.
    const bool quiet = (C.Id == CommandId::LineFeed && !Line_.Glyphs.empty()) ||
                       C.Id == CommandId::Control ||
                       (C.Id == CommandId::CarriageRet && !Profile_.CrFeeds);
    const std::string detail = Do(C);
    Record(C, detail);
    if (!quiet)
        Log(C.Offset, CommandName(C) + " [" + HexBytes(C) + "]: " + detail);
}

void Printer::RecordText(const Command& C, char32_t Character) {
    if (!KeepTrace_)
        return;
    // Runs of text make one trace entry; a lead byte adds its byte now and its character with
    // the trail byte.
    if (!Trace_.empty() && Trace_.back().Name == "text" &&
        Trace_.back().Offset + Trace_.back().Length == C.Offset) {
        Trace_.back().Length++;
    } else {
        Record(C, "");
    }
    if (Character)
        AppendUtf8(Trace_.back().Detail, Character);
}

std::string Printer::Do(const Command& C) {
    using enum CommandId;
    const std::size_t at = C.Offset;
    const std::uint8_t n = C.At(2);
    switch (C.Id) {
    case Char:
        return "";
    case LineFeed: {
        const bool empty = Line_.Glyphs.empty();
        PrintLine(at, State_.LineSpacing);
        return empty ? "feed one line" : "print and feed one line";
    }
    case CarriageRet:
        if (Profile_.CrFeeds) {
            PrintLine(at, State_.LineSpacing);
            return "print and feed one line";
        }
        return "ignored";
    case Tab: {
        const int room = Room();
        const int next = (Line_.X / TabWidth + 1) * TabWidth;
        if (next > room)
            return "tab past the print area: ignored";
        const int spaces = (next - Line_.X + FontAWidth - 1) / FontAWidth;
        if (Line_.Glyphs.empty()) {
            Line_.Offset = at;
            Line_.Justification = State_.Justification;
        }
        Line_.X = next;
        Line_.Text.append(static_cast<std::size_t>(spaces), ' ');
        return "horizontal tab";
    }
    case FormFeed:
        return "form feed: ignored outside page mode";
    case Cancel:
        return "cancel: ignored outside page mode";
    case Control:
        return Format("control byte %02X: ignored", C.At(0));
    case Initialise: {
        const bool dropped = !Line_.Glyphs.empty();
        Reset();
        if (dropped)
            Warn(at, "ESC @ cleared a line that was not printed");
        return "initialise the printer";
    }
    case PrintMode:
        State_.FontB = n & 0x01;
        State_.Emphasised = n & 0x08;
        State_.HeightMul = n & 0x10 ? 2 : 1;
        State_.WidthMul = n & 0x20 ? 2 : 1;
        State_.Underline = n & 0x80 ? 1 : 0;
        return Format("print modes: font %c, emphasised %s, double height %s, double width %s, "
                      "underline %s",
                      State_.FontB ? 'B' : 'A', OnOff(State_.Emphasised),
                      OnOff(State_.HeightMul == 2), OnOff(State_.WidthMul == 2),
                      OnOff(State_.Underline));
    case Emphasis:
    case DoubleStrike:
        State_.Emphasised = n & 0x01;
        return Format("emphasised %s", OnOff(State_.Emphasised));
    case Underline: {
        const int v = Choice(n);
        if (v > 2) {
            Warn(at, Format("ESC - %u: no such underline mode; ignored", n));
            return "ignored";
        }
        State_.Underline = v;
        return v ? Format("underline %d dot%s", v, v == 1 ? "" : "s") : "underline off";
    }
    case Justify: {
        const int v = Choice(n);
        if (v > 2) {
            Warn(at, Format("ESC a %u: no such justification; ignored", n));
            return "ignored";
        }
        State_.Justification = v;
        return v == 0 ? "justify left" : v == 1 ? "justify centre" : "justify right";
    }
    case DefaultSpacing:
        State_.LineSpacing = DefaultLineSpacing;
        return "line spacing 30 dots";
    case LineSpacing:
        State_.LineSpacing = n;
        return Format("line spacing %u dots", n);
    case CodePage:
        if (!HasCodePage(n)) {
            Warn(at, Format("ESC t %u: no such code page here; ignored", n));
            return "ignored";
        }
        State_.CodePage = n;
        return Format("code page %u", n);
    case CharacterSet:
        if (!HasCharacterSet(n)) {
            Warn(at, Format("ESC R %u: no such character set; ignored", n));
            return "ignored";
        }
        State_.CharacterSet = n;
        return Format("international character set %u", n);
    case DrawerPulse: {
        const int m = Choice(n);
        if (m > 1) {
            Warn(at, Format("ESC p %u: no such connector pin; ignored", n));
            return "ignored";
        }
        const int pin = m == 0 ? 2 : 5;
        const int t1 = C.At(3), t2 = C.At(4);
        // The off time is never shorter than the on time.
        const int onMs = t1 * 2, offMs = std::max(t1, t2) * 2;
        return Pulse(at, pin, onMs, offMs);
    }
    case FeedLines:
        PrintLine(at, n ? State_.LineSpacing : 0);
        Feed(at, State_.LineSpacing * std::max(0, n - 1));
        return Format("print and feed %u lines", n);
    case FeedDots:
        PrintLine(at, n);
        return Format("print and feed %u dots", n);
    case Font: {
        const int v = Choice(n);
        if (v > 1) {
            Warn(at, Format("ESC M %u: no such font; ignored", n));
            return "ignored";
        }
        State_.FontB = v == 1;
        return v ? "font B" : "font A";
    }
    case RightSpacing:
        State_.RightSpacing = n;
        return Format("right spacing %u dots", n);
    case UpsideDown:
        return Format("upside-down %s: not drawn", OnOff(n & 1));
    case Rotate:
        return Format("90-degree rotation %s: not drawn", OnOff(Choice(n) & 1));
    case AbsolutePosition:
    case RelativePosition: {
        // A relative move is a signed count of dots from where the next character would go.
        const int given = C.At(2) + 256 * C.At(3);
        const int x = C.Id == AbsolutePosition
                          ? given
                          : Line_.X + (given >= 0x8000 ? given - 0x10000 : given);
        if (x < 0 || x > Room())
            return Format("position %d past the print area: ignored", x);
        if (Line_.Glyphs.empty()) {
            Line_.Offset = at;
            Line_.Justification = State_.Justification;
        }
        if (x > Line_.X)
            Line_.Text.append(static_cast<std::size_t>((x - Line_.X) / FontAWidth), ' ');
        Line_.X = x;
        return Format("print position %d dots", x);
    }
    case OldCut: {
        const bool partial = C.At(1) == 'm';
        CutPaper(at, partial, 0);
        return partial ? "partial cut" : "full cut";
    }
    case CharacterSize: {
        if (n & 0x88) {
            Warn(at, Format("GS ! %02X: size out of range; ignored", n));
            return "ignored";
        }
        State_.WidthMul = State_.DoubleByteWidthMul = (n >> 4) + 1;
        State_.HeightMul = State_.DoubleByteHeightMul = (n & 7) + 1;
        return Format("character size %d x %d", State_.WidthMul, State_.HeightMul);
    }
    case Reverse:
        State_.Reverse = n & 1;
        return Format("white on black %s", OnOff(State_.Reverse));
    case Cut: {
        const std::uint8_t m = C.At(2);
        const bool partial = m == 1 || m == '1' || m == 66 || m == 98 || m == 104;
        // Function B feeds n dots before it cuts; A cuts where the paper is.
        const int feed = C.Length == 4 ? C.At(3) : 0;
        CutPaper(at, partial, feed);
        if (feed)
            return Format("feed %d dots and %s cut", feed, partial ? "partial" : "full");
        return partial ? "partial cut" : "full cut";
    }
    case StatusRequest: {
        const int v = Choice(n);
        // Pin 3 of the drawer connector reads high here, as DLE EOT 1 tells too.
        if (v == 2) {
            Reply("\x01");
            return "drawer connector status: answered 01 (pin 3 high)";
        }
        if (v == 1 || v == 4) {
            Reply(std::string(1, '\0'));
            return v == 1 ? "paper sensor status: answered 00 (paper present)"
                          : "ink status: answered 00";
        }
        Warn(at, Format("GS r %u: no such status; no answer", n));
        return "ignored";
    }
    case PrinterId: {
        const int v = n >= '1' && n <= '3' ? n - '0' : n;
        switch (v) {
        case 1:
            Reply("\x20");
            return "printer model ID: answered 20";
        case 2: {
            const char type = static_cast<char>(Profile_.TypeId);
            Reply(std::string(1, type));
            return Format("type ID: answered %02X", Profile_.TypeId);
        }
        case 3:
            Reply("\x10");
            return "ROM version ID: answered 10";
        case 66:
            Reply(std::string("_EPSON\0", 7));
            return "maker name: answered \"EPSON\"";
        case 67:
            Reply(std::string("_TM-T88III\0", 11));
            return "model name: answered \"TM-T88III\"";
        default:
            Warn(at, Format("GS I %u: no such information; no answer", n));
            return "ignored";
        }
    }
    case LeftMargin: {
        const int dots = C.At(2) + 256 * C.At(3);
        State_.LeftMargin = std::min(dots, Profile_.Width);
        return Format("left margin %d dots", State_.LeftMargin);
    }
    case PrintWidth: {
        const int dots = C.At(2) + 256 * C.At(3);
        State_.PrintWidth = std::clamp(dots, 1, Profile_.Width - State_.LeftMargin);
        return Format("print area width %d dots", State_.PrintWidth);
    }
    case DoubleByteOn:
        State_.DoubleByte = true;
        return "double-byte characters on";
    case DoubleByteOff:
        State_.DoubleByte = false;
        return "double-byte characters off";
    case DoubleByteMode:
        State_.DoubleByteWidthMul = n & 0x04 ? 2 : 1;
        State_.DoubleByteHeightMul = n & 0x08 ? 2 : 1;
        State_.DoubleByteUnderline = n & 0x80 ? 1 : 0;
        return Format("double-byte modes: double width %s, double height %s, underline %s",
                      OnOff(n & 0x04), OnOff(n & 0x08), OnOff(n & 0x80));
    case RealTimeStatus: {
        // Online, no error, paper present; pin 3 of the drawer connector reads high.
        static constexpr char answers[] = {0, 0x16, 0x12, 0x12, 0x12};
        if (n >= 1 && n <= 4) {
            Reply(std::string(1, answers[n]));
            return Format("real-time status %u: answered %02X", n, answers[n]);
        }
        Warn(at, Format("DLE EOT %u: no such status here; no answer", n));
        return "ignored";
    }
    case RealTimeRequest:
        return Format("real-time request %u", n);
    case RealTimePulse: {
        const std::uint8_t fn = C.At(2);
        if (fn == 1) {
            const int m = C.At(3), t = C.At(4);
            if (m > 1 || t < 1 || t > 8) {
                Warn(at, "DLE DC4 1: pin or time out of range; ignored");
                return "ignored";
            }
            const int pin = m == 0 ? 2 : 5;
            return Pulse(at, pin, t * 100, t * 100);
        }
        if (fn == 8) {
            Line_ = Pending{};
            return "clear the buffers";
        }
        return fn == 2 ? "power-off sequence" : "real-time request";
    }
    case Skipped:
        return "understood, not drawn";
    case Unknown:
        Warn(at, "unknown command " + CommandName(C) + " [" + HexBytes(C) + "] skipped");
        return "unknown: skipped";
    case Incomplete:
        Warn(at, "the stream ended inside " + CommandName(C) + " [" + HexBytes(C) + "]");
        return "incomplete";
    }
    return "";
}

void Printer::Finish() {
    if (Finished_)
        return;
    Finished_ = true;
    if (State_.PendingLead >= 0)
        DropLead(Pages_.empty() ? 0 : Line_.Offset, "the stream ended");
    if (!Line_.Glyphs.empty())
        Warn(Line_.Offset,
             "the stream ended with \"" + Line_.Text + "\" in the line buffer: not printed");
    // Paper fed after the last cut is no receipt.
    if (!Pages_.empty() && Pages_.back().Blank() && !Pages_.back().Cut)
        Pages_.pop_back();
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
        case Item::Cut:
            text += item.Partial ? "[partial cut]\n" : "[full cut]\n";
            break;
        }
    }
    return text;
}

} // namespace escpos

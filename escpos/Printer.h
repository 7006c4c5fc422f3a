// The printer's side of the stream: its state, what each command does to it, and the paper that
// comes out, as pages of laid-out lines, feeds, cuts and drawer pulses. Drawing the pages is the
// renderer's job.
#pragma once

#include "escpos/Decoder.h"
#include "escpos/Profile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace escpos {

// One character on a line, with the size and style it prints in.
struct Glyph {
    char32_t Character = 0; // 0 when the bytes name no character
    bool DoubleByte = false;
    std::uint16_t KsCode = 0; // double-byte: its KS X 1001 code, 0 when outside it
    bool FontB = false;
    bool Emphasised = false;
    bool Reverse = false;
    int Underline = 0; // dots thick: 0, 1 or 2
    int WidthMul = 1, HeightMul = 1;
    int X = 0;                 // left edge, dots from the line's start
    int Width = 0, Height = 0; // the cell, multipliers applied
    int Advance = 0;           // Width plus the right spacing
};

struct Item {
    enum Kind { Line, Feed, Note, Cut } What = Line;
    std::size_t Offset = 0; // of the byte or command that made it
    // Line: its glyphs, left indent (margin plus justification), and the text in UTF-8.
    std::vector<Glyph> Glyphs;
    int Indent = 0;
    int Box = 0;          // Line: the tallest cell; glyphs stand on its bottom
    std::string Text;     // Line: the text; Note: the note
    int Advance = 0;      // dots the paper moves after it (Line, Feed, Cut)
    bool Partial = false; // Cut
    bool Wrapped = false; // Line: continues the line before, which ran out of paper width
};

// The paper between two cuts; the last page may have no cut.
struct Page {
    std::vector<Item> Items;
    bool Cut = false;
    bool Empty() const { return Items.empty(); }
    // Nothing on it but paper feed.
    bool Blank() const;
};

struct Warning {
    std::size_t Offset = 0;
    std::string Message;
};

struct TraceEntry {
    std::size_t Offset = 0;
    std::size_t Length = 0;
    std::string Name;   // "ESC !", "text"
    std::string Hex;    // the bytes, "1B 21 08"
    std::string Detail; // what it did; for text, the characters
};

struct PrinterState {
    bool DoubleByte = false;
    int PendingLead = -1; // double-byte mode: a lead byte waiting for its trail byte
    bool FontB = false;
    bool Emphasised = false;
    bool Reverse = false;
    int Underline = 0;
    int DoubleByteUnderline = 0;
    int WidthMul = 1, HeightMul = 1;                     // single-byte characters
    int DoubleByteWidthMul = 1, DoubleByteHeightMul = 1; // double-byte characters
    int Justification = 0;                               // 0 left, 1 centre, 2 right
    int LineSpacing = 30;                                // dots; 1/6 inch
    unsigned CodePage = 0;
    unsigned CharacterSet = 0;
    int RightSpacing = 0;
    int LeftMargin = 0;
    int PrintWidth = 0;
};

// What the paper and cover sensors read. At paper end or with the cover open the printer is
// offline: it answers real-time requests only and prints nothing.
struct Sensors {
    enum class Paper { Ok, NearEnd, End } Roll = Paper::Ok;
    bool CoverOpen = false;
    bool Offline() const { return CoverOpen || Roll == Paper::End; }
};

class Printer {
public:
    explicit Printer(Profile P);

    void SetSensors(Sensors S) { FSensors = S; }
    const Sensors& SensorState() const { return FSensors; }

    // Applies one decoded command.
    void Apply(const Command& C);

    // The stream ended: what is still in the line buffer is reported, as a printer would not
    // print it, and the current page is closed.
    void Finish();

    const Profile& Model() const { return FProfile; }
    const PrinterState& State() const { return FState; }

    // Pages so far; the last one is still being printed unless Finish was called.
    const std::vector<Page>& Pages() const { return FPages; }
    // Removes the pages that ended with a cut and gives them back.
    std::vector<Page> TakeCutPages();

    const std::vector<Warning>& Warnings() const { return FWarnings; }
    const std::vector<TraceEntry>& Trace() const { return FTrace; }
    void KeepTrace(bool Keep) { FKeepTrace = Keep; }

    // Bytes the printer sends back (status answers).
    std::function<void(std::string_view Bytes)> OnReply;
    // One human-readable line per command, and per printed line.
    std::function<void(std::size_t Offset, const std::string& Line)> OnLog;
    // A page ended with a cut.
    std::function<void(const Page& P)> OnCut;

private:
    struct Pending {
        std::vector<Glyph> Glyphs;
        std::string Text;
        int X = 0;
        int Justification = 0;
        std::size_t Offset = 0;
        bool Wrapped = false;
    };

    void Reset();
    void Put(std::size_t Offset, char32_t Character, bool DoubleByte, std::uint16_t Code);
    void PrintLine(std::size_t Offset, int MinimumAdvance);
    void Feed(std::size_t Offset, int Dots);
    void CutPaper(std::size_t Offset, bool Partial, int FeedDots);
    std::string Pulse(std::size_t Offset, int Pin, int OnMs, int OffMs); // gives the note
    void Reply(std::string_view Bytes);
    bool HeldOffline(const Command& C); // true when the command waits for the printer
    std::uint8_t RealTimeStatusByte(int N) const;
    void DropLead(std::size_t Offset, const char* Why);
    void Warn(std::size_t Offset, std::string Message);
    void Record(const Command& C, const std::string& Detail);
    void RecordText(const Command& C, char32_t Character); // 0: a lead byte
    void Log(std::size_t Offset, const std::string& Line);
    Page& Current();
    int Room() const; // dots a line may take

    // What each command does; each gives what it did, for the trace and the log. The command
    // table (CommandTable.cpp) says which command each one carries out.
    friend struct CommandTable;
    // How characters print (TextCommands.cpp).
    std::string SetPrintModes(const Command& C);
    std::string SetEmphasis(const Command& C);
    std::string SetUnderline(const Command& C);
    std::string SelectFont(const Command& C);
    std::string SetRightSpacing(const Command& C);
    std::string SetUpsideDown(const Command& C);
    std::string SetRotation(const Command& C);
    std::string SetCharacterSize(const Command& C);
    std::string SetReverse(const Command& C);
    std::string SelectCodePage(const Command& C);
    std::string SelectCharacterSet(const Command& C);
    std::string StartDoubleByte(const Command& C);
    std::string StopDoubleByte(const Command& C);
    std::string SetDoubleByteModes(const Command& C);
    // Where characters go on the line (LayoutCommands.cpp).
    std::string HorizontalTab(const Command& C);
    std::string MovePosition(const Command& C);
    std::string SetJustification(const Command& C);
    std::string SetLeftMargin(const Command& C);
    std::string SetPrintWidth(const Command& C);
    // Paper feed and cuts (PaperCommands.cpp).
    std::string PrintAndFeedLine(const Command& C);
    std::string CarriageReturn(const Command& C);
    std::string SetDefaultSpacing(const Command& C);
    std::string SetLineSpacing(const Command& C);
    std::string PrintAndFeedLines(const Command& C);
    std::string PrintAndFeedDots(const Command& C);
    std::string CutHere(const Command& C);
    std::string FeedAndCut(const Command& C);
    std::string IgnoreFormFeed(const Command& C);
    std::string IgnoreCancel(const Command& C);
    // The drawer (DrawerCommands.cpp).
    std::string KickDrawer(const Command& C);
    std::string RealTimeFunction(const Command& C);
    // Answers to the host (StatusCommands.cpp).
    std::string AnswerStatus(const Command& C);
    std::string AnswerPrinterId(const Command& C);
    std::string AnswerRealTimeStatus(const Command& C);
    std::string TakeRealTimeRequest(const Command& C);
    // The printer as a whole, and what it makes of bytes it does not act on (Printer.cpp).
    std::string Initialise(const Command& C);
    std::string StepOver(const Command& C);
    std::string IgnoreControl(const Command& C);
    std::string SkipUnknown(const Command& C);
    std::string ReportIncomplete(const Command& C);

    Profile FProfile;
    Sensors FSensors;
    bool FHoldLogged = false; // one log line per run of commands held while offline
    PrinterState FState;
    Pending FLine;
    std::vector<Page> FPages;
    std::vector<Warning> FWarnings;
    std::vector<TraceEntry> FTrace;
    bool FKeepTrace = true;
    bool FFinished = false;
};

// Decodes Bytes on a fresh printer of Profile P to the end.
Printer PrintAll(std::string_view Bytes, const Profile& P);

// The page's text: each line as it was sent (a line the paper's width broke in two is joined
// again), cuts and drawer pulses as "[partial cut]", "[full cut]" and
// "[DRAWER pin 2: 510 ms on / 510 ms off]", one per line.
std::string PageText(const Page& P);

// Code point to UTF-8.
void AppendUtf8(std::string& Out, char32_t Character);

} // namespace escpos

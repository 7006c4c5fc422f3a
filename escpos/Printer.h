// The printer's side of the stream: its state, what each command does to it, and the paper that
// comes out, as pages of laid-out lines, feeds, cuts and drawer pulses. Drawing the pages is the
// renderer's job.
#pragma once

#include "escpos/Profile.h"
#include "escpos/decoder/Decoder.h"
#include "escpos/drawing/Bitmap.h"
#include "receipt/StatusBits.h"

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
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
    // Turned 90 degrees clockwise (ESC V): Width and Height are the cell's on the paper.
    bool Rotated = false;
    int X = 0;                 // left edge, dots from the line's start
    int Width = 0, Height = 0; // the cell, multipliers applied
    int Advance = 0;           // Width plus the right spacing
    // A bit image column block (ESC *) in place of a character, already scaled to its cell.
    std::shared_ptr<const Bitmap> Picture;
    // A user-defined character (ESC &) in place of the font's, one cell unscaled.
    std::shared_ptr<const Bitmap> Pattern;
};

struct PageBuffer;

struct Item {
    enum Kind { Line, Feed, Note, Cut, Image, PageData } What = Line;
    std::size_t Offset = 0; // of the byte or command that made it
    // Line: its glyphs, left indent (margin plus justification), and the text in UTF-8.
    std::vector<Glyph> Glyphs;
    int Indent = 0;   // Line, Image: dots from the paper's left edge
    int Box = 0;      // Line: the tallest cell; glyphs stand on its bottom
    std::string Text; // Line: the text; Note: the note; Image: what it shows, "[QR code ...]"
    int Advance = 0;  // dots the paper moves after it (Line, Feed, Cut, Image)
    std::shared_ptr<const Bitmap> Picture; // Image: raster graphics, a bar code, a 2D code
    bool Partial = false;                  // Cut
    bool Wrapped = false; // Line: continues the line before, which ran out of paper width
    // Line: printed turned by 180 degrees within the print area, AreaLeft to AreaLeft + AreaWidth.
    bool UpsideDown = false;
    int AreaLeft = 0, AreaWidth = 0;
    // PageData: what page mode laid out, printed at once (FF, ESC FF); Text holds its lines. The
    // buffer is shared with the printer, which only adds to it: the first BufferParts are these.
    std::shared_ptr<const PageBuffer> Buffer;
    std::size_t BufferParts = 0;
};

// Page mode's print area (ESC W), in dots from the printable area's top left.
struct PageArea {
    int X = 0, Y = 0, Width = 0, Height = 0;
};

// The page buffer: lines and pictures, each where page mode put it.
struct PageBuffer {
    struct Part {
        Item What; // a Line (glyph X from 0) or an Image
        // Its top left, in dots along the print direction and across it from the direction's
        // starting corner of Area.
        int X = 0, Y = 0;
        int Direction = 0; // ESC T: 0 left to right, 1 bottom to top, 2 right to left, 3 top down
        PageArea Area;
        bool Erase = false; // CAN: what lies in Area so far is wiped
        // The erasing part that wiped this one's whole area, if any: gone from prints after it.
        std::size_t WipedBy = SIZE_MAX;
    };
    std::vector<Part> Parts;
    int Height = 0; // the paper it takes: down to the lowest print area used
    bool Full = false;
    // Part I is wiped in a print of the first Count parts.
    bool Wiped(std::size_t I, std::size_t Count) const { return Parts[I].WipedBy < Count; }
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
    bool UpsideDown = false;                             // ESC {
    bool Rotated = false;                                // ESC V
    // Page mode (ESC L): the area and direction in force, its own line and right spacing (kept
    // here while standard mode has the others), the baseline's distance from the area's start
    // edge, and what is laid out so far.
    bool PageMode = false;
    PageArea Area;
    int Direction = 0;
    int OtherLineSpacing = 60, OtherRightSpacing = 0;
    int Baseline = 0;
    std::shared_ptr<PageBuffer> Buffer;
    int LineSpacing = 60; // in the vertical motion unit, 1/360 inch: 1/6 inch
    int HalfDot = 0;      // what feeds of an odd count of units left over
    unsigned CodePage = 0;
    unsigned CharacterSet = 0;
    int RightSpacing = 0;
    std::vector<int> Tabs; // dots from the line's start, ascending (ESC D)
    // User-defined characters (ESC &), codes 32 to 126, for font A and font B; ESC % selects them.
    bool UserCharactersOn = false;
    std::array<std::shared_ptr<const Bitmap>, 95> UserCharacters[2];
    int LeftMargin = 0;
    int PrintWidth = 0;
    // Bar codes (GS h, GS w, GS H, GS f).
    int BarcodeHeight = 162;
    int BarcodeModule = 3;
    int HriPosition = 0; // 0 none, 1 above, 2 below, 3 both
    bool HriFontB = false;
    // 2D codes (GS ( k): the symbol storage and the settings of each.
    int QrModel = 2; // 1, 2, or 3 for Micro QR
    int QrModule = 3;
    int QrLevel = 0; // L, M, Q, H
    std::optional<std::string> QrData;
    int PdfColumns = 0, PdfRows = 0; // 0: automatic
    int PdfModule = 3, PdfRowHeight = 3;
    int PdfLevel = -1; // 0 to 8; -1: by ratio
    int PdfRatio = 1;  // error correction as tenths of the data, when PdfLevel is -1
    bool PdfTruncated = false;
    std::optional<std::string> PdfData;
    // Pictures waiting to be printed: graphics in the print buffer (GS ( L fn 112), and the
    // downloaded bit image (GS *).
    std::optional<Bitmap> BufferedGraphics;
    std::optional<Bitmap> Downloaded;
};

// What the printer keeps in its non-volatile memory: graphics by key code (GS ( L), and the
// numbered bit images of FS q. ESC @ leaves it alone.
struct NvMemory {
    std::map<std::pair<std::uint8_t, std::uint8_t>, Bitmap> Graphics;
    std::vector<Bitmap> BitImages; // FS p 1 is the first
    bool Empty() const { return Graphics.empty() && BitImages.empty(); }
    // The bytes the printer's NV area holds for them, as their data was sent.
    std::size_t Bytes() const;
};

// What the paper and cover sensors read, and the drawer's switch and the feed button. At paper
// end, with the cover open or while the button feeds paper the printer is offline: it answers
// real-time requests only and prints nothing.
struct Sensors {
    enum class Paper { Ok, NearEnd, End } Roll = Paper::Ok;
    bool CoverOpen = false;
    bool DrawerOpen = false; // the drawer's switch pulls connector pin 3 low while it is open
    bool FeedHeld = false;   // the paper feed button
    // The button feeds paper only with the cover shut and paper in.
    bool Feeding() const { return FeedHeld && !CoverOpen && Roll != Paper::End; }
    bool Offline() const { return CoverOpen || Roll == Paper::End || Feeding(); }
    bool operator==(const Sensors&) const = default;
};

// Why the printer is offline, in the console's words ("cover open", "paper end" ...), joined by
// commas; empty while it is online.
std::string OfflineCauses(const Sensors& S);
// Whether the sensors make Fact so, for the status answers; no error is ever set.
bool SensorsSay(const Sensors& S, receipt::StatusFact Fact);

class Printer {
public:
    explicit Printer(Profile P);

    // New sensor readings take effect at once; with automatic status back on for an item that
    // changed, the printer sends its status (OnReply), and a GS a held while offline is applied.
    void SetSensors(Sensors S);
    const Sensors& SensorState() const { return FSensors; }
    // The four bytes automatic status back sends (GS a), as the sensors read now.
    std::string AutoStatus() const;
    std::uint8_t AutoStatusItems() const { return FAsbItems; }

    // Applies one decoded command.
    void Apply(const Command& C);

    // The stream ended: what is still in the line buffer is reported, as a printer would not
    // print it, and the current page is closed.
    void Finish();

    const Profile& Model() const { return FProfile; }
    const PrinterState& State() const { return FState; }

    // The non-volatile memory, and how often it has changed, so a caller can keep it on disk.
    const NvMemory& Nv() const { return FNv; }
    unsigned NvChanges() const { return FNvChanges; }

    // Pages so far; the last one is still being printed unless Finish was called.
    const std::vector<Page>& Pages() const { return FPages; }
    // Removes the pages that ended with a cut and gives them back.
    std::vector<Page> TakeCutPages();

    const std::vector<Warning>& Warnings() const { return FWarnings; }
    const std::vector<TraceEntry>& Trace() const { return FTrace; }
    // Remove the trace entries, or the warnings, of commands that started at or before Offset and
    // give them back; what is left holds no more memory than it needs.
    std::vector<TraceEntry> TakeTrace(std::size_t Offset);
    std::vector<Warning> TakeWarnings(std::size_t Offset);
    // The most the paper not yet cut may hold: trace entries, warnings and items together, and
    // dots of paper. Past either it is cut off there with a note, and what follows goes on the
    // next page, so a stream that never cuts cannot grow without bound. None unless set.
    void LimitPage(std::size_t Held, int Length);
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
    void ApplyOne(const Command& C);
    void CheckLimit(std::size_t Offset);
    // Byte: the single byte that named Character, 0 for a double-byte one.
    void Put(std::size_t Offset, char32_t Character, bool DoubleByte, std::uint16_t Code,
             std::uint8_t Byte = 0);
    void AddToLine(std::size_t Offset, Glyph G);            // wraps the line when G does not fit
    void PrintLine(std::size_t Offset, int MinimumAdvance); // in motion units
    Item TakeLine(); // the line so far as an item, its glyphs taken
    // Feeds and line spacing come in motion units (PrinterDetail.h); Dots gives them in dots,
    // keeping the half dot an odd count leaves for the next feed.
    int Dots(int Units);
    int UnitsOf(int Dots) const; // Dots in the unit the feed counts now, Dots() undone
    void Feed(std::size_t Offset, int Units);
    void CutPaper(std::size_t Offset, bool Partial, int FeedUnits);
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
    // Prints a picture on its own at the justification in force, within the print area; gives
    // what it did. An image wider than the area loses its right side; a code (Whole) that does
    // not fit is not printed.
    std::string PrintPicture(const Command& C, Bitmap Picture, const std::string& Label,
                             bool Whole = false);
    // Prints Text in Font A or B, starting at Left, as a bar code's human-readable line.
    void PrintHri(std::size_t Offset, const std::string& Text, int Left, int Width);
    // A picture given while text waits in the line buffer is refused, as the printer does.
    bool LineBusy(const Command& C, std::string& Detail);
    // The printer takes ESC { and ESC V only at the beginning of a line.
    bool AtLineStart() const { return FLine.Glyphs.empty() && FLine.X == 0; }
    std::string Refuse(const Command& C, const std::string& Why);
    std::string Graphics(const Command& C, std::string_view Body);
    std::string TwoDimensionalCode(const Command& C, std::string_view Body);
    std::string PrintQrCode(const Command& C);
    std::string PrintPdf417(const Command& C);
    void NvChanged() { ++FNvChanges; }
    // Whether Bytes more fit in the NV area once Freed bytes are given back; warns when not.
    bool NvRoom(const Command& C, std::size_t Bytes, std::size_t Freed);

    // What each command does; each gives what it did, for the trace and the log. The command
    // table (CommandTable.cpp) says which command each one carries out, through its handler of
    // the same name (Handlers.h).
    friend struct CommandHandlers;
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
    std::string SelectUserCharacters(const Command& C);
    std::string DefineUserCharacters(const Command& C);
    std::string CancelUserCharacter(const Command& C);
    void ClearUserCharacters();
    // Where characters go on the line (LayoutCommands.cpp).
    std::string HorizontalTab(const Command& C);
    std::string SetTabStops(const Command& C);
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
    // Page mode (PageMode.cpp).
    std::string PrintFormFeed(const Command& C);
    std::string CancelPageData(const Command& C);
    std::string SelectPageMode(const Command& C);
    std::string SelectStandardMode(const Command& C);
    std::string SetPageArea(const Command& C);
    std::string SetPageDirection(const Command& C);
    std::string MoveVertical(const Command& C);
    std::string PrintPageData(const Command& C);
    void SwapModeSpacing();
    bool PageDataWaiting() const; // page mode holds data not yet printed or wiped
    void ResetPagePosition();
    void PlacePending(); // lays out the line so far at the baseline; the position stays
    bool PageRoom(std::size_t Offset); // false, and a warning once, when the buffer is full
    void PlaceInPage(Item Part, int X, int Y);
    std::string PagePicture(const Command& C, Bitmap Picture, const std::string& Label, bool Whole);
    void PlaceHri(Item Line, int Width);
    void EmitPage(std::size_t Offset);
    // The drawer (DrawerCommands.cpp).
    std::string KickDrawer(const Command& C);
    std::string RealTimeFunction(const Command& C);
    // Answers to the host (StatusCommands.cpp).
    std::string AnswerStatus(const Command& C);
    std::string AnswerPrinterId(const Command& C);
    std::string AnswerRealTimeStatus(const Command& C);
    std::string TakeRealTimeRequest(const Command& C);
    std::string SetAutoStatusBack(const Command& C); // AutoStatusBack.cpp
    // Bit images and graphics (ImageCommands.cpp, GraphicsCommands.cpp).
    std::string PrintBitImage(const Command& C);
    std::string PrintRasterImage(const Command& C);
    std::string DefineNvBitImages(const Command& C);
    std::string PrintNvBitImage(const Command& C);
    std::string DefineDownloadedImage(const Command& C);
    std::string PrintDownloadedImage(const Command& C);
    std::string RunFunction(const Command& C);
    std::string RunLargeGraphics(const Command& C);
    // Bar codes and 2D codes (BarcodeCommands.cpp, CodeCommands.cpp).
    std::string SetBarcodeStyle(const Command& C);
    std::string PrintBarcode(const Command& C);
    // The printer as a whole, and what it makes of bytes it does not act on (Printer.cpp).
    std::string Initialise(const Command& C);
    std::string StepOver(const Command& C);
    std::string SkipUnknown(const Command& C);
    std::string ReportIncomplete(const Command& C);

    Profile FProfile;
    Sensors FSensors;
    bool FHoldLogged = false;   // one log line per run of commands held while offline
    std::uint8_t FAsbItems = 0; // GS a n: the items whose change sends the status
    int FHeldAsb = -1;          // a GS a n that came while offline, applied on recovery
    PrinterState FState;
    NvMemory FNv;
    unsigned FNvChanges = 0;
    Pending FLine;
    std::vector<Page> FPages;
    std::vector<Warning> FWarnings;
    std::vector<TraceEntry> FTrace;
    bool FKeepTrace = true;
    std::size_t FMaxHeld = SIZE_MAX;
    int FMaxLength = INT_MAX;
    std::size_t FHeld = 0;     // trace entries and warnings made since the last cut
    std::size_t FMeasured = 0; // items of the current page whose feed is in FLength
    int FLength = 0;
    bool FFinished = false;
};

// Decodes Bytes on a fresh printer of Profile P to the end.
Printer PrintAll(std::string_view Bytes, const Profile& P);

// The page's text: each line as it was sent (a line the paper's width broke in two is joined
// again), cuts and drawer pulses as "[partial cut]", "[full cut]" and
// "[DRAWER pin 2: 510 ms on / 510 ms off]", one per line.
std::string PageText(const Page& P);

// The commands that define M anew on a fresh printer (GS 8 L for each key, one FS q), so a
// virtual printer can keep its NV memory across restarts.
std::string NvMemoryCommands(const NvMemory& M);

// Code point to UTF-8.
void AppendUtf8(std::string& Out, char32_t Character);

} // namespace escpos

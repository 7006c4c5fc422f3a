// The command table's handler column: what the printer does with each command, one function per
// handler, each carrying out the Printer member of its name and giving what it did, for the trace
// and the log. The table names these, so it needs no more of the printer than this; the printer
// lets them reach its private members.
#pragma once

#include "escpos/decoder/Command.h"

#include <string>

namespace escpos {

class Printer;

// Carries a command out on the printer; gives what it did.
using Handler = std::string (*)(Printer& P, const Command& C);

struct CommandHandlers {
    // How characters print (TextCommands.cpp).
    static std::string SetPrintModes(Printer& P, const Command& C);
    static std::string SetEmphasis(Printer& P, const Command& C);
    static std::string SetUnderline(Printer& P, const Command& C);
    static std::string SelectFont(Printer& P, const Command& C);
    static std::string SetRightSpacing(Printer& P, const Command& C);
    static std::string SetUpsideDown(Printer& P, const Command& C);
    static std::string SetRotation(Printer& P, const Command& C);
    static std::string SetCharacterSize(Printer& P, const Command& C);
    static std::string SetReverse(Printer& P, const Command& C);
    static std::string SelectCodePage(Printer& P, const Command& C);
    static std::string SelectCharacterSet(Printer& P, const Command& C);
    static std::string StartDoubleByte(Printer& P, const Command& C);
    static std::string StopDoubleByte(Printer& P, const Command& C);
    static std::string SetDoubleByteModes(Printer& P, const Command& C);
    static std::string SelectUserCharacters(Printer& P, const Command& C);
    static std::string DefineUserCharacters(Printer& P, const Command& C);
    static std::string CancelUserCharacter(Printer& P, const Command& C);
    // Where characters go on the line (LayoutCommands.cpp).
    static std::string HorizontalTab(Printer& P, const Command& C);
    static std::string MovePosition(Printer& P, const Command& C);
    static std::string SetJustification(Printer& P, const Command& C);
    static std::string SetLeftMargin(Printer& P, const Command& C);
    static std::string SetPrintWidth(Printer& P, const Command& C);
    static std::string SetTabStops(Printer& P, const Command& C);
    // Paper feed and cuts (PaperCommands.cpp).
    static std::string PrintAndFeedLine(Printer& P, const Command& C);
    static std::string CarriageReturn(Printer& P, const Command& C);
    static std::string SetDefaultSpacing(Printer& P, const Command& C);
    static std::string SetLineSpacing(Printer& P, const Command& C);
    static std::string PrintAndFeedLines(Printer& P, const Command& C);
    static std::string PrintAndFeedDots(Printer& P, const Command& C);
    static std::string CutHere(Printer& P, const Command& C);
    static std::string FeedAndCut(Printer& P, const Command& C);
    // Page mode (PageMode.cpp).
    static std::string SelectPageMode(Printer& P, const Command& C);
    static std::string SelectStandardMode(Printer& P, const Command& C);
    static std::string SetPageArea(Printer& P, const Command& C);
    static std::string SetPageDirection(Printer& P, const Command& C);
    static std::string MoveVertical(Printer& P, const Command& C);
    static std::string PrintPageData(Printer& P, const Command& C);
    static std::string PrintFormFeed(Printer& P, const Command& C);
    static std::string CancelPageData(Printer& P, const Command& C);
    // The drawer (DrawerCommands.cpp).
    static std::string KickDrawer(Printer& P, const Command& C);
    static std::string RealTimeFunction(Printer& P, const Command& C);
    // Answers to the host (StatusCommands.cpp).
    static std::string AnswerStatus(Printer& P, const Command& C);
    static std::string AnswerPrinterId(Printer& P, const Command& C);
    static std::string AnswerRealTimeStatus(Printer& P, const Command& C);
    static std::string TakeRealTimeRequest(Printer& P, const Command& C);
    static std::string SetAutoStatusBack(Printer& P, const Command& C); // AutoStatusBack.cpp
    // Bit images and graphics (ImageCommands.cpp, GraphicsCommands.cpp).
    static std::string PrintBitImage(Printer& P, const Command& C);
    static std::string PrintRasterImage(Printer& P, const Command& C);
    static std::string DefineNvBitImages(Printer& P, const Command& C);
    static std::string PrintNvBitImage(Printer& P, const Command& C);
    static std::string DefineDownloadedImage(Printer& P, const Command& C);
    static std::string PrintDownloadedImage(Printer& P, const Command& C);
    static std::string RunFunction(Printer& P, const Command& C);
    static std::string RunLargeGraphics(Printer& P, const Command& C);
    // Bar codes and 2D codes (BarcodeCommands.cpp, CodeCommands.cpp).
    static std::string SetBarcodeStyle(Printer& P, const Command& C);
    static std::string PrintBarcode(Printer& P, const Command& C);
    // The printer as a whole, and what it makes of bytes it does not act on (Printer.cpp).
    static std::string Initialise(Printer& P, const Command& C);
    static std::string StepOver(Printer& P, const Command& C);
    static std::string SkipUnknown(Printer& P, const Command& C);
    static std::string ReportIncomplete(Printer& P, const Command& C);
};

} // namespace escpos

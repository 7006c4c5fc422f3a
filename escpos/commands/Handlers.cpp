#include "escpos/commands/Handlers.h"

#include "escpos/Printer.h"

namespace escpos {

std::string CommandHandlers::SetPrintModes(Printer& P, const Command& C) {
    return P.SetPrintModes(C);
}

std::string CommandHandlers::SetEmphasis(Printer& P, const Command& C) {
    return P.SetEmphasis(C);
}

std::string CommandHandlers::SetUnderline(Printer& P, const Command& C) {
    return P.SetUnderline(C);
}

std::string CommandHandlers::SelectFont(Printer& P, const Command& C) {
    return P.SelectFont(C);
}

std::string CommandHandlers::SetRightSpacing(Printer& P, const Command& C) {
    return P.SetRightSpacing(C);
}

std::string CommandHandlers::SetUpsideDown(Printer& P, const Command& C) {
    return P.SetUpsideDown(C);
}

std::string CommandHandlers::SetRotation(Printer& P, const Command& C) {
    return P.SetRotation(C);
}

std::string CommandHandlers::SetCharacterSize(Printer& P, const Command& C) {
    return P.SetCharacterSize(C);
}

std::string CommandHandlers::SetReverse(Printer& P, const Command& C) {
    return P.SetReverse(C);
}

std::string CommandHandlers::SelectCodePage(Printer& P, const Command& C) {
    return P.SelectCodePage(C);
}

std::string CommandHandlers::SelectCharacterSet(Printer& P, const Command& C) {
    return P.SelectCharacterSet(C);
}

std::string CommandHandlers::StartDoubleByte(Printer& P, const Command& C) {
    return P.StartDoubleByte(C);
}

std::string CommandHandlers::StopDoubleByte(Printer& P, const Command& C) {
    return P.StopDoubleByte(C);
}

std::string CommandHandlers::SetDoubleByteModes(Printer& P, const Command& C) {
    return P.SetDoubleByteModes(C);
}

std::string CommandHandlers::HorizontalTab(Printer& P, const Command& C) {
    return P.HorizontalTab(C);
}

std::string CommandHandlers::MovePosition(Printer& P, const Command& C) {
    return P.MovePosition(C);
}

std::string CommandHandlers::SetJustification(Printer& P, const Command& C) {
    return P.SetJustification(C);
}

std::string CommandHandlers::SetLeftMargin(Printer& P, const Command& C) {
    return P.SetLeftMargin(C);
}

std::string CommandHandlers::SetPrintWidth(Printer& P, const Command& C) {
    return P.SetPrintWidth(C);
}

std::string CommandHandlers::PrintAndFeedLine(Printer& P, const Command& C) {
    return P.PrintAndFeedLine(C);
}

std::string CommandHandlers::CarriageReturn(Printer& P, const Command& C) {
    return P.CarriageReturn(C);
}

std::string CommandHandlers::SetDefaultSpacing(Printer& P, const Command& C) {
    return P.SetDefaultSpacing(C);
}

std::string CommandHandlers::SetLineSpacing(Printer& P, const Command& C) {
    return P.SetLineSpacing(C);
}

std::string CommandHandlers::PrintAndFeedLines(Printer& P, const Command& C) {
    return P.PrintAndFeedLines(C);
}

std::string CommandHandlers::PrintAndFeedDots(Printer& P, const Command& C) {
    return P.PrintAndFeedDots(C);
}

std::string CommandHandlers::CutHere(Printer& P, const Command& C) {
    return P.CutHere(C);
}

std::string CommandHandlers::FeedAndCut(Printer& P, const Command& C) {
    return P.FeedAndCut(C);
}

std::string CommandHandlers::KickDrawer(Printer& P, const Command& C) {
    return P.KickDrawer(C);
}

std::string CommandHandlers::RealTimeFunction(Printer& P, const Command& C) {
    return P.RealTimeFunction(C);
}

std::string CommandHandlers::AnswerStatus(Printer& P, const Command& C) {
    return P.AnswerStatus(C);
}

std::string CommandHandlers::AnswerPrinterId(Printer& P, const Command& C) {
    return P.AnswerPrinterId(C);
}

std::string CommandHandlers::AnswerRealTimeStatus(Printer& P, const Command& C) {
    return P.AnswerRealTimeStatus(C);
}

std::string CommandHandlers::TakeRealTimeRequest(Printer& P, const Command& C) {
    return P.TakeRealTimeRequest(C);
}

std::string CommandHandlers::SetAutoStatusBack(Printer& P, const Command& C) {
    return P.SetAutoStatusBack(C);
}

std::string CommandHandlers::PrintBitImage(Printer& P, const Command& C) {
    return P.PrintBitImage(C);
}

std::string CommandHandlers::PrintRasterImage(Printer& P, const Command& C) {
    return P.PrintRasterImage(C);
}

std::string CommandHandlers::DefineNvBitImages(Printer& P, const Command& C) {
    return P.DefineNvBitImages(C);
}

std::string CommandHandlers::PrintNvBitImage(Printer& P, const Command& C) {
    return P.PrintNvBitImage(C);
}

std::string CommandHandlers::DefineDownloadedImage(Printer& P, const Command& C) {
    return P.DefineDownloadedImage(C);
}

std::string CommandHandlers::PrintDownloadedImage(Printer& P, const Command& C) {
    return P.PrintDownloadedImage(C);
}

std::string CommandHandlers::RunFunction(Printer& P, const Command& C) {
    return P.RunFunction(C);
}

std::string CommandHandlers::RunLargeGraphics(Printer& P, const Command& C) {
    return P.RunLargeGraphics(C);
}

std::string CommandHandlers::SetBarcodeStyle(Printer& P, const Command& C) {
    return P.SetBarcodeStyle(C);
}

std::string CommandHandlers::PrintBarcode(Printer& P, const Command& C) {
    return P.PrintBarcode(C);
}

std::string CommandHandlers::Initialise(Printer& P, const Command& C) {
    return P.Initialise(C);
}

std::string CommandHandlers::StepOver(Printer& P, const Command& C) {
    return P.StepOver(C);
}

std::string CommandHandlers::SkipUnknown(Printer& P, const Command& C) {
    return P.SkipUnknown(C);
}

std::string CommandHandlers::ReportIncomplete(Printer& P, const Command& C) {
    return P.ReportIncomplete(C);
}

std::string CommandHandlers::SetTabStops(Printer& P, const Command& C) {
    return P.SetTabStops(C);
}

std::string CommandHandlers::SelectUserCharacters(Printer& P, const Command& C) {
    return P.SelectUserCharacters(C);
}

std::string CommandHandlers::DefineUserCharacters(Printer& P, const Command& C) {
    return P.DefineUserCharacters(C);
}

std::string CommandHandlers::CancelUserCharacter(Printer& P, const Command& C) {
    return P.CancelUserCharacter(C);
}

std::string CommandHandlers::SelectPageMode(Printer& P, const Command& C) {
    return P.SelectPageMode(C);
}

std::string CommandHandlers::SelectStandardMode(Printer& P, const Command& C) {
    return P.SelectStandardMode(C);
}

std::string CommandHandlers::SetPageArea(Printer& P, const Command& C) {
    return P.SetPageArea(C);
}

std::string CommandHandlers::SetPageDirection(Printer& P, const Command& C) {
    return P.SetPageDirection(C);
}

std::string CommandHandlers::MoveVertical(Printer& P, const Command& C) {
    return P.MoveVertical(C);
}

std::string CommandHandlers::PrintPageData(Printer& P, const Command& C) {
    return P.PrintPageData(C);
}

std::string CommandHandlers::PrintFormFeed(Printer& P, const Command& C) {
    return P.PrintFormFeed(C);
}

std::string CommandHandlers::CancelPageData(Printer& P, const Command& C) {
    return P.CancelPageData(C);
}

} // namespace escpos

#include "escpos/VirtualPrinter.h"

#include "escpos/Fonts.h"
#include "escpos/Raster.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

namespace escpos {

namespace {

// The first free receipt number in Folder.
unsigned NextNumber(const std::string& Folder) {
    unsigned highest = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Folder, error)) {
        const std::string name = entry.path().filename().string();
        unsigned number = 0;
        char tail[8] = {};
        if (std::sscanf(name.c_str(), "receipt-%u.%7s", &number, tail) == 2 && number > highest)
            highest = number;
    }
    return highest + 1;
}

} // namespace

VirtualPrinter::VirtualPrinter(Profile Model, std::string Folder, LogLine Log)
    : Folder_(std::move(Folder)), Log_(std::move(Log)), Printer_(std::move(Model)),
      Decoder_([this](const Command& C) { Printer_.Apply(C); }) {
    Printer_.KeepTrace(false); // a long session would only grow it
    Printer_.OnReply = [this](std::string_view Bytes) { Replies_ += Bytes; };
    Printer_.OnLog = [this](std::size_t Offset, const std::string& Line) {
        if (Log_) {
            char at[24];
            std::snprintf(at, sizeof at, "%08zu ", Offset);
            Log_(at + Line);
        }
    };
    Next_ = NextNumber(Folder_);
}

std::string VirtualPrinter::Feed(std::string_view Bytes) {
    Decoder_.Feed(Bytes);
    for (const Page& page : Printer_.TakeCutPages())
        File(page);
    return std::exchange(Replies_, {});
}

void VirtualPrinter::Finish() {
    Decoder_.Finish();
    Printer_.Finish();
    for (const Page& page : Printer_.TakeCutPages())
        File(page);
    for (const Page& page : Printer_.Pages())
        if (!page.Blank())
            File(page);
}

void VirtualPrinter::File(const Page& P) {
    char stem[32];
    std::snprintf(stem, sizeof stem, "/receipt-%04u", Next_++);
    const std::string png = Folder_ + stem + ".png";
    const Bitmap picture = RenderPage(P, Printer_.Model().Width, Fonts::Shared());
    if (picture.Truncated && Log_)
        Log_("warning: the receipt is longer than " + std::to_string(MaxPageHeight) +
             " dots; its picture stops there");
    WriteFile(png, EncodePng(picture));
    WriteFile(Folder_ + stem + ".txt", PageText(P));
    Written_.push_back(png);
    if (Log_)
        Log_(std::string(P.Cut ? "receipt " : "uncut paper ") + png);
}

} // namespace escpos

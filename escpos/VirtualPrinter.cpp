#include "escpos/VirtualPrinter.h"

#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
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

ReceiptFolder::ReceiptFolder(std::string Folder)
    : FFolder(std::move(Folder)), FNext(NextNumber(FFolder)) {}

std::string ReceiptFolder::NextStem(unsigned& Number) {
    std::lock_guard held(FLock);
    Number = FNext++;
    char stem[32];
    std::snprintf(stem, sizeof stem, "/receipt-%04u", Number);
    return FFolder + stem;
}

VirtualPrinter::VirtualPrinter(Profile Model, std::string Folder, LogLine Log)
    : VirtualPrinter(std::move(Model), std::make_shared<ReceiptFolder>(std::move(Folder)),
                     std::move(Log)) {}

VirtualPrinter::VirtualPrinter(Profile Model, std::shared_ptr<ReceiptFolder> Folder, LogLine Log)
    : FFolder(std::move(Folder)), FLog(std::move(Log)), FPrinter(std::move(Model)),
      FDecoder([this](const Command& C) { Apply(C); }) {
    LoadNv();
    FPrinter.LimitPage(MaxReceiptHeld, MaxPageHeight);
    FPrinter.OnReply = [this](std::string_view Bytes) { FReplies += Bytes; };
    FPrinter.OnLog = [this](std::size_t Offset, const std::string& Line) {
        if (FLog) {
            char at[24];
            std::snprintf(at, sizeof at, "%08zu ", Offset);
            FLog(at + Line);
        }
    };
}

void VirtualPrinter::LoadNv() {
    std::ifstream file(FFolder->Path() + "/" + NvFile, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    Decoder replay([this](const Command& C) { FPrinter.Apply(C); });
    replay.Feed(bytes);
    replay.Finish();
    FPrinter.TakeTrace(SIZE_MAX);
    FPrinter.TakeWarnings(SIZE_MAX);
    FSavedNv = FPrinter.NvChanges();
}

void VirtualPrinter::Apply(const Command& C) {
    const unsigned before = FPrinter.NvChanges();
    FPrinter.Apply(C);
    // A run of definitions is written once, when the first other command ends it.
    if (FPrinter.NvChanges() == before)
        SaveNv();
}

void VirtualPrinter::SaveNv() {
    if (FPrinter.NvChanges() == FSavedNv)
        return;
    // Written aside and renamed, so a crash leaves the old memory or the new, never half.
    const std::string path = FFolder->Path() + "/" + NvFile;
    WriteFile(path + ".new", NvMemoryCommands(FPrinter.Nv()));
    std::filesystem::rename(path + ".new", path);
    FSavedNv = FPrinter.NvChanges();
}

std::string VirtualPrinter::Feed(std::string_view Bytes) {
    const std::lock_guard held(FLock);
    FDecoder.Feed(Bytes);
    for (const Page& page : FPrinter.TakeCutPages())
        File(page);
    return std::exchange(FReplies, {});
}

void VirtualPrinter::Finish() {
    const std::lock_guard held(FLock);
    FDecoder.Finish();
    FPrinter.Finish();
    for (const Page& page : FPrinter.TakeCutPages())
        File(page);
    SaveNv();
    for (const Page& page : FPrinter.Pages())
        if (!page.Blank())
            File(page);
}

void VirtualPrinter::EndConnection() {
    const std::lock_guard held(FLock);
    FDecoder.Finish();
    SaveNv();
    for (const Page& page : FPrinter.TakeCutPages())
        File(page);
}

std::string VirtualPrinter::SetSensors(Sensors S) {
    const std::lock_guard held(FLock);
    FPrinter.SetSensors(S);
    std::string unasked = std::exchange(FReplies, {});
    if (!unasked.empty() && FLog) {
        std::string hex;
        for (const char c : unasked) {
            char two[4];
            std::snprintf(two, sizeof two, hex.empty() ? "%02X" : " %02X",
                          static_cast<unsigned char>(c));
            hex += two;
        }
        FLog("automatic status back: sent " + hex);
    }
    return unasked;
}

void VirtualPrinter::File(const Page& P) {
    FiledReceipt receipt;
    const std::string stem = FFolder->NextStem(receipt.Number);
    receipt.Cut = P.Cut;
    // The commands up to the cut are this receipt's; uncut paper at the end takes the rest.
    const std::size_t end = P.Cut ? P.Items.back().Offset : SIZE_MAX;
    receipt.Trace = FPrinter.TakeTrace(end);
    // Each was logged as it came; the receipt does not keep them.
    FPrinter.TakeWarnings(end);
    const std::string png = stem + ".png";
    const Bitmap picture = RenderPage(P, FPrinter.Model().Width, Fonts::Shared());
    if (picture.Truncated && FLog)
        FLog("warning: the receipt is longer than " + std::to_string(MaxPageHeight) +
             " dots; its picture stops there");
    receipt.Png = EncodePng(picture);
    receipt.Text = PageText(P);
    WriteFile(png, receipt.Png);
    WriteFile(stem + ".txt", receipt.Text);
    FWritten.push_back(png);
    if (FLog)
        FLog(std::string(P.Cut ? "receipt " : "uncut paper ") + png);
    if (OnFiled)
        OnFiled(receipt);
}

} // namespace escpos

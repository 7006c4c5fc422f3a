#include "escpos/Levers.h"

#include <algorithm>

namespace escpos {

std::string DescribeSensors(const Sensors& S) {
    const char* paper = S.Roll == Sensors::Paper::End       ? "paper end"
                        : S.Roll == Sensors::Paper::NearEnd ? "paper near end"
                                                            : "paper ok";
    return std::string(S.CoverOpen ? "cover open, " : "cover closed, ") + paper +
           (S.DrawerOpen ? ", drawer open" : ", drawer closed") +
           (S.FeedHeld ? ", feed button held" : ", feed button released");
}

PrinterLevers::PrinterLevers(Sensors Initial, LogLine Log)
    : FState(Initial), FLog(std::move(Log)) {}

void PrinterLevers::Reset(Sensors Initial, LogLine Log) {
    const std::lock_guard held(FLock);
    FState = Initial;
    FLog = std::move(Log);
}

Sensors PrinterLevers::Get() const {
    const std::lock_guard held(FLock);
    return FState;
}

void PrinterLevers::Set(const Sensors& S) {
    // Held throughout, so that moves reach every line in the order they were made.
    const std::lock_guard held(FLock);
    if (S == FState)
        return;
    FState = S;
    if (FLog)
        FLog("levers: " + DescribeSensors(S));
    for (auto& [printer, send] : FLines)
        if (const std::string unasked = printer->SetSensors(S); !unasked.empty() && send)
            send(unasked);
}

void PrinterLevers::Attach(VirtualPrinter& Printer, Send Out) {
    const std::lock_guard held(FLock);
    Printer.SetSensors(FState);
    FLines.emplace_back(&Printer, std::move(Out));
}

void PrinterLevers::Detach(VirtualPrinter& Printer) {
    const std::lock_guard held(FLock);
    std::erase_if(FLines, [&Printer](const auto& Line) { return Line.first == &Printer; });
}

} // namespace escpos

// Answers to the host: status requests, printer IDs, real-time status and requests. This printer
// always has paper, no error, and pin 3 of the drawer connector high.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

namespace escpos {

std::string Printer::AnswerStatus(const Command& C) {
    const std::uint8_t n = C.At(2);
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
    Warn(C.Offset, Format("GS r %u: no such status; no answer", n));
    return "ignored";
}

std::string Printer::AnswerPrinterId(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = n >= '1' && n <= '3' ? n - '0' : n;
    switch (v) {
    case 1:
        Reply("\x20");
        return "printer model ID: answered 20";
    case 2: {
        const char type = static_cast<char>(FProfile.TypeId);
        Reply(std::string(1, type));
        return Format("type ID: answered %02X", FProfile.TypeId);
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
        Warn(C.Offset, Format("GS I %u: no such information; no answer", n));
        return "ignored";
    }
}

std::string Printer::AnswerRealTimeStatus(const Command& C) {
    const std::uint8_t n = C.At(2);
    // Online, no error, paper present; pin 3 of the drawer connector reads high.
    static constexpr char answers[] = {0, 0x16, 0x12, 0x12, 0x12};
    if (n >= 1 && n <= 4) {
        Reply(std::string(1, answers[n]));
        return Format("real-time status %u: answered %02X", n, answers[n]);
    }
    Warn(C.Offset, Format("DLE EOT %u: no such status here; no answer", n));
    return "ignored";
}

std::string Printer::TakeRealTimeRequest(const Command& C) {
    return Format("real-time request %u", C.At(2));
}

} // namespace escpos

// Answers to the host: status requests, printer IDs, real-time status and requests. No error is
// ever set; paper, cover, the drawer's pin 3 and the feed button follow the sensors.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

namespace escpos {

std::uint8_t Printer::RealTimeStatusByte(int N) const {
    return receipt::StatusByte(&receipt::StatusFactBits::RealTime, N, receipt::RealTimeStatusMark,
                               [this](receipt::StatusFact F) { return SensorsSay(FSensors, F); });
}

std::string Printer::AnswerStatus(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = Choice(n);
    if (v == 2) {
        const bool high = !FSensors.DrawerOpen;
        Reply(high ? "\x01" : std::string(1, '\0'));
        return high ? "drawer connector status: answered 01 (pin 3 high)"
                    : "drawer connector status: answered 00 (pin 3 low)";
    }
    if (v == 1) {
        const bool end = FSensors.Roll == Sensors::Paper::End;
        const bool low = FSensors.Roll != Sensors::Paper::Ok;
        const auto b = static_cast<std::uint8_t>((low ? 0x03 : 0) | (end ? 0x0C : 0));
        Reply(std::string(1, static_cast<char>(b)));
        return Format("paper sensor status: answered %02X (%s)", b,
                      end   ? "paper end"
                      : low ? "paper near end"
                            : "paper present");
    }
    if (v == 4) {
        Reply(std::string(1, '\0'));
        return "ink status: answered 00";
    }
    Warn(C.Offset, Format("GS r %u: no such status; no answer", n));
    return "ignored";
}

namespace {
// GS I 65 to 69: "_", the text, NUL.
std::string TextAnswer(std::string_view Text) {
    return "_" + std::string(Text) + std::string(1, '\0');
}
} // namespace

std::string Printer::AnswerPrinterId(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int v = n >= '1' && n <= '3' ? n - '0' : n;
    const char* text = nullptr;
    const char* what = nullptr;
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
    case 65:
        text = "1.00 ESC/POS", what = "firmware version";
        break;
    case 66:
        text = "EPSON", what = "maker name";
        break;
    case 67:
        text = "TM-T88III", what = "model name";
        break;
    case 68:
        text = "TLMK000001", what = "serial number";
        break;
    case 69:
        // Only a model with double-byte characters names its language font.
        if (FProfile.TypeId & receipt::TypeTwoByteCharacters)
            text = "KOREAN", what = "language font";
        break;
    default:
        break;
    }
    if (!text) {
        Warn(C.Offset, Format("GS I %u: no such information; no answer", n));
        return "ignored";
    }
    Reply(TextAnswer(text));
    return Format("%s: answered \"%s\"", what, text);
}

std::string Printer::AnswerRealTimeStatus(const Command& C) {
    const std::uint8_t n = C.At(2);
    if (n >= 1 && n <= 4) {
        const std::uint8_t b = RealTimeStatusByte(n);
        Reply(std::string(1, static_cast<char>(b)));
        return Format("real-time status %u: answered %02X", n, b);
    }
    Warn(C.Offset, Format("DLE EOT %u: no such status here; no answer", n));
    return "ignored";
}

std::string Printer::TakeRealTimeRequest(const Command& C) {
    return Format("real-time request %u", C.At(2));
}

} // namespace escpos
